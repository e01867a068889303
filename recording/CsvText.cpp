#include "CsvText.h"

#include <charconv>

std::string csvNumber(double value)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc{} ? std::string(text, end) : std::string();
}

std::string rowsText(unsigned long long rows)
{
    return rows == 1 ? "1 row" : std::to_string(rows) + " rows";
}
