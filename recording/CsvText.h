#pragma once
// The number form the program's files and messages share: the shortest
// text that reads back as the value, with a '.' whatever the locale.

#include <string>

std::string csvNumber(double value);
