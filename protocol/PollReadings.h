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

// Each reading's name where a program reads it: the CSV's columns, the
// command line's JSON keys and limits. The unit is part of the name. These
// are an interface: they never change.
inline constexpr std::array<std::string_view, ReadingCount> Names = {
    "remote1_c", "local_c", "remote2_c", "fan1_rpm", "fan2_rpm", "fan3_rpm", "fan4_rpm", "vcc_v", "vccp_v", "duty_pct"};
// The caption the window shows beside each reading.
inline constexpr std::array<std::string_view, ReadingCount> Captions = {
    "Remote1", "Local", "Remote2", "Fan1", "Fan2", "Fan3", "Fan4", "Vcc", "Vccp", "PWM1 Duty Cycle"};
// The order the window lists them in, top to bottom: its own temperature first.
inline constexpr std::array<Reading, ReadingCount> ListedOrder = {
    Reading::Local, Reading::Remote1, Reading::Remote2, Reading::Fan1, Reading::Fan2,
    Reading::Fan3,  Reading::Fan4,    Reading::Vcc,     Reading::Vccp, Reading::Duty};

// What a reading whose read failed shows in place of a number: an em dash.
inline constexpr std::string_view NoReading = "\u2014";

constexpr std::string_view name(Reading reading) { return Names[static_cast<std::size_t>(reading)]; }
constexpr std::string_view caption(Reading reading) { return Captions[static_cast<std::size_t>(reading)]; }
std::optional<Reading> readingNamed(std::string_view name);

} // namespace Poll

struct PollResult {
    std::chrono::system_clock::time_point time; // when the first read went out
    // The same moment on the steady clock: intervals are timed by it, so a
    // wall clock set back or forward loses no row and makes none up.
    std::chrono::steady_clock::time_point steadyTime;
    std::uint8_t device = 0;
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
