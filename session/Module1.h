#pragma once
// The values the bench session shares with every view for the whole run.
// The session owns the one instance; nothing else keeps a copy.

#include "chip/RegisterMap.h"

#include <cstdint>

struct Module1 {
    // 7-bit address of the chip the poll and the settings panel talk to.
    std::uint8_t DeviceAddress = RegisterMap::DefaultDeviceAddress;
    // PWM1 duty as last read from the chip, 0..100 %.
    std::uint8_t DutyPercent = 0;
};
