#include "ScanText.h"

#include <cstdio>

std::string scanCell(const BusScan& scan, int address)
{
    if (address < BusScan::First || address > BusScan::Last)
        return "  ";
    switch (scan.marks[static_cast<std::size_t>(address)]) {
    case BusScan::Mark::Answered: {
        char text[4];
        std::snprintf(text, sizeof text, "%02x", address);
        return text;
    }
    case BusScan::Mark::DriverOwned: return "UU";
    case BusScan::Mark::Nothing: break;
    }
    return "--";
}

std::string busScanText(const BusScan& scan)
{
    std::string text = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
    for (int row = 0; row < 0x80; row += 16) {
        char label[8];
        std::snprintf(label, sizeof label, "%02x:", row);
        text += label;
        for (int column = 0; column < 16; ++column)
            text += " " + scanCell(scan, row + column);
        text += "\n";
    }
    return text;
}
