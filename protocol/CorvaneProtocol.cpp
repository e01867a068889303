#include "CorvaneProtocol.h"

#include "chip/Conversions.h"
#include "chip/RegisterMap.h"

#include <chrono>

namespace rm = RegisterMap;

std::uint8_t settingRegister(Setting setting)
{
    switch (setting) {
    case Setting::Behaviour: return rm::Pwm1Configuration;
    case Setting::Frequency: return rm::FanDriveFrequency;
    case Setting::Pulses: break;
    }
    return rm::Fan1Pulses;
}

int settingField(Setting setting, std::uint8_t registerByte)
{
    switch (setting) {
    case Setting::Behaviour: return rm::behaviour(registerByte);
    case Setting::Frequency: return rm::frequency(registerByte);
    case Setting::Pulses: break;
    }
    return rm::pulses(registerByte);
}

namespace {

std::uint8_t withField(Setting setting, std::uint8_t registerByte, int k)
{
    switch (setting) {
    case Setting::Behaviour: return rm::withBehaviour(registerByte, k);
    case Setting::Frequency: return rm::withFrequency(registerByte, k == 1 ? 1 : 0);
    case Setting::Pulses: break;
    }
    return rm::withPulses(registerByte, k);
}

} // namespace

bool nothingAnswered(int error)
{
    return error == ENXIO || error == ENODEV || error == EREMOTEIO;
}

Located CorvaneProtocol::locate(std::uint8_t device, std::uint8_t reg, std::optional<int> controller)
{
    const int first = controller.value_or(1);
    Located located{first, detect(first), bus_.ReadSmbus(device, reg)};
    if (located.answered() || controller || !nothingAnswered(located.read.error))
        return located;
    const std::uint16_t base1 = detect(0);
    ByteRead onController1 = bus_.ReadSmbus(device, reg);
    // Where there is no controller 2 (one adapter named), controller 1 is
    // where the device was looked for, and its failure the one to tell; so
    // is a failure there that is not silence: something answered.
    if (onController1.ok() || located.read.error == ENODEV || !nothingAnswered(onController1.error))
        return {0, base1, std::move(onController1), located.read.error != ENODEV};
    // Back where the device is expected.
    detect(first);
    located.triedBoth = true;
    return located;
}

Startup CorvaneProtocol::startUp(std::uint8_t device, std::optional<int> controller)
{
    Startup startup;
    const Located located = locate(device, rm::StartupRead1, controller);
    startup.controller = located.controller;
    startup.base = located.base;
    startup.outcome = located.read;
    startup.answered = located.answered();
    startup.triedBoth = located.triedBoth;
    if (startup.answered) {
        bus_.ReadSmbus(device, rm::StartupRead2);
        startup.settings = readSettings(device);
    }
    startup.controllerName = bus_.controllerName();
    return startup;
}

ChipSettings CorvaneProtocol::readSettings(std::uint8_t device)
{
    ChipSettings settings;
    const ByteRead coding = bus_.ReadSmbus(device, rm::TemperatureCoding);
    settings.outcome = coding;
    if (!coding.ok())
        return settings;
    settings.offsetCoded = rm::offsetCoded(coding.value);
    const std::pair<Setting, std::optional<int>*> fields[] = {{Setting::Behaviour, &settings.behaviour},
                                                              {Setting::Frequency, &settings.frequency},
                                                              {Setting::Pulses, &settings.pulses}};
    for (const auto& [setting, field] : fields) {
        const ByteRead byte = bus_.ReadSmbus(device, settingRegister(setting));
        settings.outcome = byte;
        if (!byte.ok())
            return settings;
        *field = settingField(setting, byte.value);
    }
    settings.duty = readDuty(device);
    settings.outcome = settings.duty;
    return settings;
}

std::optional<std::array<std::uint8_t, 3>> CorvaneProtocol::readIdentification(std::uint8_t device)
{
    std::array<std::uint8_t, 3> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const ByteRead read = bus_.ReadSmbus(device, static_cast<std::uint8_t>(rm::FirstIdentification + i));
        if (!read.ok())
            return std::nullopt;
        bytes[i] = read.value;
    }
    return bytes;
}

