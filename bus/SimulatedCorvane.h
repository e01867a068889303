#pragma once
// A Corvane chip in software: a 256-register file whose measurement
// registers move like a running PC's, so the program is useful without
// hardware. Time and randomness come from outside so tests can pin them.

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>

class SimulatedCorvane {
public:
    // Seconds since any fixed moment.
    using Clock = std::function<double()>;
    // A uniformly distributed number in [-1, 1].
    using Noise = std::function<double()>;

    SimulatedCorvane(Clock clock, Noise noise);

    std::uint8_t read(std::uint8_t reg);
    void write(std::uint8_t reg, std::uint8_t data);
    // Holds every measurement where a quiet chip stands at its clock's zero,
    // as if each had been written: steady readings, the same in every run,
    // for screenshots, measurements and tests.
    void holdMeasurements();

    // What a power cycle would lose: every register, and which measurements
    // were written over. The command line keeps it between runs, so the
    // simulated chip holds its settings from one command to the next as a
    // real one does.
    struct State {
        std::array<std::uint8_t, 256> registers{};
        std::bitset<256> pinned;
    };
    State state() const;
    void restore(const State& state);
    // The registers a write changed since the chip was made or restored:
    // all that a command's run has to keep, so two runs at once don't undo
    // each other's writes.
    const std::bitset<256>& written() const { return written_; }

    // How often the chip refreshes its measurements.
    static constexpr double UpdateInterval = 0.1;

    // Fan1 on PWM1: its speed follows the duty's with a first-order lag. It
    // stops below the stall duty, and from standstill starts only above the
    // start duty, as a real fan's bearing friction makes it.
    static constexpr double Fan1FullSpeedRpm = 3200;
    static constexpr double Fan1TimeConstant = 1.5; // seconds
    static constexpr double Fan1StallPercent = 20;
    static constexpr double Fan1StartPercent = 30;

private:
    void updateIfDue();
    void update(double seconds);
    void setMeasurement(std::uint8_t reg, std::uint8_t value);
    void setTachCount(int fan, std::uint16_t count);
    std::uint8_t temperatureByte(double celsius) const;
    std::uint8_t automaticDuty(double remote1, double local, double remote2) const;
    int jitter(int steps);

    Clock clock_;
    Noise noise_;
    std::array<std::uint8_t, 256> registers_{};
    std::array<bool, 256> pinned_{};
    std::bitset<256> written_;
    // Reading a tach low byte latches its high byte, so a pair read across
    // an update still belongs to one count. A high byte read with no low
    // byte read before it gives the current value.
    std::array<std::uint8_t, 4> latchedTachHigh_{};
    std::array<bool, 4> tachHighLatched_{};
    void updateFan1(double seconds);

    bool held_ = false; // holdMeasurements: for this run only, never saved
    double lastUpdate_ = 0;
    bool updated_ = false;
    // Fan1's speed as the lag has brought it; below zero until the first
    // update, which starts the fan at the speed its duty holds it at.
    double fan1Rpm_ = -1;
    bool fan1Turning_ = true;
};
