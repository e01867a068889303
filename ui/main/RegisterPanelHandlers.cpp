// The register panel: any register of any device, by hand, in hex; the
// device-address field also steers the poll and the settings panel.

#include "ui/main/Form1.h"
#include "ui/widgets/MessageBoxes.h"
#include "chip/ValueText.h"

#include <QDateTime>

namespace rm = RegisterMap;

namespace {

std::optional<std::uint8_t> fieldByte(const QLineEdit* field)
{
    return rm::HexField(field->text().toStdString());
}

} // namespace

void Form1::cmdRead_Click()
{
    const auto device = fieldByte(c_.txtDevAddr);
    const auto reg = fieldByte(c_.txtAddrPtr);
    // A value that does not fit a byte is refused whole: no transaction
    // ever runs on a truncated address or register.
    if (!device || !reg) {
        showInvalidValue(this);
        return;
    }
    if (!mayRead(*device)) {
        const std::string driver = guard_.driverOf(*device);
        announce(QString::fromStdString(guard_.readHeldBack(*device)
                                            ? notReadBehindDriverText(*device, driver)
                                            : "Nothing was sent to device " + deviceText(*device) + "."),
                 guard_.readHeldBack(*device));
        return;
    }
    queueRead(*device, *reg);
}

void Form1::queueRead(std::uint8_t device, std::uint8_t reg)
{
    const std::uint64_t choice = controllerChoice_;
    jobs_.run([device, reg](CorvaneProtocol& chip) { return chip.readRegister(device, reg); }, this,
              [this, device, reg, choice](const ByteRead& read) {
                  // Held back, so nothing went out: once the user agrees, read.
                  if (readAgainBehindDriver(read, device, choice)) {
                      queueRead(device, reg);
                      return;
                  }
                  // A failed read shows XX, as i2cdump and the register map
                  // do, never 0xFF's text; the status line says why.
                  c_.lblReadData->setText(read.ok() ? QString::fromStdString(rm::hexText(read.value))
                                                    : QStringLiteral("XX"));
                  learnDriverFrom(read, device, choice);
                  if (read.heldBackByDriver()) {
                      announce(QString::fromStdString(notReadBehindDriverText(device, read.driver)), true);
                  } else if (!read.ok()) {
                      health_.readFailed(reg, device, read, now());
                      refreshStatus();
                  }
              });
}

void Form1::cmdWrite_Click()
{
    const auto device = fieldByte(c_.txtDevAddr);
    const auto reg = fieldByte(c_.txtAddrPtr);
    const auto data = fieldByte(c_.txtDataOut);
    if (!device || !reg || !data) {
        showInvalidValue(this);
        return;
    }
    if (mayWrite(*device))
        queueWrite(*device, *reg, *data);
}

void Form1::txtDevAddr_Change()
{
    // Partial typing passes through here keystroke by keystroke; a value
    // beyond the 7-bit range leaves the monitored device where it was.
    const auto device = fieldByte(c_.txtDevAddr);
    if (!device || *device > 0x7F) {
        // A note about the device named before says nothing of this one.
        health_.dropDeviceNotes();
        refreshStatus();
        return;
    }
    if (*device == module_.DeviceAddress)
        return;
    module_.DeviceAddress = *device;
    // Read once at the next tick, however many keystrokes land before it.
    followPending_ = true;
    // Pointed at it again: a No to reading past its driver is asked again,
    // about the driver that owns it now.
    guard_.askAgain(*device);
    recheckOwnership();
    health_.setBus(controllerName_, *device);
    targetChanged(BenchAlarms::EndCause::TargetChanged);
    refreshStatus();
}

void Form1::optController1_Click() { selectController(0); }
void Form1::optController2_Click() { selectController(1); }

void Form1::selectController(int index)
{
    // What is learnt about drivers from now on, and agreed to, is about
    // this bus; pointed at the device again, a No there is asked again.
    guard_.setController(index);
    guard_.askAgain(module_.DeviceAddress);
    recheckOwnership();
    ++controllerChoice_;
    followPending_ = true;
    targetChanged(BenchAlarms::EndCause::TargetChanged);
    jobs_.run(
        [index](CorvaneProtocol& chip) { return std::make_pair(chip.selectController(index), chip.controllerName()); },
        this,
        [this, index](const std::pair<std::uint16_t, std::string>& chosen) {
            // The plots mark where the readings start to come from another bus.
            history_.mark(QDateTime::currentMSecsSinceEpoch(), controllerText(index));
            showControllerBase(chosen.first);
            controllerName_ = chosen.second;
            health_.setBus(controllerName_, module_.DeviceAddress);
            alarms_.setOrigin(originText());
            refreshStatus();
        });
}
