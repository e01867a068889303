#include "RecordingBus.h"

#include <cerrno>
#include <cstdio>
#include <iomanip>
#include <thread>

void PrintTo(const BusCall& call, std::ostream* out)
{
    *out << std::hex << std::uppercase;
    switch (call.kind) {
    case BusCall::Kind::Detect: *out << "Detect(" << call.device << ")"; break;
    case BusCall::Kind::Read: *out << "Read(dev 0x" << call.device << ", reg 0x" << call.reg << ")"; break;
    case BusCall::Kind::Write:
        *out << "Write(dev 0x" << call.device << ", reg 0x" << call.reg << ", 0x" << call.data << ")";
        break;
    case BusCall::Kind::Receive: *out << "Receive(dev 0x" << call.device << ")"; break;
    }
    *out << std::dec << std::nouppercase;
}

std::uint16_t RecordingBus::DetectSmbus(std::int32_t controllerIndex)
{
    calls.push_back(Detect(controllerIndex));
    controller_ = controllerIndex == 0 ? 0 : 1;
    return baseAddress[controller_];
}

BusOutcome RecordingBus::outcome(const BusCall& call) const
{
    const auto driver = drivers.find(call.device);
    const std::string owner = driver == drivers.end() ? std::string() : driver->second;
    if (fail) {
        if (const int error = fail(call, controller_))
            return {error, owner};
    }
    if (!owner.empty()) {
        const auto& permitted = call.kind == BusCall::Kind::Write ? writable_ : readable_;
        if (!permitted.contains({controller_, call.device}))
            return {EBUSY, owner};
    }
    return {0, owner};
}

std::string RecordingBus::kernelClientName(std::int32_t controllerIndex, std::uint8_t device) const
{
    char client[32];
    std::snprintf(client, sizeof client, "%d-%04x", controllerIndex + 7, device);
    return client;
}

ByteRead RecordingBus::ReadSmbus(std::uint8_t device, std::uint8_t reg)
{
    std::this_thread::sleep_for(delay);
    calls.push_back(Read(reg, device));
    BusOutcome result = outcome(calls.back());
    if (!result.ok())
        return ByteRead::failed(result.error, result.driver);
    return {std::move(result), get(reg, device)};
}

BusOutcome RecordingBus::WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    std::this_thread::sleep_for(delay);
    calls.push_back(Write(reg, data, device));
    BusOutcome result = outcome(calls.back());
    if (result.ok())
        set(reg, data, device);
    return result;
}

ByteRead RecordingBus::ReceiveByte(std::uint8_t device)
{
    std::this_thread::sleep_for(delay);
    calls.push_back(Receive(device));
    BusOutcome result = outcome(calls.back());
    const auto scripted = registers_.lower_bound({device, 0});
    if (result.ok() && (scripted == registers_.end() || scripted->first.first != device))
        result.error = ENXIO;
    if (!result.ok())
        return ByteRead::failed(result.error, result.driver);
    return {std::move(result), scripted->second};
}

std::uint8_t RecordingBus::get(std::uint8_t reg, std::uint8_t device) const
{
    const auto found = registers_.find({device, reg});
    if (found != registers_.end())
        return found->second;
    // Unless a test says otherwise, every device identifies as the chip.
    return reg == 0x3D ? 0x68 : reg == 0x3E ? 0x43 : 0x00;
}
