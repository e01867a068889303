#pragma once
// What the serve command is told, handed from the program to the exporter
// module that runs it.

#include "chip/RegisterMap.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct ServeOptions {
    std::string listen;                 // "127.0.0.1:10127", "[::1]:10127", "0.0.0.0:9000"
    std::chrono::milliseconds interval; // between polls
    std::uint8_t device = RegisterMap::DefaultDeviceAddress;
    std::optional<int> controller;      // 0 or 1; where the device answers when not given
};

// The port the exporter listens on unless told otherwise: outside the
// range the exporters of the monitoring engine's ecosystem take theirs from
// (9100 to 9999), so it meets none of them.
inline constexpr int DefaultServePort = 10127;

// The module's entry point, by this name: serves until SIGTERM or SIGINT;
// returns the exit status, having said why on err where it is not 0.
class BusAdapter;
using ServeEntry = int (*)(const ServeOptions& options, BusAdapter& bus, std::string* error);
inline constexpr char ServeEntrySymbol[] = "corvaneServe";
