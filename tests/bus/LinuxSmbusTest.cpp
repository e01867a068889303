#include "bus/LinuxSmbus.h"
#include "support/FakeI2cDev.h"
#include "support/SysfsTree.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

const SmbusAdapter I801{0, "SMBus I801 adapter at 0700", "/dev/i2c-0", 0x0700, true, "/sys/devices/pci0000:00/0000:00:1f.3"};
const SmbusAdapter Second{1, "SMBus I801 adapter at 0b00", "/dev/i2c-1", 0x0b00, true, "/sys/devices/pci0000:00/0000:00:1f.3"};

using Log = std::vector<std::string>;

// A Linux bus over a fake i2c-dev that the test keeps a hand on.
struct Rig {
    FakeI2cDev* dev;
    std::unique_ptr<LinuxSmbus> bus;

    explicit Rig(LinuxSmbus::Controllers controllers = {I801, Second})
    {
        auto fake = std::make_unique<FakeI2cDev>();
        dev = fake.get();
        dev->files = {"/dev/i2c-0", "/dev/i2c-1"};
        dev->addDevice("/dev/i2c-0", 0x2E);
        dev->addDevice("/dev/i2c-0", 0x50);
        dev->addDevice("/dev/i2c-1", 0x2E);
        bus = std::make_unique<LinuxSmbus>(std::move(controllers), std::move(fake));
    }
};

TEST(LinuxSmbus, OpensOnFirstUseAndSetsTheAddressOnlyWhenItChanges)
{
    Rig rig;
    EXPECT_EQ(rig.bus->DetectSmbus(0), 0x0700);
    EXPECT_TRUE(rig.dev->log.empty()) << "nothing is opened before the first transaction";

    rig.dev->registerOf("/dev/i2c-0", 0x2E, 0x25) = 0x2A;
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0x25).value, 0x2A);
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0x25).value, 0x2A);
    rig.bus->WriteSmbus(0x2E, 0x30, 0x99);
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0x30).value, 0x99) << "a written value reads back";
    rig.bus->ReadSmbus(0x50, 0x00).value;
    rig.bus->ReadSmbus(0x2E, 0x00).value;

    EXPECT_EQ(rig.dev->log, (Log{"open /dev/i2c-0", "slave 46", "read 37", "read 37", "write 48 153", "read 48",
                                 "slave 80", "read 0", "slave 46", "read 0"}));
}

TEST(LinuxSmbus, EachControllerKeepsItsOwnFileAndAddress)
{
    Rig rig;
    rig.dev->registerOf("/dev/i2c-0", 0x2E, 1) = 0x11;
    rig.dev->registerOf("/dev/i2c-1", 0x2E, 1) = 0x22;

    EXPECT_EQ(rig.bus->DetectSmbus(1), 0x0b00);
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 1).value, 0x22);
    rig.bus->DetectSmbus(0);
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 1).value, 0x11);
    rig.bus->DetectSmbus(1);
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 1).value, 0x22);

    EXPECT_EQ(rig.dev->log, (Log{"open /dev/i2c-1", "slave 46", "read 1", "open /dev/i2c-0", "slave 46", "read 1",
                                 "read 1"}));
    const auto openFiles = rig.dev->openFiles;
    rig.bus.reset();
    EXPECT_EQ(*openFiles, 0) << "closing the program closes the adapters' files";
}

