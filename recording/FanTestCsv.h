#pragma once
// A fan test's steps as CSV, as recordings are written: RFC 4180, UTF-8,
// CRLF, ISO 8601 UTC times with milliseconds, '.' for decimals.

#include "protocol/FanSweep.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

// "time,sweep,duty_pct,fan1_rpm,settle_s,settled", then a row per step:
// "2026-12-09T10:00:03.000Z,down,100,3200,1,yes".
std::string fanTestCsv(const std::vector<FanStep>& steps);

// A fan test's CSV read back, strictly as recordings are: a file that is
// not one, with the line; damaged rows skipped and counted.
struct FanTestRead {
    std::vector<FanStep> steps;
    std::size_t damagedRows = 0;
    std::string firstDamage;
};
std::variant<FanTestRead, std::string> readFanTestText(std::string_view text, const std::string& name);
std::variant<FanTestRead, std::string> readFanTestFile(const std::string& path);
