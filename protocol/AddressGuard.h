#pragma once
// Which transactions must be asked about before they go out. A byte-data
// read first writes its register number to the device, so a read is a
// write where that number means something: the guard judges reads and
// writes by one rule. Writes where a stray byte can do lasting harm are
// asked about every time; reads there once per address in a run, and the
// poll never makes them. Writes behind a kernel driver's back are asked
// about once, and so are reads there: a read between a driver's ordered
// reads of a pair splits it. The window asks; the command line refuses
// without --force; this decides and remembers.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

enum class AddressRisk {
    None,
    GeneralCall,          // 0x00: every device that honours it takes the byte
    Reserved,             // 0x01..0x07, 0x78..0x7F: not a device's address
    MemoryModuleCommands, // 0x30..0x37: SPD write-protect and page-select
    MemoryModuleEeprom,   // 0x50..0x57: memory modules' configuration EEPROMs
};

// The risk of a transaction at a device address. The top bit is masked
// because an adapter that shifts the address into an 8-bit wire byte sends
// 0x80..0xFF to the same places.
AddressRisk addressRisk(std::uint8_t device);

// A read's write phase does harm at this address: the general-call and
// reserved addresses, and the memory modules' command addresses. Reading
// an EEPROM is what it is for.
bool readIsGuarded(std::uint8_t device);

// "0x2E": a device address as the program's messages write it.
std::string deviceText(std::uint8_t device);
// "SMBus Controller 2", or with the bus's own name where given: "SMBus
// Controller 2 (SMBus I801 adapter at efa0)". Controller is 0 or 1.
std::string controllerText(int controller, const std::string& name = {});

// Why a write to the device needs the user's word, in a sentence or two;
// the window asks with it and the command line refuses with it.
std::string riskText(std::uint8_t device, AddressRisk risk);
std::string driverText(std::uint8_t device, const std::string& driver);
// "Device 0x2E on SMBus Controller 2 is driven by the kernel's at24 driver.
// Reading it too can confuse that driver, and both may read wrong values."
std::string readBehindDriverText(std::uint8_t device, int controller, const std::string& driver);
// A refusal of the command line's, whole: why, what was not done, and how
// to do it all the same. "… Nothing was sent; give --force to read it all
// the same."
std::string forceRefusalText(const std::string& why, bool writes);
// Why a transaction a kernel driver held back was not made, and how to
// make it; writes says it was to write there. The commands and the
// exporter refuse with it.
std::string heldBackText(std::uint8_t device, int controller, const std::string& driver, bool writes);
// The status line after a No: "Device 0x2E is driven by the kernel's at24
// driver: not read".
std::string notReadBehindDriverText(std::uint8_t device, const std::string& driver);
// How to see the driver, unbind it and bind it back, for a kernel client
// such as "1-002e": the status line's tooltip, as the README says it.
std::string unbindDriverText(const std::string& client, const std::string& driver);

// What a guarded read address is and what a read there does: "Device 0x36
// is where memory modules take … : a read there selects a memory module's
// SPD page." The read question and the command line's refusal say it.
std::string readRiskText(std::uint8_t device);
// The status line while the poll is pointed at a guarded address: "The
// poll does not read 0x36: a read there selects a memory module's SPD page".
std::string pollRefusalText(std::uint8_t device);

struct WriteQuestion {
    enum class Kind { DangerousAddress, KernelDriver };
    Kind kind;
    std::uint8_t device;
    AddressRisk risk = AddressRisk::None; // for DangerousAddress
    std::string driver;                   // for KernelDriver
};

class AddressGuard {
public:
    // What to ask, in order, before writing to device. A dangerous address is
    // asked about on every write; a driver's device once in a run.
    std::vector<WriteQuestion> questionsFor(std::uint8_t device) const;

    // Whether a read of device must be asked about first: a guarded address
    // the user has not agreed to read in this run.
    bool mustAskBeforeReading(std::uint8_t device) const;
    void consentToRead(std::uint8_t device) { readConsented_.insert(device & 0x7F); }

    // The controller (0 or 1) that what follows about drivers is about: a
    // driver owns an address on one bus, and the user's word is for that bus.
    void setController(int controller) { controller_ = controller; }
    int controller() const { return controller_; }
    // A transaction said that a kernel driver owns the device.
    void learnDriver(std::uint8_t device, const std::string& driver);
    // sysfs says which driver owns the device now, empty for none: a driver
    // unbound is forgotten with the user's word about it, and one bound
    // anew is asked about afresh. True when that changed what is known.
    bool ownedBy(std::uint8_t device, const std::string& driver);
    // The driver known to own the device, empty when none is.
    std::string driverOf(std::uint8_t device) const;
    // The user agreed to write behind that driver, which covers reading.
    void consent(std::uint8_t device);

    // Reads behind a driver's back. Until the user agrees, nothing is sent
    // there; the question is asked once, and after a No again only when
    // the user points the window at the device again (askAgain).
    bool readHeldBack(std::uint8_t device) const;
    bool mustAskBeforeReadingBehindDriver(std::uint8_t device) const;
    void consentToReadBehindDriver(std::uint8_t device) { behindDriver_[{controller_, device}].readAgreed = true; }
    void declineReadBehindDriver(std::uint8_t device) { behindDriver_[{controller_, device}].readDeclined = true; }
    void askAgain(std::uint8_t device);

private:
    struct BehindDriver {
        bool readAgreed = false;
        bool readDeclined = false;
        bool writeAgreed = false;
    };
    using Key = std::pair<int, std::uint8_t>; // controller, device

    int controller_ = 1;
    std::map<Key, std::string> drivers_;
    std::map<Key, BehindDriver> behindDriver_;
    std::set<std::uint8_t> readConsented_;
};
