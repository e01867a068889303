#pragma once
// The readings poll: the fourteen registers it reads, in the order it reads
// them, and the ten readings and texts made from their bytes.

#include "bus/BusAdapter.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Poll {

inline constexpr std::array<std::uint8_t, 14> Registers = {0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B,
                                                           0x2C, 0x2D, 0x2E, 0x2F, 0x22, 0x21, 0x30};

// The readings in the order the window lists them.
enum class Reading { Remote1, Local, Remote2, Fan1, Fan2, Fan3, Fan4, Vcc, Vccp, Duty };
inline constexpr int ReadingCount = 10;

enum class Kind { Temperature, Fan, Voltage, Duty };

// Everything said of a reading, in one place: the name where a program
// reads it (the CSV's column, the command line's JSON key and limits, with
// the unit in it: an interface that never changes), the window's caption,
// its unit, its kind and its series among the exporter's metrics.
struct ReadingInfo {
    std::string_view name;
    std::string_view caption;
    std::string_view unit;
    Kind kind;
    std::string_view metricLabel, metricValue; // "sensor", "local"
};
inline constexpr std::array<ReadingInfo, ReadingCount> Table = {{
    {"remote1_c", "Remote1", "°C", Kind::Temperature, "sensor", "remote1"},
    {"local_c", "Local", "°C", Kind::Temperature, "sensor", "local"},
    {"remote2_c", "Remote2", "°C", Kind::Temperature, "sensor", "remote2"},
    {"fan1_rpm", "Fan1", "rpm", Kind::Fan, "fan", "1"},
    {"fan2_rpm", "Fan2", "rpm", Kind::Fan, "fan", "2"},
    {"fan3_rpm", "Fan3", "rpm", Kind::Fan, "fan", "3"},
    {"fan4_rpm", "Fan4", "rpm", Kind::Fan, "fan", "4"},
    {"vcc_v", "Vcc", "V", Kind::Voltage, "rail", "vcc"},
    {"vccp_v", "Vccp", "V", Kind::Voltage, "rail", "vccp"},
    {"duty_pct", "PWM1 Duty Cycle", "%", Kind::Duty, "pwm", "1"},
}};

constexpr const ReadingInfo& info(Reading reading) { return Table[static_cast<std::size_t>(reading)]; }
constexpr std::string_view name(Reading reading) { return info(reading).name; }
constexpr std::string_view caption(Reading reading) { return info(reading).caption; }
constexpr std::string_view unit(Reading reading) { return info(reading).unit; }
constexpr bool isTemperature(Reading reading) { return info(reading).kind == Kind::Temperature; }
constexpr bool isFan(Reading reading) { return info(reading).kind == Kind::Fan; }
std::optional<Reading> readingNamed(std::string_view name);
// "local_c, remote1_c, …": every name, for a message that lists them.
std::string namesText();

// The order the window lists them in, top to bottom: its own temperature first.
inline constexpr std::array<Reading, ReadingCount> ListedOrder = {
    Reading::Local, Reading::Remote1, Reading::Remote2, Reading::Fan1, Reading::Fan2,
    Reading::Fan3,  Reading::Fan4,    Reading::Vcc,     Reading::Vccp, Reading::Duty};

// What a reading whose read failed shows in place of a number: an em dash.
inline constexpr std::string_view NoReading = "\u2014";


} // namespace Poll

struct PollResult {
    std::chrono::system_clock::time_point time; // when the first read went out
    // The same moment on the steady clock: intervals are timed by it, so a
    // wall clock set back or forward loses no row and makes none up.
    std::chrono::steady_clock::time_point steadyTime;
    std::uint8_t device = 0;
    int controller = 1; // 0 or 1: the controller the reads went to
    // Each register's byte, 0xFF where its read failed.
    std::array<std::uint8_t, Poll::Registers.size()> bytes{};
    // Bit i set: the read of Registers[i] failed.
    std::uint16_t failedReads = 0;
    // The first failure, or the driver that owns the device when all worked.
    BusOutcome outcome;
    double seconds = 0; // how long the fourteen reads took

    bool answered() const { return failedReads == 0; }
};

// What a reading's text depends on, as one number: when it is unchanged the
// label need not be rewritten.
int readingKey(const PollResult& poll, Poll::Reading reading, bool offsetCoded);

// The label text of a reading: ' 25 °C', ' 1000 rpm', ' 3.3 V', '50' for the
// duty. Nothing for a fan whose tach pair reads 0x00 0x00: the chip has no
// new count, and the label keeps what it showed.
std::optional<std::string> readingText(const PollResult& poll, Poll::Reading reading, bool offsetCoded);

// A read behind the reading failed.
bool readingFailed(const PollResult& poll, Poll::Reading reading);

// The number a reading's label shows, in its unit (°C, rpm, V, %). Nothing
// where a read behind it failed, or where the label keeps its text (a fan
// whose pair reads 0x00 0x00).
std::optional<double> readingValue(const PollResult& poll, Poll::Reading reading, bool offsetCoded);
