#pragma once
// Everything the program does with the chip, as transactions on a
// BusAdapter: start-up, following the chip after a change, the readings
// poll, the PWM1 read-modify-writes and duty write, and the register
// panel's read and write. No widgets and no threads: each call runs its
// transactions in order and says what came of them.

#include "PollReadings.h"
#include "bus/BusAdapter.h"

#include <array>
#include <bitset>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

// A read that was never made.
inline const ByteRead NotRead = ByteRead::failed(ENODATA);

// What start-up reads and following the chip reads again. A field is empty
// where its read failed or was never made: reading stops at the first
// failure, so a device that does not answer costs one transaction.
struct ChipSettings {
    std::optional<bool> offsetCoded;
    std::optional<int> behaviour, frequency, pulses;
    ByteRead duty = NotRead; // register 0x30, for the duty entry
    BusOutcome outcome; // the first failure, or the last success

    bool complete() const { return duty.ok(); }
};

// The errors that mean no device answered at all (the kernel's I2C fault
// codes): only these send a search on to the other controller. Any other
// error means something answered, or the bus itself failed, there.
bool nothingAnswered(int error);

// Where a device answered a read, trying controller 2 and then 1 unless
// one was chosen.
struct Located {
    int controller = 1;     // 0 or 1: where it answered, else the one tried first
    std::uint16_t base = 0; // that controller's base address
    ByteRead read = NotRead;
    // Both controllers were tried: nothing answered on the first.
    bool triedBoth = false;

    bool answered() const { return read.ok(); }
};

struct Startup {
    int controller = 1;       // 0 or 1, where the chip answered (1 when nowhere)
    std::uint16_t base = 0;   // that controller's base address
    bool answered = false;
    BusOutcome outcome;       // why not, when it answered nowhere
    bool triedBoth = false;   // it was looked for on both controllers
    ChipSettings settings;
    std::string controllerName; // the controller start-up ended on
};

// The three PWM1 settings lists, each a field of one register.
enum class Setting { Behaviour, Frequency, Pulses };

struct SettingChange {
    std::uint8_t reg = 0;
    ByteRead read = NotRead; // the register before; nothing is written when this failed
    std::optional<BusOutcome> write;
    std::uint8_t written = 0;
    int fieldBefore = 0;     // the field as read, for putting a list back
    ByteRead duty = NotRead; // behaviour only: 0x30 read after a successful write
};

// All 256 registers of a device, as one sweep read them.
struct RegisterSweep {
    std::array<std::uint8_t, 256> values{}; // 0xFF where a read failed
    std::bitset<256> failed;
    BusOutcome outcome; // the first failure, or the last success
};

// What answered where, over the addresses i2cdetect probes.
struct BusScan {
    static constexpr std::uint8_t First = 0x08, Last = 0x77;
    enum class Mark { Nothing, Answered, DriverOwned };
    std::array<Mark, 128> marks{};
    std::array<std::string, 128> drivers; // for DriverOwned
};

// A write and the read after it that says whether it took.
struct CheckedWrite {
    BusOutcome write;
    ByteRead readBack = NotRead;
    std::uint8_t wanted = 0;

    bool took() const { return write.ok() && readBack.ok() && readBack.value == wanted; }
};

// One fan's speed, read as its tach pair: low byte, then high.
struct FanSpeedRead {
    BusOutcome outcome;       // the first failure, or the last success
    std::optional<double> rpm; // nothing when a read failed, or the pair read 0x00 0x00
};

// PWM1 put back as it was: the behaviour's bits by read-modify-write, then
// the duty.
struct PwmRestore {
    SettingChange behaviour;
    CheckedWrite duty;

    // The first transaction that failed, or the duty write's success.
    const BusOutcome& outcome() const
    {
        if (!behaviour.read.ok())
            return behaviour.read;
        if (behaviour.write && !behaviour.write->ok())
            return *behaviour.write;
        return duty.write;
    }
    bool took() const { return outcome().ok(); }
};

class CorvaneProtocol {
public:
    explicit CorvaneProtocol(BusAdapter& bus) : bus_(bus) {}

    // Reads reg on the chosen controller, or on controller 2 and then, when
    // nothing answered there, on controller 1; leaves the controller where
    // the device answered, or on the one tried first when it answered
    // nowhere. A transient error on controller 2 stops the search there:
    // the next transaction must not land on another bus.
    Located locate(std::uint8_t device, std::uint8_t reg, std::optional<int> controller = {});
    // Controller 2 when the chip answers there; otherwise, when nothing
    // answered there, controller 1 when it answers there; otherwise
    // controller 2 with the chip missing. Only
    // the given controller when there is one. Whether it answers is the
    // outcome of the first read, 0x41.
    Startup startUp(std::uint8_t device, std::optional<int> controller = {});
    std::uint16_t selectController(int index) { return detect(index); }
    std::string controllerName() const { return bus_.controllerName(); }

    // Reads only: the temperature coding, the three settings and the duty.
    ChipSettings readSettings(std::uint8_t device);
    // The device's identification registers, 0x3D to 0x3F; nothing when a
    // read of them failed.
    std::optional<std::array<std::uint8_t, 3>> readIdentification(std::uint8_t device);
    // The fourteen readings' registers. A read a kernel driver held back
    // ends the poll: every other would be held back too.
    PollResult poll(std::uint8_t device);

    // Reads the setting's register and writes it back with field k; for the
    // behaviour, then reads the duty.
    SettingChange changeSetting(Setting setting, std::uint8_t device, int k);
    // The duty byte for a typed percent, nothing when it lies outside 0..100;
    // the duty write is then a write of register 0x30.
    static std::optional<std::uint8_t> dutyByteFor(double percent);
    ByteRead readDuty(std::uint8_t device);
    FanSpeedRead readFanSpeed(std::uint8_t device, int fan);
    PwmRestore restorePwm(std::uint8_t device, int behaviour, std::uint8_t duty);

    ByteRead readRegister(std::uint8_t device, std::uint8_t reg) { return bus_.ReadSmbus(device, reg); }
    BusOutcome writeRegister(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
    {
        return bus_.WriteSmbus(device, reg, data);
    }
    void permitWriteBehindDriver(std::uint8_t device) { bus_.permitWriteBehindDriver(device); }
    void permitReadBehindDriver(int controller, std::uint8_t device) { bus_.permitReadBehindDriver(controller, device); }
    // The kernel driver that owns the device on the chosen controller, from
    // sysfs, without a transaction.
    std::string kernelDriver(std::uint8_t device) const { return bus_.kernelDriver(device); }

    // The register map: 256 byte-data reads, 0x00 to 0xFF; ended, like the
    // poll, by a read a kernel driver held back.
    RegisterSweep sweep(std::uint8_t device);
    // Writes, then reads the register back.
    CheckedWrite writeAndReadBack(std::uint8_t device, std::uint8_t reg, std::uint8_t data);
    // The bus scan: one receive byte at each address from 0x08 to 0x77,
    // which writes nothing to any device. An address a kernel driver owns,
    // as sysfs says, is marked so and not probed, as i2cdetect does.
    BusScan scan();

private:
    // Chooses the controller every transaction goes to from now on.
    std::uint16_t detect(int index)
    {
        controller_ = index;
        return bus_.DetectSmbus(index);
    }

    BusAdapter& bus_;
    int controller_ = 1; // the one chosen last, 0 or 1
};

// The register that holds a setting, and the list position its byte shows.
std::uint8_t settingRegister(Setting setting);
int settingField(Setting setting, std::uint8_t registerByte);
