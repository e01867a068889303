#include "PollReadings.h"

#include "chip/Conversions.h"
#include "chip/ValueText.h"

namespace rm = RegisterMap;
using Poll::Reading;

namespace {

// Where a reading's first byte sits among the polled bytes.
std::size_t firstByte(Reading reading)
{
    constexpr std::size_t fan1 = 3, vcc = 11, vccp = 12, duty = 13;
    const int index = static_cast<int>(reading);
    switch (reading) {
    case Reading::Remote1:
    case Reading::Local:
    case Reading::Remote2: return static_cast<std::size_t>(index);
    case Reading::Fan1:
    case Reading::Fan2:
    case Reading::Fan3:
    case Reading::Fan4: return fan1 + 2 * static_cast<std::size_t>(index - static_cast<int>(Reading::Fan1));
    case Reading::Vcc: return vcc;
    case Reading::Vccp: return vccp;
    case Reading::Duty: break;
    }
    return duty;
}

using Poll::isFan;
using Poll::isTemperature;

std::string withUnit(const std::string& number, const char* unit) { return number + " " + unit; }

} // namespace

std::optional<Reading> Poll::readingNamed(std::string_view name)
{
    for (std::size_t i = 0; i < Table.size(); ++i) {
        if (Table[i].name == name)
            return static_cast<Reading>(i);
    }
    return std::nullopt;
}

std::string Poll::namesText()
{
    std::string names;
    for (const ReadingInfo& reading : Table)
        names.append(names.empty() ? "" : ", ").append(reading.name);
    return names;
}

int readingKey(const PollResult& poll, Reading reading, bool offsetCoded)
{
    const std::size_t first = firstByte(reading);
    if (isFan(reading))
        return poll.bytes[first] | poll.bytes[first + 1] << 8;
    // The coding is part of what a temperature's text says.
    return poll.bytes[first] | (isTemperature(reading) && offsetCoded ? 1 << 8 : 0);
}

bool readingFailed(const PollResult& poll, Reading reading)
{
    const std::size_t first = firstByte(reading);
    const std::size_t count = isFan(reading) ? 2 : 1;
    for (std::size_t i = first; i < first + count; ++i) {
        if (poll.failedReads & (1u << i))
            return true;
    }
    return false;
}

std::optional<double> readingValue(const PollResult& poll, Reading reading, bool offsetCoded)
{
    if (readingFailed(poll, reading))
        return std::nullopt;
    const std::size_t first = firstByte(reading);
    const std::uint8_t byte = poll.bytes[first];
    if (isTemperature(reading))
        return rm::temperature(byte, offsetCoded);
    if (isFan(reading)) {
        const auto rpm = rm::fanSpeed(byte, poll.bytes[first + 1]);
        return rpm ? std::optional<double>(*rpm) : std::nullopt;
    }
    switch (reading) {
    case Reading::Vcc: return rm::vcc(byte);
    case Reading::Vccp: return rm::vccp(byte);
    default: return rm::dutyPercent(byte);
    }
}

std::optional<std::string> readingText(const PollResult& poll, Reading reading, bool offsetCoded)
{
    const std::uint8_t byte = poll.bytes[firstByte(reading)];
    if (isTemperature(reading))
        return withUnit(rm::numberText(rm::temperature(byte, offsetCoded)), "°C");
    if (isFan(reading)) {
        const auto rpm = rm::fanSpeed(byte, poll.bytes[firstByte(reading) + 1]);
        if (!rpm)
            return std::nullopt;
        return withUnit(rm::numberText(*rpm, rm::Precision::Single), "rpm");
    }
    switch (reading) {
    case Reading::Vcc: return withUnit(rm::numberText(rm::vcc(byte)), "V");
    case Reading::Vccp: return withUnit(rm::numberText(rm::vccp(byte)), "V");
    default: return rm::trimmedNumberText(rm::dutyPercent(byte));
    }
}
