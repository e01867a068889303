#pragma once
// The commands' module entry: runs the command, writing to out and err,
// and returns its exit status.

#include "CommandLine.h"

#include <QtGlobal>
#include <iosfwd>

using CommandsEntry = int (*)(const CommandRequest& request, std::ostream& out, std::ostream& err);
inline constexpr char CommandsEntrySymbol[] = "corvaneCommands";
