#include "SimulatedSpdEeprom.h"

namespace {

// The CRC that protects the first 126 bytes of a DDR4 SPD, stored low byte
// first at 126: CRC-16 with polynomial 0x1021 and initial value 0.
std::uint16_t spdCrc(const std::array<std::uint8_t, 256>& bytes)
{
    std::uint16_t crc = 0;
    for (int i = 0; i < 126; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (bytes[static_cast<std::size_t>(i)] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

} // namespace

SimulatedSpdEeprom::SimulatedSpdEeprom(std::uint8_t seed)
{
    // An 8 GB single-rank DDR4-2666 unbuffered module.
    const std::uint8_t head[] = {
        0x23, // 384 bytes used of 512
        0x11, // SPD revision 1.1
        0x0C, // DDR4 SDRAM
        0x02, // unbuffered DIMM
        0x45, // 8 Gb per die, 4 bank groups
        0x21, // 16 row and 10 column address bits
        0x00, // monolithic
        0x08, 0x00, 0x60, 0x00, 0x03, // refresh, voltage 1.2 V
        0x01, // x8 devices, one rank
        0x03, // 64-bit bus
        0x80, // thermal sensor present
        0x00, 0x00, 0x00,
        0x07, // tCK 0.75 ns: 2666 MT/s
        0x0D, 0xF8, 0xFF, 0x00, 0x00, // CAS latencies
    };
    for (std::size_t i = 0; i < sizeof head; ++i)
        bytes_[i] = head[i];
    const std::uint16_t crc = spdCrc(bytes_);
    bytes_[126] = static_cast<std::uint8_t>(crc & 0xFF);
    bytes_[127] = static_cast<std::uint8_t>(crc >> 8);
    // Manufacturing date and serial number in the module-specific block.
    bytes_[0x80] = 0x26;
    bytes_[0x81] = 0x11;
    bytes_[0x82] = seed;
    bytes_[0x83] = static_cast<std::uint8_t>(seed * 37 + 11);
}

std::uint8_t SimulatedSpdEeprom::read(std::uint8_t offset)
{
    pointer_ = static_cast<std::uint8_t>(offset + 1);
    return bytes_[offset];
}
