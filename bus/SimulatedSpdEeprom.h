#pragma once
// A memory module's SPD EEPROM in software: the first 256 bytes of a DDR4
// module's description, write-protected as modules ship, so a write is
// acknowledged and changes nothing. The bus scan and the register map find
// it beside the simulated chip, and the write questions can be tried on it
// safely.

#include <array>
#include <cstdint>

class SimulatedSpdEeprom {
public:
    // Modules differ in their serial number, which seed gives.
    explicit SimulatedSpdEeprom(std::uint8_t seed);

    std::uint8_t read(std::uint8_t offset);
    // Receive byte: the byte at the address pointer, which moves on.
    std::uint8_t receive() { return bytes_[pointer_++]; }
    void write(std::uint8_t /*offset*/, std::uint8_t /*data*/) {}

private:
    std::array<std::uint8_t, 256> bytes_{};
    std::uint8_t pointer_ = 0;
};
