// What the status line says, and which writes are asked about.

#include "protocol/BusHealth.h"
#include "protocol/AddressGuard.h"

#include <cerrno>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// 14:03:07 local time today, whatever the machine's time zone.
BusHealth::Time at(int hour, int minute, int second)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

TEST(BusHealth, SaysWhatFailsAndSinceWhenAndClearsWhenItWorksAgain)
{
    const auto t0 = at(14, 3, 7);
    const BusOutcome ok, nack{ENXIO, {}}, timeout{ETIMEDOUT, {}}, owned{0, "at24"};
    struct Case {
        const char* what;
        std::function<void(BusHealth&)> events;
        std::string text;
    };
    const Case cases[] = {
        {"normal", [&](BusHealth&) {}, "Device 0x2E on SMBus I801 adapter at efa0"},
        {"failing, from the first failure on",
         [&](BusHealth& h) {
             h.observe(nack, 0x2E, t0);
             h.observe(nack, 0x2E, t0 + 5s);
         },
         "Device 0x2E does not answer (No such device or address) since 14:03:07"},
        {"recovered", [&](BusHealth& h) {
             h.observe(nack, 0x2E, t0);
             h.observe(ok, 0x2E, t0 + 1s);
         }, "Device 0x2E on SMBus I801 adapter at efa0"},
        {"a new error restarts nothing but the words",
         [&](BusHealth& h) {
             h.observe(nack, 0x2E, t0);
             h.observe(timeout, 0x2E, t0 + 3s);
         },
         "Device 0x2E does not answer (Connection timed out) since 14:03:07"},
        {"failed write, for ten seconds", [&](BusHealth& h) {
             h.observe(nack, 0x2E, t0 - 2s);
             h.writeFailed(0x5C, 0x2E, nack, t0 - 1s);
         }, "Write to register 0x5C of device 0x2E failed: No such device or address"},
        {"failed write, after ten seconds", [&](BusHealth& h) { h.writeFailed(0x5C, 0x2E, nack, t0 - 11s); },
         "Device 0x2E on SMBus I801 adapter at efa0"},
        {"a write held back by a driver",
         [&](BusHealth& h) { h.writeFailed(0x05, 0x2E, BusOutcome{EBUSY, "at24"}, t0); },
         "Write to register 0x05 of device 0x2E failed: Device or resource busy (driven by the kernel's at24 driver)"},
        {"driver-owned", [&](BusHealth& h) { h.observe(owned, 0x2E, t0); },
         "Device 0x2E on SMBus I801 adapter at efa0, driven by the kernel's at24 driver"},
        {"nowhere at start-up", [&](BusHealth& h) { h.answeredNowhere(nack, 0x2E, t0); },
         "Device 0x2E does not answer on either SMBus controller (No such device or address) since 14:03:07"},
        {"slow", [&](BusHealth& h) { h.pollTook(3.24); }, "Bus slow: the last poll took 3.2 s"},
        {"fast again", [&](BusHealth& h) {
             h.pollTook(3.24);
             h.pollTook(0.01);
         }, "Device 0x2E on SMBus I801 adapter at efa0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BusHealth health;
        health.setBus("SMBus I801 adapter at efa0", 0x2E);
        c.events(health);
        EXPECT_EQ(health.text(t0), c.text);
    }
}

TEST(AddressGuard, AsksBeforeEveryDangerousAddressAndOnceBehindADriver)
{
    const std::pair<std::uint8_t, AddressRisk> risks[] = {
        {0x00, AddressRisk::GeneralCall},          {0x30, AddressRisk::MemoryModuleCommands},
        {0x37, AddressRisk::MemoryModuleCommands}, {0x50, AddressRisk::MemoryModuleEeprom},
        {0x57, AddressRisk::MemoryModuleEeprom},   {0x2E, AddressRisk::None},
        {0x48, AddressRisk::None},                 {0x2F, AddressRisk::None},
        {0x38, AddressRisk::None},                 {0x4F, AddressRisk::None},
        {0x58, AddressRisk::None},                 {0x80, AddressRisk::GeneralCall},
        {0xD3, AddressRisk::MemoryModuleEeprom},   {0xB1, AddressRisk::MemoryModuleCommands},
    };
    for (const auto& [device, risk] : risks)
        EXPECT_EQ(addressRisk(device), risk) << deviceText(device);

    AddressGuard guard;
    EXPECT_TRUE(guard.questionsFor(0x2E).empty());
    EXPECT_EQ(guard.questionsFor(0x50).size(), 1u);
    guard.learnDriver(0x50, "at24");
    guard.learnDriver(0x2E, "");
    ASSERT_EQ(guard.questionsFor(0x50).size(), 2u);
    EXPECT_EQ(guard.questionsFor(0x50)[1].driver, "at24");
    EXPECT_TRUE(guard.questionsFor(0x2E).empty()) << "no driver, no question";
    guard.consent(0x50);
    EXPECT_EQ(guard.questionsFor(0x50).size(), 1u) << "the driver is asked about once; the address every time";
    guard.setController(0);
    EXPECT_EQ(guard.questionsFor(0x50).size(), 1u) << "on another bus the driver is not known";
}

// Reads behind a driver: held back until a Yes, asked once, and after a No
// again only when the user points the window at the device again.
TEST(AddressGuardTest, ReadsBehindADriverWaitForOneYesOnThatBus)
{
    AddressGuard guard;
    const struct Step {
        const char* what;
        std::function<void(AddressGuard&)> act;
        bool heldBack, ask;
    } steps[] = {
        {"no driver known", [](AddressGuard&) {}, false, false},
        {"a driver learnt", [](AddressGuard& g) { g.learnDriver(0x2E, "at24"); }, true, true},
        {"No", [](AddressGuard& g) { g.declineReadBehindDriver(0x2E); }, true, false},
        {"pointed at it again", [](AddressGuard& g) { g.askAgain(0x2E); }, true, true},
        {"Yes", [](AddressGuard& g) { g.consentToReadBehindDriver(0x2E); }, false, false},
        {"the other bus", [](AddressGuard& g) { g.setController(0); }, false, false},
        {"its own driver there", [](AddressGuard& g) { g.learnDriver(0x2E, "lm63"); }, true, true},
        {"a Yes to writing", [](AddressGuard& g) { g.consent(0x2E); }, false, false},
        {"back on the first bus", [](AddressGuard& g) { g.setController(1); }, false, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(guard);
        EXPECT_EQ(guard.readHeldBack(0x2E), step.heldBack);
        EXPECT_EQ(guard.mustAskBeforeReadingBehindDriver(0x2E), step.ask);
    }
    EXPECT_EQ(guard.questionsFor(0x2E).size(), 1u) << "a Yes to reading is no Yes to writing";
    EXPECT_EQ(readBehindDriverText(0x2E, 1, "at24"),
              "Device 0x2E on SMBus Controller 2 is driven by the kernel's at24 driver. Reading it too can confuse "
              "that driver, and both may read wrong values.");
}

} // namespace
