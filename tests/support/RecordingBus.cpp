#include "RecordingBus.h"

#include <iomanip>

void PrintTo(const BusCall& call, std::ostream* out)
{
    *out << std::hex << std::uppercase;
    switch (call.kind) {
    case BusCall::Kind::Detect: *out << "Detect(" << call.device << ")"; break;
    case BusCall::Kind::Read: *out << "Read(dev 0x" << call.device << ", reg 0x" << call.reg << ")"; break;
    case BusCall::Kind::Write:
        *out << "Write(dev 0x" << call.device << ", reg 0x" << call.reg << ", 0x" << call.data << ")";
        break;
    }
    *out << std::dec << std::nouppercase;
}

std::uint16_t RecordingBus::DetectSmbus(std::int32_t controllerIndex)
{
    calls.push_back(Detect(controllerIndex));
    return baseAddress[controllerIndex == 0 ? 0 : 1];
}

std::uint8_t RecordingBus::ReadSmbus(std::uint8_t device, std::uint8_t reg)
{
    calls.push_back(Read(reg, device));
    return get(reg, device);
}

void RecordingBus::WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    calls.push_back(Write(reg, data, device));
    set(reg, data, device);
}

std::uint8_t RecordingBus::get(std::uint8_t reg, std::uint8_t device) const
{
    const auto found = registers_.find({device, reg});
    return found == registers_.end() ? 0x00 : found->second;
}
