#include "SimulatedBus.h"

#include <cerrno>
#include <chrono>
#include <memory>
#include <random>

namespace {

SimulatedCorvane::Clock steadyClock()
{
    return [] {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    };
}

SimulatedCorvane::Noise randomNoise()
{
    auto generator = std::make_shared<std::mt19937>(std::random_device{}());
    return [generator] { return std::uniform_real_distribution<double>(-1.0, 1.0)(*generator); };
}

} // namespace

SimulatedBus::SimulatedBus() : SimulatedBus(steadyClock(), randomNoise()) {}

SimulatedBus::SimulatedBus(SimulatedCorvane::Clock clock, SimulatedCorvane::Noise noise)
    : chip_(std::move(clock), std::move(noise))
{
}

std::uint16_t SimulatedBus::DetectSmbus(std::int32_t controllerIndex)
{
    controller_ = controllerIndex;
    return controllerIndex == 1 ? Controller2Base : Controller1Base;
}

ByteRead SimulatedBus::ReadSmbus(std::uint8_t device, std::uint8_t reg)
{
    if (SimulatedSpdEeprom* module = moduleAt(device))
        return ByteRead::of(module->read(reg));
    return chipAnswers(device) ? ByteRead::of(chip_.read(reg)) : ByteRead::failed(ENXIO);
}

BusOutcome SimulatedBus::WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    if (SimulatedSpdEeprom* module = moduleAt(device)) {
        module->write(reg, data);
        return {};
    }
    if (!chipAnswers(device))
        return {ENXIO, {}};
    chip_.write(reg, data);
    return {};
}

ByteRead SimulatedBus::ReceiveByte(std::uint8_t device)
{
    if (SimulatedSpdEeprom* module = moduleAt(device))
        return ByteRead::of(module->receive());
    return chipAnswers(device) ? ByteRead::of(chip_.read(0x00)) : ByteRead::failed(ENXIO);
}

SimulatedSpdEeprom* SimulatedBus::moduleAt(std::uint8_t device)
{
    if (controller_ != 1)
        return nullptr;
    if (device == FirstModuleAddress)
        return &firstModule_;
    if (device == SecondModuleAddress)
        return &secondModule_;
    return nullptr;
}

std::string SimulatedBus::controllerName() const
{
    return nameOfController(controller_);
}

std::string SimulatedBus::nameOfController(std::int32_t index) const
{
    return index == 1 ? "the simulated SMBus" : "the simulated SMBus's controller 1 (nothing on it)";
}

bool SimulatedBus::chipAnswers(std::uint8_t device) const
{
    return controller_ == 1 && device == ChipAddress;
}
