// The PWM1 settings group: each pick is one job on the bus thread, a
// read-modify-write of the one register that holds the field, so the chip's
// other bits stay as they are and no poll lands between the read and the
// write.

#include "ui/main/Form1.h"
#include "ui/widgets/MessageBoxes.h"
#include "chip/Conversions.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"

namespace rm = RegisterMap;

void Form1::cmbPWM1_Click() { pickSetting(Setting::Behaviour); }
void Form1::cmbHF_Click() { pickSetting(Setting::Frequency); }
void Form1::cmbPulses_Click() { pickSetting(Setting::Pulses); }

QComboBox* Form1::listOf(Setting setting) const
{
    switch (setting) {
    case Setting::Behaviour: return c_.cmbPWM1;
    case Setting::Frequency: return c_.cmbHF;
    case Setting::Pulses: break;
    }
    return c_.cmbPulses;
}

void Form1::showField(Setting setting, int field)
{
    shownField_[static_cast<std::size_t>(setting)] = field;
    listOf(setting)->setCurrentIndex(field);
}

void Form1::pickSetting(Setting setting)
{
    const int k = listOf(setting)->currentIndex();
    const int shownBefore = shownField_[static_cast<std::size_t>(setting)];
    const std::uint8_t device = module_.DeviceAddress;
    // Asked before any traffic: the read and the write are one job, made
    // only after the answer.
    if (!mayWrite(device)) {
        showField(setting, shownBefore);
        return;
    }
    queueSettingChange(setting, k, shownBefore, device);
}

void Form1::queueSettingChange(Setting setting, int k, int shownBefore, std::uint8_t device)
{
    const std::uint64_t choice = controllerChoice_;
    jobs_.run([=](CorvaneProtocol& chip) { return chip.changeSetting(setting, device, k); }, this,
              [=, this](const SettingChange& change) {
                  showSettingChange(setting, k, shownBefore, device, choice, change);
              });
}

void Form1::showSettingChange(Setting setting, int k, int shownBefore, std::uint8_t device, std::uint64_t choice,
                              const SettingChange& change)
{
    if (!change.read.ok()) {
        // Nothing was written: the list shows what it showed.
        showField(setting, shownBefore);
        health_.readFailed(change.reg, device, change.read, now());
        refreshStatus();
        return;
    }
    if (!change.write->ok()) {
        // The register still holds what the read found.
        showField(setting, change.fieldBefore);
        if (agreedAfterDriverRefusal(*change.write, device, choice)) {
            showField(setting, k);
            queueSettingChange(setting, k, shownBefore, device);
            return;
        }
        health_.writeFailed(change.reg, device, *change.write, now());
        refreshStatus();
        return;
    }
    shownField_[static_cast<std::size_t>(setting)] = k;
    if (setting == Setting::Behaviour)
        SetManualDutyMode(k == rm::ManualBehaviour, change.duty);
}

void Form1::followSettingChange(Setting setting, int k, const SettingChange& change)
{
    if (!change.read.ok() || !change.write || !change.write->ok())
        return;
    showField(setting, k);
    if (setting == Setting::Behaviour)
        SetManualDutyMode(k == rm::ManualBehaviour, change.duty);
}

void Form1::followDutyWrite(const CheckedWrite& write)
{
    if (!write.write.ok())
        return;
    module_.DutyPercent = rm::dutyPercent(write.wanted);
    c_.txtDutyCycle->setText(QString::fromStdString(rm::trimmedNumberText(module_.DutyPercent)));
}

void Form1::SetManualDutyMode(bool on, const ByteRead& duty)
{
    c_.txtDutyCycle->setVisible(on);
    c_.cmdWriteDuty->setVisible(on);
    c_.lblDutyCycle->setVisible(!on);
    // A failed read of 0x30 leaves the entry as it was rather than filling
    // it from 0xFF.
    if (!duty.ok())
        return;
    module_.DutyPercent = rm::dutyPercent(duty.value);
    c_.txtDutyCycle->setText(QString::fromStdString(rm::trimmedNumberText(module_.DutyPercent)));
}

void Form1::cmdWriteDuty_Click()
{
    const auto dutyByte = CorvaneProtocol::dutyByteFor(rm::decimalValue(c_.txtDutyCycle->text().toStdString()));
    if (!dutyByte) {
        showInvalidValue(this);
        return;
    }
    if (mayWrite(module_.DeviceAddress))
        queueWrite(module_.DeviceAddress, rm::Pwm1Duty, *dutyByte);
}
