#include "bus/FaultyBus.h"
#include "chip/RegisterMap.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace rm = RegisterMap;

namespace {

using namespace std::chrono_literals;
constexpr std::uint8_t Chip = SimulatedBus::ChipAddress;

// A faulty bus on a hand-driven clock, whose slow transactions only note
// how long they would have taken.
struct Rig {
    FaultyBus::Clock::time_point now{};
    std::chrono::milliseconds slept{0};
    FaultyBus bus;

    explicit Rig(const char* plan)
        : bus(std::get<FaultPlan>(parseFaultPlan(plan)), std::make_unique<SimulatedBus>(),
              {[this] { return now; }, [this](std::chrono::milliseconds d) { slept += d; }})
    {
        bus.DetectSmbus(1);
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
};

TEST(FaultyBus, SilenceAndAGoneAdapterFailAsTheKernelWouldOnlyInTheirSpans)
{
    Rig rig("silent=20s/2m,gone=10s/3m");
    const struct {
        std::chrono::seconds at;
        int controller;
        std::uint8_t device;
        int error;     // of a read
        bool gone;     // as the bus says of controller 2
    } cases[] = {
        {50s, 1, Chip, 0, false},
        {105s, 1, Chip, ENXIO, false},  // silent: the chip answers nothing
        {105s, 1, 0x50, 0, false},      // the memory modules do
        {175s, 1, Chip, ENODEV, true},  // gone: nothing on the adapter
        {175s, 1, 0x50, ENODEV, true},
        {175s, 0, Chip, ENXIO, true},   // controller 1 never had the chip
        {181s, 1, Chip, 0, false},      // back
    };
    for (const auto& c : cases) {
        rig.now = FaultyBus::Clock::time_point(c.at);
        rig.bus.DetectSmbus(c.controller);
        EXPECT_EQ(rig.bus.ReadSmbus(c.device, rm::LocalTemperature).error, c.error) << c.at.count();
        EXPECT_EQ(rig.bus.adapterGone(1), c.gone) << c.at.count();
    }
    rig.now = FaultyBus::Clock::time_point(100s);
    EXPECT_EQ(rig.bus.nextAdapterChange(), FaultyBus::Clock::time_point(170s));
}

TEST(FaultyBus, FailsThePlannedShareInBurstsOfThePlannedErrorsAndSlowsItsShare)
{
    Rig rig("fail=5%/4,errors=EIO+ETIMEDOUT,slow=30ms/2%,seed=11");
    constexpr int Transactions = 200'000;
    int failed = 0, bursts = 0, run = 0;
    std::set<int> errors;
    for (int i = 0; i < Transactions; ++i) {
        const ByteRead read = rig.bus.ReadSmbus(Chip, rm::LocalTemperature);
        if (!read.ok()) {
            ++failed;
            errors.insert(read.error);
            ++run;
        } else if (run) {
            // Bursts may follow one another, so a run is a whole number of them.
            EXPECT_EQ(run % 4, 0) << "a run of " << run;
            bursts += run / 4;
            run = 0;
        }
    }
    EXPECT_NEAR(failed / double(Transactions), 0.05, 0.005);
    EXPECT_GT(bursts, 0);
    EXPECT_EQ(errors, (std::set<int>{EIO, ETIMEDOUT}));
    const auto counts = rig.bus.counts();
    EXPECT_EQ(counts.failed, static_cast<std::uint64_t>(failed));
    EXPECT_NEAR(counts.slow / double(Transactions), 0.02, 0.002);
    EXPECT_EQ(rig.slept, 30ms * counts.slow);
}

// The bus's own count of the fault a program must never commit: writing
// back a register whose read failed.
TEST(FaultyBus, CountsAndLogsWritesAfterAFailedReadOfTheSameRegister)
{
    const auto log = std::filesystem::temp_directory_path() / ("faulty-bus-" + std::to_string(::getpid()) + ".log");
    std::filesystem::remove(log);
    {
        Rig rig(("silent=20s/2m,log=" + log.string()).c_str());
        const auto at = [&rig](std::chrono::seconds s) { rig.now = FaultyBus::Clock::time_point(s); };
        at(10s);
        rig.bus.ReadSmbus(Chip, rm::Pwm1Configuration);
        rig.bus.WriteSmbus(Chip, rm::Pwm1Configuration, 0xE2); // read well: fine
        at(110s);
        rig.bus.ReadSmbus(Chip, rm::Pwm1Configuration);        // silent: failed
        at(125s);
        rig.bus.WriteSmbus(Chip, rm::Pwm1Duty, 0x80);          // another register: fine
        rig.bus.WriteSmbus(Chip, rm::Pwm1Configuration, 0xFF); // the fault
        rig.bus.ReadSmbus(Chip, rm::Pwm1Configuration);
        rig.bus.WriteSmbus(Chip, rm::Pwm1Configuration, 0xE2); // read again first: fine
        EXPECT_EQ(rig.bus.counts().writes, 4u);
        EXPECT_EQ(rig.bus.counts().writesAfterFailedRead, 1u);
    }
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    const std::string logged = text.str();
    for (const char* line : {" silent\n", " failed read 2E 5C ENXIO\n", " answers\n", " write 2E 5C FF after-failed-read\n",
                             " writes 4 writes-after-failed-read 1\n"})
        EXPECT_NE(logged.find(line), std::string::npos) << line << " not in:\n" << logged;
    std::filesystem::remove(log);
}

} // namespace
