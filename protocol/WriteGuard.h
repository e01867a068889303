#pragma once
// Which writes must be asked about before they go out: writes to addresses
// where a stray byte can do lasting harm, and writes behind a kernel
// driver's back. The window asks; this decides and remembers.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

enum class AddressRisk {
    None,
    GeneralCall,          // 0x00: every device that honours it takes the write
    MemoryModuleCommands, // 0x30..0x37: SPD write-protect and page-select
    MemoryModuleEeprom,   // 0x50..0x57: memory modules' configuration EEPROMs
};

// The risk of writing to a device address. The top bit is masked because an
// adapter that shifts the address into an 8-bit wire byte sends 0x80..0xFF
// to the same places.
AddressRisk addressRisk(std::uint8_t device);

// "0x2E": a device address as the program's messages write it.
std::string deviceText(std::uint8_t device);

// Why a write to the device needs the user's word, in a sentence or two;
// the window asks with it and the command line refuses with it.
std::string riskText(std::uint8_t device, AddressRisk risk);
std::string driverText(std::uint8_t device, const std::string& driver);

struct WriteQuestion {
    enum class Kind { DangerousAddress, KernelDriver };
    Kind kind;
    std::uint8_t device;
    AddressRisk risk = AddressRisk::None; // for DangerousAddress
    std::string driver;                   // for KernelDriver
};

class WriteGuard {
public:
    // What to ask, in order, before writing to device. A dangerous address is
    // asked about on every write; a driver's device once in a run.
    std::vector<WriteQuestion> questionsFor(std::uint8_t device) const;

    // A transaction said that a kernel driver owns the device.
    void learnDriver(std::uint8_t device, const std::string& driver);
    // The user agreed to write behind that driver.
    void consent(std::uint8_t device) { consented_.insert(device); }
    // Another controller: what was learnt and agreed to was about this one.
    void forgetController();

private:
    std::map<std::uint8_t, std::string> drivers_;
    std::set<std::uint8_t> consented_;
};
