// The readings poll: every tick reads fourteen registers of the monitored
// chip and rewrites the value labels. Nothing else drives these labels.

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

void Form1::Timer1_Timer()
{
    ++pollCount_;
    const std::uint8_t device = module_.DeviceAddress;
    const std::uint8_t temperatureRegisters[] = {rm::Remote1Temperature, rm::LocalTemperature, rm::Remote2Temperature};
    std::uint8_t temperatures[3];
    for (int i = 0; i < 3; ++i)
        temperatures[i] = bus_.ReadSmbus(device, temperatureRegisters[i]);
    for (int i = 0; i < 3; ++i)
        c_.lblTemp[i]->setText(withUnit(rm::numberText(rm::temperature(temperatures[i], TempOffsetMode)), "°C"));

    for (int fan = 0; fan < rm::FanCount; ++fan) {
        const std::uint8_t low = bus_.ReadSmbus(device, rm::fanTachLow(fan));
        const std::uint8_t high = bus_.ReadSmbus(device, rm::fanTachHigh(fan));
        if (const auto rpm = rm::fanSpeed(low, high))
            c_.lblFanSpeed[fan]->setText(withUnit(rm::numberText(*rpm, rm::Precision::Single), "rpm"));
    }

    c_.lblVcc->setText(withUnit(rm::numberText(rm::vcc(bus_.ReadSmbus(device, rm::VccReading))), "V"));
    c_.lblVccp->setText(withUnit(rm::numberText(rm::vccp(bus_.ReadSmbus(device, rm::VccpReading))), "V"));

    module_.DutyPercent = rm::dutyPercent(bus_.ReadSmbus(device, rm::Pwm1Duty));
    c_.lblDutyCycle->setText(QString::fromStdString(rm::trimmedNumberText(module_.DutyPercent)));
}
