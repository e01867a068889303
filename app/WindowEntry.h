#pragma once
// The window is a module of its own (corvane-window), loaded only when no
// command is given: the commands, the exporter among them, then load Qt
// Core and nothing of Qt's widgets, fonts or D-Bus.

#include "CommandLine.h"

// Opens the bench window on the bus the request asks for and runs it until
// it closes; returns the exit status.
using WindowEntry = int (*)(int& argc, char** argv, const BusRequest& request);
inline constexpr char WindowEntrySymbol[] = "corvaneWindow";
