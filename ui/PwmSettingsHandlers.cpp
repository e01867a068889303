// The PWM1 settings group: each change is a read-modify-write of the one
// register that holds the field, so the chip's other bits stay as they are.

#include "Form1.h"
#include "MessageBoxes.h"
#include "chip/Conversions.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"

namespace rm = RegisterMap;

void Form1::cmbPWM1_Click()
{
    const int k = c_.cmbPWM1->currentIndex();
    const std::uint8_t device = module_.DeviceAddress;
    const std::uint8_t current = bus_.ReadSmbus(device, rm::Pwm1Configuration);
    if (!writeRegister(device, rm::Pwm1Configuration, rm::withBehaviour(current, k))) {
        // Refused: the list goes back to what the chip still holds.
        c_.cmbPWM1->setCurrentIndex(rm::behaviour(current));
        return;
    }
    SetManualDutyMode(k == rm::ManualBehaviour);
}

void Form1::cmbHF_Click()
{
    const int k = c_.cmbHF->currentIndex() == 1 ? 1 : 0;
    const std::uint8_t device = module_.DeviceAddress;
    const std::uint8_t current = bus_.ReadSmbus(device, rm::FanDriveFrequency);
    if (!writeRegister(device, rm::FanDriveFrequency, rm::withFrequency(current, k)))
        c_.cmbHF->setCurrentIndex(rm::frequency(current));
}

void Form1::cmbPulses_Click()
{
    const int k = c_.cmbPulses->currentIndex();
    const std::uint8_t device = module_.DeviceAddress;
    const std::uint8_t current = bus_.ReadSmbus(device, rm::Fan1Pulses);
    if (!writeRegister(device, rm::Fan1Pulses, rm::withPulses(current, k)))
        c_.cmbPulses->setCurrentIndex(rm::pulses(current));
}

void Form1::SetManualDutyMode(bool on)
{
    c_.txtDutyCycle->setVisible(on);
    c_.cmdWriteDuty->setVisible(on);
    c_.lblDutyCycle->setVisible(!on);
    module_.DutyPercent = rm::dutyPercent(bus_.ReadSmbus(module_.DeviceAddress, rm::Pwm1Duty));
    c_.txtDutyCycle->setText(QString::fromStdString(rm::trimmedNumberText(module_.DutyPercent)));
}

void Form1::cmdWriteDuty_Click()
{
    const double percent = rm::decimalValue(c_.txtDutyCycle->text().toStdString());
    if (percent >= 0 && percent <= 100)
        writeRegister(module_.DeviceAddress, rm::Pwm1Duty, rm::dutyByte(percent));
    else
        showInvalidValue(this);
}
