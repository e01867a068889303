#pragma once
// The values the window's handlers share for the whole run. The window owns
// the one instance; nothing else keeps a copy.

#include "chip/RegisterMap.h"

#include <cstdint>

struct Module1 {
    // 7-bit address of the chip the poll and the settings panel talk to.
    std::uint8_t DeviceAddress = RegisterMap::DefaultDeviceAddress;
    // PWM1 duty as last read from the chip, 0..100 %.
    std::uint8_t DutyPercent = 0;
};
