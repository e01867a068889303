#pragma once
// Two SMBus controllers in software: controller 2 has a simulated Corvane at
// 0x2E, controller 1 has nothing on it. Where no device answers, reads give
// 0xFF (the bus floats high) and writes go nowhere.

#include "BusAdapter.h"
#include "SimulatedCorvane.h"

class SimulatedBus : public BusAdapter {
public:
    static constexpr std::uint8_t ChipAddress = 0x2E;
    static constexpr std::uint16_t Controller1Base = 0xF000;
    static constexpr std::uint16_t Controller2Base = 0x0400;

    // A bus driven by the steady clock and a randomly seeded generator.
    SimulatedBus();
    SimulatedBus(SimulatedCorvane::Clock clock, SimulatedCorvane::Noise noise);

    // The chip's readings stay where they are from now on.
    void holdReadings() { chip_.holdMeasurements(); }

    std::uint16_t DetectSmbus(std::int32_t controllerIndex) override;
    std::uint8_t ReadSmbus(std::uint8_t device, std::uint8_t reg) override;
    void WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override;

private:
    bool chipAnswers(std::uint8_t device) const;

    SimulatedCorvane chip_;
    std::int32_t controller_ = 1;
};
