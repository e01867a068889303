#pragma once
// Two SMBus controllers in software: controller 2 has a simulated Corvane at
// its default address and two memory modules' SPD EEPROMs at 0x50 and 0x51,
// controller 1 has nothing on it. Where no device answers, a transaction
// fails with ENXIO and a read gives 0xFF, as on a real bus.

#include "BusAdapter.h"
#include "SimulatedCorvane.h"
#include "SimulatedSpdEeprom.h"
#include "chip/RegisterMap.h"

class SimulatedBus : public BusAdapter {
public:
    static constexpr std::uint8_t ChipAddress = RegisterMap::DefaultDeviceAddress;
    static constexpr std::uint16_t Controller1Base = 0xF000;
    static constexpr std::uint16_t Controller2Base = 0x0400;
    static constexpr std::uint8_t FirstModuleAddress = 0x50;
    static constexpr std::uint8_t SecondModuleAddress = 0x51;

    // A bus driven by the steady clock and a randomly seeded generator.
    SimulatedBus();
    SimulatedBus(SimulatedCorvane::Clock clock, SimulatedCorvane::Noise noise);

    // The chip's readings stay where they are from now on.
    void holdReadings() { chip_.holdMeasurements(); }

    SimulatedCorvane& chip() { return chip_; }

    std::uint16_t DetectSmbus(std::int32_t controllerIndex) override;
    ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) override;
    BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override;
    ByteRead ReceiveByte(std::uint8_t device) override;
    std::string controllerName() const override;
    std::string nameOfController(std::int32_t index) const override;

private:
    bool chipAnswers(std::uint8_t device) const;
    // The module at this address on the chosen controller, if any.
    SimulatedSpdEeprom* moduleAt(std::uint8_t device);

    SimulatedCorvane chip_;
    SimulatedSpdEeprom firstModule_{0x11};
    SimulatedSpdEeprom secondModule_{0x5A};
    std::int32_t controller_ = 1;
};