// Whatever goes wrong, a read gives 0xFF, a write sends nothing further,
// and both hand the kernel's errno to the caller.
TEST(LinuxSmbus, FailuresReadAsABusWhereNothingAnswers)
{
    struct Case {
        const char* what;
        std::function<void(Rig&)> arrange;
        std::uint8_t device;
        Log expected; // after DetectSmbus(0), for one read then one write of 0x5A to register 7
        int error;
    };
    const Case cases[] = {
        {"no device at the address (ENXIO)", [](Rig&) {}, 0x10,
         {"open /dev/i2c-0", "slave 16", "read 7", "write 7 90"}, ENXIO},
        {"adapter unplugged (ENODEV): the file is closed and opened afresh",
         [](Rig& rig) { rig.dev->transactionError = ENODEV; }, 0x2E,
         {"open /dev/i2c-0", "slave 46", "read 7", "close /dev/i2c-0", "open /dev/i2c-0", "slave 46", "write 7 90",
          "close /dev/i2c-0"}, ENODEV},
        {"address beyond 7 bits (EINVAL)", [](Rig&) {}, 0xAE,
         {"open /dev/i2c-0", "slave 174", "slave 174"}, EINVAL},
        {"permission denied on the file",
         [](Rig& rig) { rig.dev->openErrors["/dev/i2c-0"] = EACCES; }, 0x2E,
         {"open /dev/i2c-0", "open /dev/i2c-0"}, EACCES},
        {"a timeout", [](Rig& rig) { rig.dev->transactionError = ETIMEDOUT; }, 0x2E,
         {"open /dev/i2c-0", "slave 46", "read 7", "write 7 90"}, ETIMEDOUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        c.arrange(rig);
        rig.bus->DetectSmbus(0);
        const ByteRead read = rig.bus->ReadSmbus(c.device, 7);
        EXPECT_EQ(read.value, 0xFF);
        EXPECT_EQ(read.error, c.error);
        EXPECT_EQ(rig.bus->WriteSmbus(c.device, 7, 0x5A).error, c.error);
        EXPECT_EQ(rig.dev->log, c.expected);
    }
}

TEST(LinuxSmbus, AMissingControllerGivesNoBaseAndTouchesNothing)
{
    for (const std::int32_t index : {1, 2, -1}) {
        SCOPED_TRACE(index);
        Rig rig({I801, std::nullopt});
        rig.bus->DetectSmbus(0);
        rig.bus->ReadSmbus(0x2E, 0).value;
        rig.dev->log.clear();

        EXPECT_EQ(rig.bus->DetectSmbus(index), 0);
        EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0).error, ENODEV);
        EXPECT_EQ(rig.bus->WriteSmbus(0x2E, 0x30, 0x99).error, ENODEV);
        EXPECT_TRUE(rig.dev->log.empty()) << "reads and writes must not reach the previous controller";
        EXPECT_EQ(rig.dev->registerOf("/dev/i2c-0", 0x2E, 0x30), 0);
    }
}

// Past a kernel driver only with the user's word, as i2cget and i2cset
// only with -f: until then a read or a write names the driver, and only
// the plain set-slave, which sends nothing, reaches the kernel.
TEST(LinuxSmbus, GoesPastAKernelDriverOnlyWhenPermitted)
{
    SysfsTree sysfs;
    sysfs.boundDriver(0, 0x50, "ee1004");
    auto fake = std::make_unique<FakeI2cDev>();
    FakeI2cDev& dev = *fake;
    dev.files = {"/dev/i2c-0", "/dev/i2c-1"};
    dev.driverBound = {{"/dev/i2c-0", 0x50}};
    dev.registerOf("/dev/i2c-0", 0x50, 2) = 0x0C;
    LinuxSmbus bus({I801, Second}, std::move(fake), sysfs.root());
    bus.DetectSmbus(0);
    EXPECT_EQ(bus.kernelClientName(0, 0x50), "0-0050");
    EXPECT_EQ(bus.kernelClientName(1, 0x2E), "1-002e");

    const ByteRead held = bus.ReadSmbus(0x50, 2);
    EXPECT_TRUE(held.heldBackByDriver());
    EXPECT_EQ(held.driver, "ee1004");
    EXPECT_EQ(dev.log, (Log{"open /dev/i2c-0", "slave 80"})) << "no force, no transaction";

    bus.permitReadBehindDriver(0, 0x50);
    const ByteRead read = bus.ReadSmbus(0x50, 2);
    EXPECT_EQ(read.value, 0x0C);
    EXPECT_EQ(read.driver, "ee1004");
    const BusOutcome refused = bus.WriteSmbus(0x50, 2, 0x0D);
    EXPECT_TRUE(refused.heldBackByDriver()) << "a Yes to reading is no Yes to writing";
    EXPECT_EQ(dev.registerOf("/dev/i2c-0", 0x50, 2), 0x0C) << "nothing reached the device";

    bus.permitWriteBehindDriver(0x50);
    EXPECT_TRUE(bus.WriteSmbus(0x50, 2, 0x0D).ok());
    EXPECT_EQ(dev.log, (Log{"open /dev/i2c-0", "slave 80", "slave 80", "force 80", "read 2", "write 2 13"}));

    sysfs.boundDriver(1, 0x50, "at24");
    dev.driverBound.insert({"/dev/i2c-1", 0x50});
    bus.DetectSmbus(1);
    EXPECT_TRUE(bus.ReadSmbus(0x50, 2).heldBackByDriver()) << "consent belongs to the controller it was given on";
    EXPECT_TRUE(bus.WriteSmbus(0x50, 2, 0x0E).heldBackByDriver());
}

