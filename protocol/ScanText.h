#pragma once
// A bus scan as text in i2cdetect's layout: "--" where nothing answered,
// the address where a device did, "UU" where a kernel driver owns it.

#include "CorvaneProtocol.h"

#include <string>

// The cell for one address: "--", "2e", "UU", or blanks outside the scan.
std::string scanCell(const BusScan& scan, int address);

std::string busScanText(const BusScan& scan);
