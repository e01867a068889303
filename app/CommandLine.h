#pragma once
// The program's options and commands. Parsed before any window exists, so
// --help, --version, the commands and mistakes are answered on a terminal
// without a display.

#include "bus/FaultPlan.h"
#include "chip/RegisterMap.h"
#include "protocol/ExitStatus.h"
#include "recording/LimitWatch.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

struct BusRequest {
    enum class Kind {
        HostControllers, // the PC's own SMBus controllers
        Simulated,       // --simulate
        NamedAdapters,   // --smbus DEV1[,DEV2]
    };
    Kind kind = Kind::HostControllers;
    QStringList adapterNames; // one or two, for NamedAdapters
    bool holdReadings = false; // Simulated only: readings that never move
    std::optional<FaultPlan> faults; // Simulated only: what the bus is to do wrong
    QString recordPath;        // the window's --record: a CSV file recorded from the start
    bool noSettings = false;   // the window's --no-settings: the defaults, nothing written
    QStringList recordingsToOpen; // the window's FILE.csv arguments: recordings to look at again
};

enum class Command { Read, Record, Dump, Scan, Get, Set, Pwm, Restore, Serve, Report };

// What "pwm" is to change; each is left alone where it is empty.
struct PwmChange {
    std::optional<int> behaviour; // the field, 0..7
    std::optional<int> frequency; // 0 low, 1 high
    std::optional<int> pulses;    // the field, 0..3
    std::optional<std::uint8_t> dutyByte;
};

// A command, run without a window.
struct CommandRequest {
    Command command = Command::Read;
    BusRequest bus;
    std::optional<int> controller; // 0 or 1, as --controller 1|2 chose
    std::uint8_t device = RegisterMap::DefaultDeviceAddress;
    bool deviceGiven = false;
    bool json = false;
    bool force = false;
    bool all = false;       // restore: unknown registers too
    std::uint8_t reg = 0;   // get, set
    std::uint8_t value = 0; // set
    QString path;           // record ("-" for standard output), restore
    std::vector<Limit> limits;
    std::chrono::milliseconds interval{0};
    std::optional<std::chrono::milliseconds> duration;
    PwmChange pwm;
    std::string listen;     // serve: ADDR:PORT
    bool limitsFromSettings = false; // record: the window's saved limits too
    // report: the recording is path; another to compare, a fan test, and
    // where the report goes ("-" for standard output).
    QString comparePath, fanTestPath, outputPath = QStringLiteral("-");
};

// The program should stop at once: after --help or --version (status 0,
// text for stdout) or on a bad command line (status 2, text for stderr).
struct EarlyExit {
    int status = 0;
    QString text;
};

inline constexpr int BadCommandLineStatus = ExitStatus::BadCommandLine;

// The command names, as typed.
QStringList commandNames();

std::variant<BusRequest, CommandRequest, EarlyExit> parseCommandLine(const QStringList& arguments);

// "90", "90s", "500ms", "5m", "2h", "1h30m": seconds when there is no unit.
std::optional<std::chrono::milliseconds> parseDuration(const QString& text);
