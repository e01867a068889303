#pragma once
// The command line's commands, each a short run of the protocol's
// transactions on the calling thread: no window, no display. Output goes to
// out, complaints to err, and the result is an exit status.

#include "CommandLine.h"
#include "bus/BusAdapter.h"

#include <iosfwd>

int runCommand(const CommandRequest& request, BusAdapter& bus, std::ostream& out, std::ostream& err);

// record: polls every 100 ms until --duration has passed or SIGINT, SIGTERM
// or SIGHUP arrives. Needs a QCoreApplication for its event loop.
int runRecord(const CommandRequest& request, BusAdapter& bus, std::ostream& err);

// serve: loads the exporter module and serves /metrics until SIGINT or
// SIGTERM. Needs a QCoreApplication for its event loop.
int runServe(const CommandRequest& request, BusAdapter& bus, std::ostream& err);

// report: a recorded run (and another to compare, a fan test) as one HTML
// file, or its summary as JSON. Reads files only: no bus, no display.
int runReport(const CommandRequest& request, std::ostream& out, std::ostream& err);
