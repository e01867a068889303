#pragma once
// A command from the command line, from opening its bus to its exit status.

#include "CommandLine.h"

#include <iosfwd>

int runCommandLine(const CommandRequest& request, std::ostream& out, std::ostream& err);
