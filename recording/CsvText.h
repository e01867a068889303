#pragma once
// The number form the program's files and messages share: the shortest
// text that reads back as the value, with a '.' whatever the locale.

#include <string>

std::string csvNumber(double value);

// "1 row", "2 rows": how every message counts a recording's rows.
std::string rowsText(unsigned long long rows);
