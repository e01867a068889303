#include "bus/SimulatedBus.h"
#include "bus/SimulatedChipFile.h"
#include "chip/Conversions.h"
#include "chip/RegisterMap.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <initializer_list>
#include <set>
#include <thread>

namespace rm = RegisterMap;

namespace {

constexpr std::uint8_t Chip = SimulatedBus::ChipAddress;
constexpr std::uint8_t Temperatures[] = {rm::Remote1Temperature, rm::LocalTemperature, rm::Remote2Temperature};

// A bus on a hand-driven clock with noise that is whatever the test says.
// The lambdas hold `this`, so a rig stays where it was made.
struct Rig {
    double now = 0;
    double noise = 0;
    SimulatedBus bus{[this] { return now; }, [this] { return noise; }};

    Rig() { bus.DetectSmbus(1); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    std::uint8_t read(std::uint8_t reg) { return bus.ReadSmbus(Chip, reg).value; }
    void write(std::uint8_t reg, std::uint8_t data) { bus.WriteSmbus(Chip, reg, data); }
    // Every step used here is well past the refresh interval, so each brings a refresh.
    void advance(double seconds = 1.0) { now += seconds; }
    void setBehaviour(int k) { write(rm::Pwm1Configuration, rm::withBehaviour(read(rm::Pwm1Configuration), k)); }
    void settle(int k) { setBehaviour(k); advance(); }
    int duty() { return read(rm::Pwm1Duty); }
    void pinCelsius(std::uint8_t reg, int celsius) { write(reg, static_cast<std::uint8_t>(celsius & 0xFF)); }
};

// Reads a tach pair low byte first, as the chip wants it.
std::optional<float> fanRpm(BusAdapter& bus, int fan)
{
    const std::uint8_t low = bus.ReadSmbus(Chip, rm::fanTachLow(fan)).value;
    return rm::fanSpeed(low, bus.ReadSmbus(Chip, rm::fanTachHigh(fan)).value);
}

void expectPlausibleReadings(BusAdapter& bus)
{
    const bool offsetCoded = rm::offsetCoded(bus.ReadSmbus(Chip, rm::TemperatureCoding).value);
    for (std::uint8_t reg : Temperatures) {
        const int celsius = rm::temperature(bus.ReadSmbus(Chip, reg).value, offsetCoded);
        EXPECT_GT(celsius, 0) << "temperature register 0x" << std::hex << int(reg);
        EXPECT_LT(celsius, 100) << "temperature register 0x" << std::hex << int(reg);
    }
    EXPECT_NEAR(rm::vcc(bus.ReadSmbus(Chip, rm::VccReading).value), 3.3, 0.1);
    EXPECT_NEAR(rm::vccp(bus.ReadSmbus(Chip, rm::VccpReading).value), 1.2, 0.05);
    for (int fan : {0, 1, 2}) {
        const auto rpm = fanRpm(bus, fan);
        ASSERT_TRUE(rpm.has_value()) << "fan " << fan + 1;
        EXPECT_GT(*rpm, 500) << "fan " << fan + 1;
        EXPECT_LT(*rpm, 5000) << "fan " << fan + 1;
    }
    EXPECT_EQ(bus.ReadSmbus(Chip, rm::fanTachLow(3)).value, 0xFF);
    EXPECT_EQ(bus.ReadSmbus(Chip, rm::fanTachHigh(3)).value, 0xFF);
    EXPECT_EQ(fanRpm(bus, 3), 0.0f);
}

} // namespace

TEST(SimulatedBus, OnlyTheChipOnController2Answers)
{
    Rig rig;
    EXPECT_EQ(rig.bus.DetectSmbus(1), 0x0400);
    EXPECT_EQ(rig.read(rm::TemperatureCoding), 0x01);
    for (std::uint8_t device : {0x00, 0x2D, 0x2F, 0x48, 0x7F, 0xAE}) {
        SCOPED_TRACE(testing::Message() << "device 0x" << std::hex << int(device));
        EXPECT_EQ(rig.bus.ReadSmbus(device, rm::TemperatureCoding).value, 0xFF);
        rig.bus.WriteSmbus(device, 0x41, 0x5A);
        EXPECT_EQ(rig.read(0x41), 0x00);
    }

    EXPECT_EQ(rig.bus.DetectSmbus(0), 0xF000);
    for (std::uint8_t reg : {0x00, 0x25, 0x41, 0x5C, 0x7C})
        EXPECT_EQ(rig.read(reg), 0xFF) << "register 0x" << std::hex << int(reg);
    rig.write(0x41, 0x5A);
    rig.write(rm::Pwm1Configuration, rm::withBehaviour(0, rm::DisabledBehaviour));
    rig.advance();

    EXPECT_EQ(rig.bus.DetectSmbus(1), 0x0400);
    EXPECT_EQ(rig.read(0x41), 0x00);
    EXPECT_NE(rm::behaviour(rig.read(rm::Pwm1Configuration)), rm::DisabledBehaviour);
}

TEST(SimulatedBus, ReadingsStayPlausibleWhateverTheNoise)
{
    for (double noise : {-1.0, -0.3, 0.0, 0.6, 1.0}) {
        for (std::uint8_t coding : {0x01, 0x00}) {
            Rig rig;
            rig.noise = noise;
            EXPECT_EQ(rig.read(rm::TemperatureCoding), 0x01) << "power-on coding is two's complement";
            rig.write(rm::TemperatureCoding, coding);
            for (int step = 0; step < 60; ++step) {
                rig.advance(7.3);
                SCOPED_TRACE(testing::Message() << "noise " << noise << ", coding " << int(coding) << ", t " << rig.now);
                expectPlausibleReadings(rig.bus);
            }
        }
    }
}

TEST(SimulatedBus, DefaultBusGivesPlausibleReadings)
{
    SimulatedBus bus;
    ASSERT_EQ(bus.DetectSmbus(1), 0x0400);
    expectPlausibleReadings(bus);
    std::this_thread::sleep_for(std::chrono::milliseconds(110)); // past one refresh of the real clock
    expectPlausibleReadings(bus);
}

TEST(SimulatedBus, SameClockAndNoiseGiveSameReadings)
{
    Rig a, b;
    for (int step = 0; step < 50; ++step) {
        a.noise = b.noise = ((step * 37) % 21 - 10) / 10.0;
        a.advance(0.35);
        b.advance(0.35);
        for (int reg = 0; reg <= 0xFF; ++reg)
            ASSERT_EQ(a.read(reg), b.read(reg)) << "step " << step << ", register 0x" << std::hex << reg;
    }
}

TEST(SimulatedBus, FixedDutyBehavioursHoldTheDutyAndDriveFan1)
{
    struct Case { int behaviour; int duty; bool stalled; };
    const Case cases[] = {{rm::FullSpeedBehaviour, 0xFF, false}, {rm::DisabledBehaviour, 0x00, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "behaviour " << c.behaviour);
        Rig rig;
        rig.settle(c.behaviour);
        rig.advance(15); // ten of Fan1's time constants: it has followed the duty
        for (int step = 0; step < 20; ++step, rig.advance(3.1)) {
            ASSERT_EQ(rig.duty(), c.duty);
            const float rpm = fanRpm(rig.bus, 0).value();
            if (c.stalled)
                ASSERT_EQ(rpm, 0.0f);
            else
                ASSERT_GT(rpm, 1000.0f);
        }
    }

    Rig rig;
    rig.settle(rm::ManualBehaviour);
    rig.write(rm::Pwm1Duty, 0x40);
    rig.advance(15);
    const float lowDutyRpm = fanRpm(rig.bus, 0).value();
    rig.settle(rm::FullSpeedBehaviour);
    rig.advance(15);
    EXPECT_GT(fanRpm(rig.bus, 0).value(), lowDutyRpm + 1000);
}

// Fan1 follows a duty step with a lag: after one time constant it has come
// 63 % of the way. Below the stall duty it stops, and it starts again only
// above the start duty.
TEST(SimulatedBus, Fan1LagsStallsAndNeedsMoreDutyToStart)
{
    Rig rig;
    rig.settle(rm::ManualBehaviour);
    const auto settleAt = [&rig](std::uint8_t duty) {
        rig.write(rm::Pwm1Duty, duty);
        for (int i = 0; i < 150; ++i)
            rig.advance(0.1), fanRpm(rig.bus, 0);
        return fanRpm(rig.bus, 0).value();
    };
    const float full = settleAt(0xFF);
    EXPECT_NEAR(full, SimulatedCorvane::Fan1FullSpeedRpm, 20);
    rig.write(rm::Pwm1Duty, 0x80);
    for (int i = 0; i < 15; ++i)
        rig.advance(0.1), fanRpm(rig.bus, 0);
    const float half = SimulatedCorvane::Fan1FullSpeedRpm * 0x80 / 255;
    EXPECT_NEAR((full - fanRpm(rig.bus, 0).value()) / (full - half), 0.632, 0.03);

    const struct {
        std::uint8_t duty;
        bool turning;
    } steps[] = {{52, true}, {50, false}, {76, false}, {78, true}, {52, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(static_cast<int>(step.duty));
        EXPECT_EQ(settleAt(step.duty) > 0, step.turning);
    }
}

TEST(SimulatedBus, AutomaticBehavioursFollowTheirSensorsAlongTheFanCurve)
{
    struct Case { int behaviour; std::set<std::uint8_t> drivers; };
    const Case cases[] = {
        {rm::RemoteOneBehaviour, {rm::Remote1Temperature}},
        {rm::LocalBehaviour, {rm::LocalTemperature}},
        {rm::RemoteTwoBehaviour, {rm::Remote2Temperature}},
        {rm::FastestLocalRemote2Behaviour, {rm::LocalTemperature, rm::Remote2Temperature}},
        {rm::FastestOfThreeBehaviour, {rm::Remote1Temperature, rm::LocalTemperature, rm::Remote2Temperature}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.setBehaviour(c.behaviour);
        const auto dutyWith = [&rig](std::uint8_t hot, int celsius) {
            for (std::uint8_t reg : Temperatures)
                rig.pinCelsius(reg, reg == hot ? celsius : 20);
            rig.advance();
            return rig.duty();
        };
        const int floor = dutyWith(rm::Remote1Temperature, 20);
        EXPECT_GT(floor, 0x00);
        EXPECT_LT(floor, 0xFF);
        for (std::uint8_t sensor : Temperatures) {
            SCOPED_TRACE(testing::Message() << "behaviour " << c.behaviour << ", sensor 0x" << std::hex << int(sensor));
            if (!c.drivers.contains(sensor)) {
                EXPECT_EQ(dutyWith(sensor, 80), floor);
                continue;
            }
            EXPECT_EQ(dutyWith(sensor, 80), 0xFF);
            EXPECT_EQ(dutyWith(sensor, 20), floor);
            const int midway = dutyWith(sensor, 45);
            EXPECT_GT(midway, floor);
            EXPECT_LT(midway, 0xFF);
            int previous = 0;
            for (int celsius = -40; celsius <= 120; celsius += 5) {
                const int duty = dutyWith(sensor, celsius);
                EXPECT_GE(duty, previous) << celsius << " °C";
                previous = duty;
            }
        }
    }
}

TEST(SimulatedBus, ManualModeKeepsItsDutyAndTakesWrittenOnes)
{
    Rig rig;
    rig.settle(rm::FullSpeedBehaviour);
    rig.settle(rm::ManualBehaviour);
    for (int step = 0; step < 10; ++step, rig.advance(5))
        ASSERT_EQ(rig.duty(), 0xFF);

    for (std::uint8_t written : {0x40, 0x00, 0x9A}) {
        rig.write(rm::Pwm1Duty, written);
        for (int step = 0; step < 10; ++step, rig.advance(5))
            ASSERT_EQ(rig.duty(), written);
    }
}

TEST(SimulatedBus, DutyWritesOutsideManualModeAreIgnored)
{
    for (int behaviour = 0; behaviour < rm::ManualBehaviour; ++behaviour) {
        Rig rig;
        rig.settle(behaviour);
        const int before = rig.duty();
        rig.write(rm::Pwm1Duty, static_cast<std::uint8_t>(before ^ 0x5A));
        EXPECT_EQ(rig.duty(), before) << "behaviour " << behaviour;
    }
}

TEST(SimulatedBus, WrittenMeasurementsStayPinnedWhileTheRestMoves)
{
    for (int reg = 0x21; reg <= 0x2F; ++reg) {
        if (!rm::isMeasurement(reg))
            continue;
        Rig rig;
        const std::uint8_t pinned = static_cast<std::uint8_t>(0x11 + reg);
        rig.write(reg, pinned);
        // The remote1 sensor drifts with time; watch the local one when remote1 is the pinned one.
        const std::uint8_t watched = reg == rm::Remote1Temperature ? rm::LocalTemperature : rm::Remote1Temperature;
        std::set<std::uint8_t> seen;
        for (int step = 0; step < 60; ++step, rig.advance(2.3)) {
            ASSERT_EQ(rig.read(reg), pinned) << "register 0x" << std::hex << reg << ", t " << rig.now;
            seen.insert(rig.read(watched));
        }
        EXPECT_GE(seen.size(), 3u) << "register 0x" << std::hex << reg << " pinned, 0x" << int(watched) << " stood still";
    }
}

TEST(SimulatedBus, OtherRegistersReadBackTheLastWrite)
{
    for (std::uint8_t reg : {0x00, 0x20, 0x23, 0x24, 0x40, 0x41, 0x42, 0x5F, 0x7B, 0x80, 0xFF}) {
        Rig rig;
        for (std::uint8_t data : {0xA5, 0x00, 0x3C}) {
            rig.write(reg, data);
            rig.advance();
            EXPECT_EQ(rig.read(reg), data) << "register 0x" << std::hex << int(reg);
        }
    }
}

TEST(SimulatedBus, TachPairReadAcrossAnUpdateBelongsToOneCount)
{
    Rig rig;
    rig.settle(rm::FullSpeedBehaviour);
    rig.advance(15);
    const std::uint8_t fullLow = rig.read(rm::fanTachLow(0));
    const std::uint8_t fullHigh = rig.read(rm::fanTachHigh(0));
    ASSERT_NE(fullHigh, 0xFF);

    // Start a pair, stop the fan, and let the chip refresh before the second half.
    EXPECT_EQ(rig.read(rm::fanTachLow(0)), fullLow);
    rig.setBehaviour(rm::DisabledBehaviour);
    rig.advance(15);
    EXPECT_EQ(rig.read(rm::fanTachHigh(0)), fullHigh);

    EXPECT_EQ(rig.read(rm::fanTachLow(0)), 0xFF);
    EXPECT_EQ(rig.read(rm::fanTachHigh(0)), 0xFF);
}

TEST(SimulatedBus, TachHighByteReadOnItsOwnGivesTheCurrentValue)
{
    Rig rig;
    EXPECT_EQ(rig.read(rm::fanTachHigh(3)), 0xFF) << "fan 4 is stalled: 0xFFFF";
    EXPECT_EQ(rig.read(rm::fanTachHigh(3)), 0xFF);
}

namespace {

TEST(SimulatedBusHeld, HeldReadingsNeverMoveButSettingsStillWork)
{
    Rig rig;
    rig.bus.holdReadings();
    const std::uint8_t polled[] = {0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x22, 0x21, 0x30};
    std::vector<int> first;
    for (std::uint8_t reg : polled)
        first.push_back(rig.read(reg));
    for (int step = 0; step < 50; ++step) {
        rig.advance(0.37);
        rig.noise = step % 2 ? 1.0 : -1.0;
        std::vector<int> now;
        for (std::uint8_t reg : polled)
            now.push_back(rig.read(reg));
        ASSERT_EQ(now, first) << "after " << step + 1 << " steps";
    }
    rig.write(rm::Pwm1Configuration, 0xE2); // manual mode still answers writes
    rig.write(rm::Pwm1Duty, 0x99);
    EXPECT_EQ(rig.duty(), 0x99);
}

// Two runs of the command line on one state file, each started from the
// file as it was and saved after the other: each keeps its own writes, and
// what neither wrote stays as the file had it.
TEST(SimulatedChipFile, TwoRunsAtOnceKeepEachOthersWrites)
{
    const auto folder = std::filesystem::temp_directory_path() / ("corvane-state-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    ::chmod(folder.c_str(), 0700);
    const auto file = folder / "simulated-chip";
    SimulatedBus before{[] { return 0.0; }, [] { return 0.0; }};
    before.chip().write(0x40, 0x03);
    ASSERT_TRUE(saveSimulatedChip(file, before.chip().state()));

    SimulatedBus first{[] { return 0.0; }, [] { return 0.0; }}, second{[] { return 0.0; }, [] { return 0.0; }};
    for (SimulatedBus* run : {&first, &second})
        run->chip().restore(*loadSimulatedChip(file));
    first.chip().write(0x7B, 0x57);
    second.chip().write(0x5F, 0xCC);
    second.chip().write(0x25, 0x30); // a measurement, pinned
    ASSERT_TRUE(saveSimulatedChipWrites(file, second.chip().state(), second.chip().written()));
    ASSERT_TRUE(saveSimulatedChipWrites(file, first.chip().state(), first.chip().written()));

    const auto kept = loadSimulatedChip(file);
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->registers[0x7B], 0x57);
    EXPECT_EQ(kept->registers[0x5F], 0xCC) << "the first run's save did not undo the second's";
    EXPECT_TRUE(kept->pinned[0x25]);
    EXPECT_EQ(kept->registers[0x40], 0x03) << "what neither wrote stays";
}

} // namespace
