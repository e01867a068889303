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
    // A No puts the list back as it was; nothing was sent.
    if (!session_.changeSetting(setting, listOf(setting)->currentIndex()))
        showField(setting, shownField_[static_cast<std::size_t>(setting)]);
}

void Form1::showSettingChange(Setting setting, int k, const SettingChange& change)
{
    if (!change.read.ok()) {
        // Nothing was written: the list shows what it showed.
        showField(setting, shownField_[static_cast<std::size_t>(setting)]);
        return;
    }
    if (!change.write || !change.write->ok()) {
        // The register still holds what the read found.
        showField(setting, change.fieldBefore);
        return;
    }
    showField(setting, k);
    if (setting == Setting::Behaviour)
        SetManualDutyMode(k == rm::ManualBehaviour, change.duty);
}

void Form1::showDuty(std::uint8_t percent)
{
    c_.txtDutyCycle->setText(QString::fromStdString(rm::trimmedNumberText(percent)));
}

void Form1::SetManualDutyMode(bool on, const ByteRead& duty)
{
    c_.txtDutyCycle->setVisible(on);
    c_.cmdWriteDuty->setVisible(on);
    c_.lblDutyCycle->setVisible(!on);
    // A failed read of 0x30 leaves the entry as it was rather than filling
    // it from 0xFF.
    if (duty.ok())
        showDuty(rm::dutyPercent(duty.value));
}

void Form1::cmdWriteDuty_Click()
{
    const auto dutyByte = CorvaneProtocol::dutyByteFor(rm::decimalValue(c_.txtDutyCycle->text().toStdString()));
    if (!dutyByte) {
        showInvalidValue(this);
        return;
    }
    session_.write(session_.shared().DeviceAddress, rm::Pwm1Duty, *dutyByte);
}
