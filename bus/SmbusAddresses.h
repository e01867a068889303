#pragma once
// Facts about SMBus addresses that hold on any PC, whatever chip we watch.

#include <cstdint>

// A PC's memory modules keep their configuration EEPROMs at 0x50..0x57;
// a stray write there can leave the machine unable to boot. The top bit is
// masked because an adapter that shifts the address into an 8-bit wire byte
// sends 0xD0..0xD7 to the same place.
constexpr bool isMemoryModuleEeprom(std::uint8_t address)
{
    const int sevenBit = address & 0x7F;
    return sevenBit >= 0x50 && sevenBit <= 0x57;
}