PollResult CorvaneProtocol::poll(std::uint8_t device)
{
    const auto started = std::chrono::steady_clock::now();
    PollResult result;
    result.time = std::chrono::system_clock::now();
    result.steadyTime = started;
    result.device = device;
    result.controller = controller_;
    bool failed = false;
    for (std::size_t i = 0; i < Poll::Registers.size(); ++i) {
        ByteRead byte = bus_.ReadSmbus(device, Poll::Registers[i]);
        result.bytes[i] = byte.value;
        if (!byte.ok())
            result.failedReads |= static_cast<std::uint16_t>(1u << i);
        if (byte.heldBackByDriver()) {
            result.failedReads = static_cast<std::uint16_t>((1u << Poll::Registers.size()) - 1);
            result.bytes.fill(ByteRead::NothingAnswered);
            result.outcome = std::move(byte);
            break;
        }
        if (!failed) {
            failed = !byte.ok();
            result.outcome = std::move(byte);
        }
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

SettingChange CorvaneProtocol::changeSetting(Setting setting, std::uint8_t device, int k)
{
    SettingChange change;
    change.reg = settingRegister(setting);
    change.read = bus_.ReadSmbus(device, change.reg);
    // A write built on a failed read would carry 0xFF's bits into the
    // register's other fields.
    if (!change.read.ok())
        return change;
    change.fieldBefore = settingField(setting, change.read.value);
    change.written = withField(setting, change.read.value, k);
    change.write = bus_.WriteSmbus(device, change.reg, change.written);
    if (change.write->ok() && setting == Setting::Behaviour)
        change.duty = readDuty(device);
    return change;
}

std::optional<std::uint8_t> CorvaneProtocol::dutyByteFor(double percent)
{
    // Written so that NaN fails too.
    if (!(percent >= 0 && percent <= 100))
        return std::nullopt;
    return rm::dutyByte(percent);
}

ByteRead CorvaneProtocol::readDuty(std::uint8_t device)
{
    return bus_.ReadSmbus(device, rm::Pwm1Duty);
}

FanSpeedRead CorvaneProtocol::readFanSpeed(std::uint8_t device, int fan)
{
    FanSpeedRead result;
    const ByteRead low = bus_.ReadSmbus(device, rm::fanTachLow(fan));
    result.outcome = low;
    if (!low.ok())
        return result;
    const ByteRead high = bus_.ReadSmbus(device, rm::fanTachHigh(fan));
    result.outcome = high;
    if (!high.ok())
        return result;
    if (const auto rpm = rm::fanSpeed(low.value, high.value))
        result.rpm = *rpm;
    return result;
}

PwmRestore CorvaneProtocol::restorePwm(std::uint8_t device, int behaviour, std::uint8_t duty)
{
    PwmRestore result;
    result.behaviour = changeSetting(Setting::Behaviour, device, behaviour);
    result.duty = writeAndReadBack(device, rm::Pwm1Duty, duty);
    return result;
}

RegisterSweep CorvaneProtocol::sweep(std::uint8_t device)
{
    RegisterSweep result;
    bool failed = false;
    for (int reg = 0; reg < 256; ++reg) {
        ByteRead byte = bus_.ReadSmbus(device, static_cast<std::uint8_t>(reg));
        result.values[static_cast<std::size_t>(reg)] = byte.value;
        result.failed[static_cast<std::size_t>(reg)] = !byte.ok();
        if (byte.heldBackByDriver()) {
            result.values.fill(ByteRead::NothingAnswered);
            result.failed.set();
            result.outcome = std::move(byte);
            break;
        }
        if (!failed) {
            failed = !byte.ok();
            result.outcome = std::move(byte);
        }
    }
    return result;
}

CheckedWrite CorvaneProtocol::writeAndReadBack(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    CheckedWrite result;
    result.wanted = data;
    result.write = bus_.WriteSmbus(device, reg, data);
    if (result.write.ok())
        result.readBack = bus_.ReadSmbus(device, reg);
    return result;
}

BusScan CorvaneProtocol::scan()
{
    BusScan result;
    for (int address = BusScan::First; address <= BusScan::Last; ++address) {
        const auto device = static_cast<std::uint8_t>(address);
        const auto index = static_cast<std::size_t>(address);
        std::string driver = bus_.kernelDriver(device);
        if (!driver.empty()) {
            result.marks[index] = BusScan::Mark::DriverOwned;
            result.drivers[index] = std::move(driver);
            continue;
        }
        if (bus_.ReceiveByte(device).ok())
            result.marks[index] = BusScan::Mark::Answered;
    }
    return result;
}