// A Yes to writing covers reading: a write's read-back must not be refused.
TEST(LinuxSmbus, AWriteConsentCoversReads)
{
    SysfsTree sysfs;
    sysfs.boundDriver(0, 0x4C, "lm90");
    auto fake = std::make_unique<FakeI2cDev>();
    fake->files = {"/dev/i2c-0"};
    fake->driverBound = {{"/dev/i2c-0", 0x4C}};
    fake->registerOf("/dev/i2c-0", 0x4C, 0x30) = 0x44;
    LinuxSmbus bus({I801, std::nullopt}, std::move(fake), sysfs.root());
    bus.DetectSmbus(0);
    bus.permitWriteBehindDriver(0x4C);
    EXPECT_EQ(bus.ReadSmbus(0x4C, 0x30).value, 0x44);
}

// Unplugged, then plugged back in under the same device file: the bus finds
// the adapter again without a restart.
TEST(LinuxSmbus, FindsAnAdapterThatCameBack)
{
    Rig rig;
    rig.dev->registerOf("/dev/i2c-0", 0x2E, 0x26) = 0x19;
    rig.bus->DetectSmbus(0);
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0x26).value, 0x19);

    rig.dev->transactionError = ENODEV;
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0x26).value, 0xFF);
    rig.dev->files.clear(); // the device file is gone
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0x26).value, 0xFF);

    rig.dev->transactionError = 0;
    rig.dev->files = {"/dev/i2c-0"};
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0x26).value, 0x19);
    EXPECT_EQ(*rig.dev->openFiles, 1) << "the dead file was closed";
}

TEST(LinuxSmbus, OpensTheFileOnceAccessIsGranted)
{
    Rig rig;
    rig.dev->openErrors["/dev/i2c-0"] = EACCES;
    rig.bus->DetectSmbus(0);
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0).value, 0xFF);

    rig.dev->openErrors.clear();
    rig.dev->registerOf("/dev/i2c-0", 0x2E, 0) = 0x41;
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0).value, 0x41);
    EXPECT_EQ(rig.bus->ReadSmbus(0x2E, 0).value, 0x41);
    EXPECT_EQ(rig.dev->log, (Log{"open /dev/i2c-0", "open /dev/i2c-0", "slave 46", "read 0", "read 0"}));
}

} // namespace

namespace {

// The window asks the bus for names and drivers while the bus thread is in
// a transaction that takes its time: the answers never wait for it.
TEST(LinuxSmbus, NamesAndDriversAreAnsweredDuringASlowTransaction)
{
    auto fake = std::make_unique<FakeI2cDev>();
    FakeI2cDev& dev = *fake;
    dev.files = {"/dev/i2c-0"};
    dev.addDevice("/dev/i2c-0", 0x2E);
    std::atomic<bool> inTransaction{false};
    dev.beforeRead = [&inTransaction] {
        inTransaction = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
    };
    LinuxSmbus bus({I801, std::nullopt}, std::move(fake));
    bus.DetectSmbus(0);
    std::thread busThread([&bus] { (void)bus.ReadSmbus(0x2E, 0x25); });
    while (!inTransaction)
        std::this_thread::yield();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(bus.nameOfController(0), I801.name);
    EXPECT_EQ(bus.kernelClientName(0, 0x2E), "0-002e");
    EXPECT_EQ(bus.kernelDriverOn(0, 0x2E), "");
    EXPECT_FALSE(bus.adapterGone(0) && bus.isGone(0));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300));
    busThread.join();
}

} // namespace
