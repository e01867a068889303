#include "RegisterDescriptions.h"

#include "Conversions.h"
#include "RegisterMap.h"
#include "ValueText.h"

#include <cstdio>

namespace RegisterMap {

namespace {

std::string hexByte(std::uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string trimmed(double value)
{
    return trimmedNumberText(value);
}

bool isTempRegister(std::uint8_t reg)
{
    return reg == Remote1Temperature || reg == LocalTemperature || reg == Remote2Temperature;
}

// A settings field: its list entry and value, and what the rest of the
// register holds.
template <std::size_t N>
std::string field(const char* what, const std::array<std::string_view, N>& entries, int value, std::uint8_t otherBits)
{
    return std::string(what) + " " + std::string(entries[static_cast<std::size_t>(value)]) + " (" +
           std::to_string(value) + "), other bits " + hexByte(otherBits);
}

} // namespace

std::optional<std::string> registerName(std::uint8_t reg)
{
    if (reg >= Fan1TachLow && reg <= Fan4TachHigh) {
        const int fan = (reg - Fan1TachLow) / 2 + 1;
        return "Fan" + std::to_string(fan) + " tach count, " + (reg % 2 == 0 ? "low" : "high") + " byte";
    }
    switch (reg) {
    case VccpReading: return "Vccp reading";
    case VccReading: return "Vcc reading";
    case Remote1Temperature: return "Remote1 temperature";
    case LocalTemperature: return "Local temperature";
    case Remote2Temperature: return "Remote2 temperature";
    case Pwm1Duty: return "PWM1 duty cycle";
    case StartupRead1: return "Start-up register 0x41";
    case StartupRead2: return "Start-up register 0x42";
    case Pwm1Configuration: return "PWM1 configuration";
    case FanDriveFrequency: return "Fan drive configuration";
    case Fan1Pulses: return "Fan1 tach configuration";
    case TemperatureCoding: return "Temperature coding";
    default: return std::nullopt;
    }
}

std::string decodeRegister(std::uint8_t reg, const std::array<std::uint8_t, 256>& values, bool offsetCoded)
{
    const std::uint8_t value = values[reg];
    if (isTempRegister(reg))
        return std::to_string(temperature(value, offsetCoded)) + " °C (" +
               (offsetCoded ? "offset-64 coding" : "two's complement") + ")";
    if (reg >= Fan1TachLow && reg <= Fan4TachHigh) {
        const int fan = (reg - Fan1TachLow) / 2;
        const auto rpm = fanSpeed(values[fanTachLow(fan)], values[fanTachHigh(fan)]);
        return rpm ? trimmedNumberText(*rpm, Precision::Single) + " rpm" : "no count (0x0000)";
    }
    switch (reg) {
    case VccpReading: return trimmed(vccp(value)) + " V";
    case VccReading: return trimmed(vcc(value)) + " V";
    case Pwm1Duty: return trimmed(dutyPercent(value)) + " %";
    case StartupRead1:
    case StartupRead2: return "read once at start-up";
    case Pwm1Configuration: return field("behaviour", BehaviourEntries, behaviour(value), value & 0x1F);
    case FanDriveFrequency: return field("frequency", FrequencyEntries, frequency(value), value & 0xF7);
    case Fan1Pulses: return field("Fan1 pulses per revolution", PulsesEntries, pulses(value), value & 0xFC);
    case TemperatureCoding:
        return std::string(RegisterMap::offsetCoded(value) ? "offset-64 coding" : "two's complement") + " (bit 0), other bits " +
               hexByte(value & 0xFE);
    default: return {};
    }
}

} // namespace RegisterMap
