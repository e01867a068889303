#pragma once
// Expected bus traffic, built from pieces: a poll's fourteen reads, the
// reads that follow the chip, joined with +.

#include "protocol/PollReadings.h"
#include "support/RecordingBus.h"

#include <vector>

using Calls = std::vector<BusCall>;

inline Calls operator+(Calls a, const Calls& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Calls pollReads(int device = 0x2E)
{
    Calls reads;
    for (const std::uint8_t reg : Poll::Registers)
        reads.push_back(Read(reg, device));
    return reads;
}

// The temperature coding, the three settings and the duty.
inline Calls settingsReads(int device = 0x2E)
{
    return {Read(0x7C, device), Read(0x5C, device), Read(0x5F, device), Read(0x7B, device), Read(0x30, device)};
}

// The identification registers, read once the window follows a device.
inline Calls identificationReads(int device = 0x2E)
{
    return {Read(0x3D, device), Read(0x3E, device), Read(0x3F, device)};
}
