#pragma once
// A command run in process, as the command line would run it: its output,
// its complaints and its exit status.

#include "app/CommandLine.h"
#include "app/Commands.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

struct Ran {
    int status = -1;
    std::string out, err;
};

inline Ran runOn(BusAdapter& bus, QStringList arguments)
{
    arguments.prepend(QStringLiteral("corvane-bench"));
    const auto parsed = parseCommandLine(arguments);
    const auto* request = std::get_if<CommandRequest>(&parsed);
    if (!request) {
        ADD_FAILURE() << "not a command: " << arguments.join(' ').toStdString();
        return {};
    }
    std::ostringstream out, err;
    const int status = runCommand(*request, bus, out, err);
    return {status, out.str(), err.str()};
}
