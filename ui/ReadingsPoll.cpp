// The readings poll: every tick reads fourteen registers of the monitored
// chip and brings the value labels in line with them. Nothing else drives
// these labels.
//
// A label is rewritten only when the bytes behind it changed since it was
// last written: with steady readings a tick builds no text and repaints
// nothing, which is most ticks of a bench left open all day.

#include "Form1.h"
#include "chip/Conversions.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"

namespace rm = RegisterMap;

namespace {

// A reading's number text followed by its unit: ' 25 °C', ' 1000 rpm', ' 3.3 V'.
QString withUnit(const std::string& number, const char* unit)
{
    return QString::fromStdString(number) + QLatin1Char(' ') + QString::fromUtf8(unit);
}

} // namespace

bool Form1::PolledBytes::changed(Slot slot, int bytes)
{
    int& shown = shown_[static_cast<std::size_t>(slot)];
    if (shown == bytes)
        return false;
    shown = bytes;
    return true;
}

void Form1::Timer1_Timer()
{
    using Slot = PolledBytes::Slot;
    ++pollCount_;
    const std::uint8_t device = module_.DeviceAddress;

    const std::uint8_t temperatureRegisters[] = {rm::Remote1Temperature, rm::LocalTemperature, rm::Remote2Temperature};
    std::uint8_t temperatures[3];
    for (int i = 0; i < 3; ++i)
        temperatures[i] = bus_.ReadSmbus(device, temperatureRegisters[i]);
    for (int i = 0; i < 3; ++i) {
        // The coding is part of what the text says, so it is part of the key.
        if (polled_.changed(Slot(int(Slot::Remote1) + i), temperatures[i] | int(TempOffsetMode) << 8))
            c_.lblTemp[i]->setText(withUnit(rm::numberText(rm::temperature(temperatures[i], TempOffsetMode)), "°C"));
    }

    for (int fan = 0; fan < rm::FanCount; ++fan) {
        const std::uint8_t low = bus_.ReadSmbus(device, rm::fanTachLow(fan));
        const std::uint8_t high = bus_.ReadSmbus(device, rm::fanTachHigh(fan));
        if (!polled_.changed(Slot(int(Slot::Fan1) + fan), low | high << 8))
            continue;
        if (const auto rpm = rm::fanSpeed(low, high))
            c_.lblFanSpeed[fan]->setText(withUnit(rm::numberText(*rpm, rm::Precision::Single), "rpm"));
    }

    const std::uint8_t vcc = bus_.ReadSmbus(device, rm::VccReading);
    if (polled_.changed(Slot::Vcc, vcc))
        c_.lblVcc->setText(withUnit(rm::numberText(rm::vcc(vcc)), "V"));
    const std::uint8_t vccp = bus_.ReadSmbus(device, rm::VccpReading);
    if (polled_.changed(Slot::Vccp, vccp))
        c_.lblVccp->setText(withUnit(rm::numberText(rm::vccp(vccp)), "V"));

    const std::uint8_t duty = bus_.ReadSmbus(device, rm::Pwm1Duty);
    module_.DutyPercent = rm::dutyPercent(duty);
    if (polled_.changed(Slot::Duty, duty))
        c_.lblDutyCycle->setText(QString::fromStdString(rm::trimmedNumberText(module_.DutyPercent)));
}
