#pragma once
// The program's options. Parsed before any window exists, so --help,
// --version and mistakes are answered on a terminal without a display.

#include <QString>
#include <QStringList>
#include <variant>

struct BusRequest {
    enum class Kind {
        HostControllers, // the PC's own SMBus controllers
        Simulated,       // --simulate
        NamedAdapters,   // --smbus DEV1[,DEV2]
    };
    Kind kind = Kind::HostControllers;
    QStringList adapterNames; // one or two, for NamedAdapters
    bool holdReadings = false; // Simulated only: readings that never move
    QString recordPath;        // --record: a CSV file recorded from the start
};

// The program should stop at once: after --help or --version (status 0,
// text for stdout) or on a bad command line (status 2, text for stderr).
struct EarlyExit {
    int status = 0;
    QString text;
};

inline constexpr int BadCommandLineStatus = 2;

std::variant<BusRequest, EarlyExit> parseCommandLine(const QStringList& arguments);
