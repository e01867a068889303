#pragma once
// A bus that answers from a scripted register file and records every call,
// so tests can check a handler's exact traffic. Any chosen transaction can
// be made to fail, and an address can be given a kernel driver.

#include "bus/BusAdapter.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct BusCall {
    enum class Kind { Detect, Read, Write, Receive };
    Kind kind;
    int device = 0; // the controller index for Detect
    int reg = 0;
    int data = 0;

    bool operator==(const BusCall&) const = default;
};

inline BusCall Detect(int controller) { return {BusCall::Kind::Detect, controller}; }
inline BusCall Read(int reg, int device = 0x2E) { return {BusCall::Kind::Read, device, reg}; }
inline BusCall Write(int reg, int data, int device = 0x2E) { return {BusCall::Kind::Write, device, reg, data}; }
inline BusCall Receive(int device) { return {BusCall::Kind::Receive, device}; }

void PrintTo(const BusCall& call, std::ostream* out);

class RecordingBus : public BusAdapter {
public:
    std::uint16_t DetectSmbus(std::int32_t controllerIndex) override;
    ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) override;
    BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override;
    // Answers where a register of the device was scripted.
    ByteRead ReceiveByte(std::uint8_t device) override;
    std::string kernelDriver(std::uint8_t device) const override
    {
        const auto found = drivers.find(device);
        return found == drivers.end() ? std::string() : found->second;
    }
    std::string kernelDriverOn(std::int32_t, std::uint8_t device) const override { return kernelDriver(device); }
    void permitWriteBehindDriver(std::uint8_t device) override
    {
        writable_.insert({controller_, device});
        readable_.insert({controller_, device});
    }
    void permitReadBehindDriver(std::int32_t controllerIndex, std::uint8_t device) override
    {
        readable_.insert({controllerIndex, device});
    }
    std::string kernelClientName(std::int32_t controllerIndex, std::uint8_t device) const override;
    std::string controllerName() const override { return nameOfController(controller_); }
    std::string nameOfController(std::int32_t index) const override
    {
        return "Recording controller " + std::to_string(index + 1);
    }

    // Registers nobody scripted read as 0x00, but for the chip's
    // identification at 0x3D and 0x3E.
    void set(std::uint8_t reg, std::uint8_t value, std::uint8_t device = 0x2E) { registers_[{device, reg}] = value; }
    std::uint8_t get(std::uint8_t reg, std::uint8_t device = 0x2E) const;
    int controller() const { return controller_; }

    std::vector<BusCall> calls;
    std::uint16_t baseAddress[2] = {0xF000, 0x0400};
    // The errno a read or write fails with, 0 to let it through; it sees the
    // call and the controller it goes to. A failed write changes nothing.
    std::function<int(const BusCall&, int controller)> fail;
    // Addresses a kernel driver owns, on either controller, with the
    // driver's name: reads and writes there are held back until permitted.
    std::map<int, std::string> drivers;
    // How long each read and write takes: a slow or hung bus.
    std::chrono::milliseconds delay{0};

private:
    BusOutcome outcome(const BusCall& call) const;

    std::map<std::pair<int, int>, std::uint8_t> registers_;
    std::set<std::pair<int, int>> writable_; // controller, device
    std::set<std::pair<int, int>> readable_;
    int controller_ = 1;
};
