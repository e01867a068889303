// The chip's protocol on the recording bus: exact traffic, and what each
// operation makes of failed transactions.

#include "protocol/CorvaneProtocol.h"
#include "support/RecordingBus.h"
#include "support/Traffic.h"

#include <cerrno>
#include <cmath>
#include <gtest/gtest.h>

namespace {


const Calls SettingsReads = settingsReads();


// A typical chip: manual mode, two's complement, "High Freq.", 3 pulses.
void scriptChip(RecordingBus& bus)
{
    bus.set(0x5C, 0xE2);
    bus.set(0x5F, 0x08);
    bus.set(0x7B, 0x02);
    bus.set(0x7C, 0x01);
    bus.set(0x30, 0x99);
}

TEST(CorvaneProtocol, StartsUpOnTheControllerWhereTheChipAnswers)
{
    struct Case {
        const char* machine;
        std::function<int(const BusCall&, int controller)> fail;
        std::uint16_t base2;
        Calls traffic;
        int controller;
        std::uint16_t base;
        bool answered;
    };
    const auto onlyOn = [](int answering, int error) {
        return [=](const BusCall&, int controller) { return controller == answering ? 0 : error; };
    };
    const Case cases[] = {
        {"the chip on controller 2", nullptr, 0x0400,
         Calls{Detect(1), Read(0x41), Read(0x42)} + SettingsReads, 1, 0x0400, true},
        {"controller 2 absent, the chip on controller 1", onlyOn(0, ENODEV), 0x0000,
         Calls{Detect(1), Read(0x41), Detect(0), Read(0x41), Read(0x42)} + SettingsReads, 0, 0xF000, true},
        {"both present, the chip only on controller 1", onlyOn(0, ENXIO), 0x0400,
         Calls{Detect(1), Read(0x41), Detect(0), Read(0x41), Read(0x42)} + SettingsReads, 0, 0xF000, true},
        {"the chip on neither", onlyOn(-1, ENXIO), 0x0400,
         Calls{Detect(1), Read(0x41), Detect(0), Read(0x41), Detect(1)}, 1, 0x0400, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        RecordingBus bus;
        scriptChip(bus);
        bus.fail = c.fail;
        bus.baseAddress[1] = c.base2;
        const Startup startup = CorvaneProtocol(bus).startUp(0x2E);
        EXPECT_EQ(bus.calls, c.traffic);
        EXPECT_EQ(startup.controller, c.controller);
        EXPECT_EQ(startup.base, c.base);
        EXPECT_EQ(startup.answered, c.answered);
        EXPECT_EQ(startup.settings.behaviour.has_value(), c.answered) << "nothing is taken from a chip that is not there";
        if (c.answered) {
            EXPECT_EQ(startup.settings.behaviour, 7);
            EXPECT_EQ(startup.settings.frequency, 1);
            EXPECT_EQ(startup.settings.pulses, 2);
            EXPECT_EQ(startup.settings.offsetCoded, false);
            EXPECT_EQ(startup.settings.duty.value, 0x99);
        } else {
            EXPECT_EQ(startup.outcome.error, ENXIO);
        }
        EXPECT_EQ(startup.controllerName, "Recording controller " + std::to_string(c.controller + 1));
    }
}

// Following the chip reads what start-up read, and stops at the first read
// that fails, keeping nothing from a device that does not answer.
TEST(CorvaneProtocol, ReadingTheSettingsAgainStopsAtTheFirstFailure)
{
    struct Case {
        int failingReg; // -1: none
        Calls traffic;
        bool coding, behaviour, pulses, duty;
    };
    const Case cases[] = {
        {-1, SettingsReads, true, true, true, true},
        {0x7C, {Read(0x7C)}, false, false, false, false},
        {0x5F, {Read(0x7C), Read(0x5C), Read(0x5F)}, true, true, false, false},
        {0x30, SettingsReads, true, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failingReg);
        RecordingBus bus;
        scriptChip(bus);
        bus.fail = [&](const BusCall& call, int) { return call.reg == c.failingReg ? ENXIO : 0; };
        const ChipSettings settings = CorvaneProtocol(bus).readSettings(0x2E);
        EXPECT_EQ(bus.calls, c.traffic);
        EXPECT_EQ(settings.offsetCoded.has_value(), c.coding);
        EXPECT_EQ(settings.behaviour.has_value(), c.behaviour);
        EXPECT_EQ(settings.pulses.has_value(), c.pulses);
        EXPECT_EQ(settings.duty.ok(), c.duty);
        EXPECT_EQ(settings.outcome.ok(), c.failingReg < 0);
    }
}

TEST(CorvaneProtocol, APollReadsFourteenRegistersAndMarksTheOnesThatFailed)
{
    RecordingBus bus;
    bus.set(0x26, 0x19, 0x48);
    bus.fail = [](const BusCall& call, int) { return call.reg == 0x2A || call.reg == 0x30 ? EIO : 0; };
    const PollResult poll = CorvaneProtocol(bus).poll(0x48);

    EXPECT_EQ(bus.calls, pollReads(0x48));
    EXPECT_EQ(poll.device, 0x48);
    EXPECT_EQ(poll.bytes[1], 0x19);
    EXPECT_EQ(poll.bytes[5], 0xFF) << "a failed read gives 0xFF";
    EXPECT_EQ(poll.failedReads, (1u << 5) | (1u << 13));
    EXPECT_EQ(poll.outcome.error, EIO);
    EXPECT_FALSE(poll.answered());
}

TEST(CorvaneProtocol, ASettingIsOneReadModifyWriteThatNeverBuildsOnAFailedRead)
{
    struct Case {
        const char* what;
        Setting setting;
        int k;
        std::uint8_t before;
        Calls failing; // the calls that fail
        Calls traffic;
        bool wrote;
        int fieldBefore;
    };
    const Case cases[] = {
        {"behaviour: the duty is read after", Setting::Behaviour, 4, 0xE5, {},
         {Read(0x5C), Write(0x5C, 0x85), Read(0x30)}, true, 7},
        {"frequency", Setting::Frequency, 0, 0x6B, {}, {Read(0x5F), Write(0x5F, 0x63)}, true, 1},
        {"pulses", Setting::Pulses, 3, 0x54, {}, {Read(0x7B), Write(0x7B, 0x57)}, true, 0},
        {"a failed read writes nothing", Setting::Pulses, 3, 0x54, {Read(0x7B)}, {Read(0x7B)}, false, 0},
        {"a failed write reads no duty", Setting::Behaviour, 7, 0x02, {Write(0x5C, 0xE2)},
         {Read(0x5C), Write(0x5C, 0xE2)}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingBus bus;
        bus.set(settingRegister(c.setting), c.before);
        bus.fail = [&](const BusCall& call, int) {
            return std::find(c.failing.begin(), c.failing.end(), call) != c.failing.end() ? ENXIO : 0;
        };
        const SettingChange change = CorvaneProtocol(bus).changeSetting(c.setting, 0x2E, c.k);
        EXPECT_EQ(bus.calls, c.traffic);
        EXPECT_EQ(change.write.has_value() && change.write->ok(), c.wrote);
        EXPECT_EQ(change.fieldBefore, c.fieldBefore);
        EXPECT_EQ(change.duty.ok(), c.wrote && c.setting == Setting::Behaviour);
    }
}

TEST(CorvaneProtocol, ADutyIsWrittenOnlyFromZeroToAHundredPercent)
{
    const std::pair<double, std::optional<std::uint8_t>> cases[] = {
        {0, 0x00}, {50, 0x7F}, {60, 0x99}, {100, 0xFE}, {-0.001, std::nullopt}, {100.1, std::nullopt},
        {std::nan(""), std::nullopt}, {INFINITY, std::nullopt},
    };
    for (const auto& [percent, byte] : cases)
        EXPECT_EQ(CorvaneProtocol::dutyByteFor(percent), byte) << percent;
}

} // namespace
