#pragma once
// What usually sits at an SMBus address on a PC, for asking before the
// window is pointed at something that is probably not the chip.

#include <cstdint>
#include <string>

// "a memory module's SPD EEPROM", "a temperature sensor", …, or "an
// unknown device".
std::string probableDevice(std::uint8_t address);
