#pragma once
// The program's one window: live readings, PWM1 settings and the register
// panel. Every handler runs on the GUI thread and talks to the chip only
// through the BusAdapter it is handed.

#include "Form1Controls.h"
#include "Module1.h"
#include "bus/BusAdapter.h"

#include <QTimer>
#include <array>
#include <QWidget>

class Form1 : public QWidget {
    Q_OBJECT
public:
    // titleSuffix follows the controller's base address in the title, e.g.
    // " (simulated)". Construction runs Form_Load, so the window is in line
    // with the chip before it is first shown.
    explicit Form1(BusAdapter& bus, QString titleSuffix = {}, QWidget* parent = nullptr);

    const Module1& shared() const { return module_; }
    bool tempOffsetMode() const { return TempOffsetMode; }
    const Form1Controls& controls() const { return c_; }

    static constexpr int PollIntervalMs = 100;
    // Readings polls run so far: how a long run shows the timer kept going.
    std::uint64_t pollCount() const { return pollCount_; }

    // Start-up and the readings poll.
    void Form_Load();
    void Timer1_Timer();

    // PWM1 settings.
    void cmbPWM1_Click();
    void cmbHF_Click();
    void cmbPulses_Click();
    void cmdWriteDuty_Click();
    void SetManualDutyMode(bool on);

    // Register panel and controller choice.
    void cmdRead_Click();
    void cmdWrite_Click();
    void txtDevAddr_Change();
    void optController1_Click();
    void optController2_Click();

private:
    void connectHandlers();
    void showControllerBase(std::uint16_t base);
    // Every write the program makes passes through here, so the guard for
    // memory-module EEPROMs sits in one place. Returns whether it wrote.
    bool writeRegister(std::uint8_t device, std::uint8_t reg, std::uint8_t data);

    BusAdapter& bus_;
    QString titleSuffix_;
    Module1 module_;
    bool TempOffsetMode = false;
    std::uint64_t pollCount_ = 0;

    // The bytes behind each value label as it was last written.
    class PolledBytes {
    public:
        enum class Slot { Remote1, Local, Remote2, Fan1, Fan2, Fan3, Fan4, Vcc, Vccp, Duty, Count };
        // Whether the label must be rewritten for these bytes; remembers them.
        bool changed(Slot slot, int bytes);

    private:
        // -1: never written, so the first poll writes every label.
        std::array<int, static_cast<std::size_t>(Slot::Count)> shown_ = [] {
            std::array<int, static_cast<std::size_t>(Slot::Count)> never{};
            never.fill(-1);
            return never;
        }();
    };
    PolledBytes polled_;
    Form1Controls c_;
    QTimer Timer1;
};
