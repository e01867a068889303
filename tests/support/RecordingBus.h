#pragma once
// A bus that answers from a scripted register file and records every call,
// so tests can check a handler's exact traffic.

#include "bus/BusAdapter.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <utility>
#include <vector>

struct BusCall {
    enum class Kind { Detect, Read, Write };
    Kind kind;
    int device = 0; // the controller index for Detect
    int reg = 0;
    int data = 0;

    bool operator==(const BusCall&) const = default;
};

inline BusCall Detect(int controller) { return {BusCall::Kind::Detect, controller}; }
inline BusCall Read(int reg, int device = 0x2E) { return {BusCall::Kind::Read, device, reg}; }
inline BusCall Write(int reg, int data, int device = 0x2E) { return {BusCall::Kind::Write, device, reg, data}; }

void PrintTo(const BusCall& call, std::ostream* out);

class RecordingBus : public BusAdapter {
public:
    std::uint16_t DetectSmbus(std::int32_t controllerIndex) override;
    std::uint8_t ReadSmbus(std::uint8_t device, std::uint8_t reg) override;
    void WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override;

    // Registers nobody scripted read as 0x00.
    void set(std::uint8_t reg, std::uint8_t value, std::uint8_t device = 0x2E) { registers_[{device, reg}] = value; }
    std::uint8_t get(std::uint8_t reg, std::uint8_t device = 0x2E) const;

    std::vector<BusCall> calls;
    std::uint16_t baseAddress[2] = {0xF000, 0x0400};


private:
    std::map<std::pair<int, int>, std::uint8_t> registers_;
};
