// The whole-chip tools below the windows: the snapshot text, the scan's
// traffic and marks, and what the known registers are called and mean.

#include "bus/LinuxSmbus.h"
#include "bus/SimulatedBus.h"
#include "chip/RegisterDescriptions.h"
#include "protocol/CorvaneProtocol.h"
#include "protocol/ScanText.h"
#include "protocol/Snapshot.h"
#include "protocol/SnapshotFile.h"
#include "support/FakeI2cDev.h"
#include "support/RecordingBus.h"
#include "support/SysfsTree.h"
#include "support/Traffic.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(Snapshot, ReadsBackWhatItWroteWithFailedCellsAsXX)
{
    std::array<std::uint8_t, 256> values{};
    for (int i = 0; i < 256; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7);
    std::bitset<256> failed;
    failed[0x3F] = failed[0xFF] = true;
    const std::string text = snapshotText({"0.3.0", "Simulated chip", 0x2E, "2026-12-08T23:04:05.123Z"}, values, failed);
    EXPECT_EQ(text.substr(0, text.find("\n     0")),
              "# Corvane Bench 0.3.0 register snapshot\n# adapter: Simulated chip\n# device: 0x2E\n"
              "# time: 2026-12-08T23:04:05.123Z");
    EXPECT_NE(text.find("\n30: 50 57 5E 65 6C 73 7A 81 88 8F 96 9D A4 AB B2 XX    PW^elsz........X\n"),
              std::string::npos);

    std::string error;
    const auto file = parseRegisterGrid(text, &error);
    ASSERT_TRUE(file) << error;
    EXPECT_TRUE(file->present.all());
    EXPECT_EQ(file->failed, failed);
    for (std::size_t reg = 0; reg < 256; ++reg) {
        if (!failed[reg]) {
            EXPECT_EQ(file->values[reg], values[reg]) << reg;
        }
    }
}

TEST(Snapshot, ReadsI2cdumpsOwnOutput)
{
    // i2cdump -y 1 0x2e b, in part, and i2cdump -r 0x5c-0x5f: lower case,
    // blank cells outside the range.
    const std::string dump =
        "No size specified (using byte-data access)\n"
        "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n"
        "20: 00 66 c0 00 00 2e 27 1f 18 15 8c 0a 10 0e 00 00    .f?...'?????????\n"
        "50:                                     c2 00 00 c4                ?..?\n"
        "60: XX ff                                              X.\n";
    std::string error;
    const auto file = parseRegisterGrid(dump, &error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->present.count(), 16u + 4u + 2u);
    EXPECT_EQ(file->values[0x25], 0x2E);
    EXPECT_EQ(file->values[0x5C], 0xC2);
    EXPECT_FALSE(file->present[0x5B]);
    EXPECT_TRUE(file->failed[0x60]);
    EXPECT_EQ(file->values[0x61], 0xFF);
    EXPECT_FALSE(parseRegisterGrid("not a dump\n", &error));
    EXPECT_FALSE(error.empty());
    // i2cdump's word mode is another layout: refused, never misread.
    EXPECT_FALSE(parseRegisterGrid("     0,8  1,9  2,a  3,b\n00: 0102 0304 0506 0708\n", &error));
    EXPECT_EQ(snapshotDeviceIn("# device: 0x51\n"), 0x51);
}

TEST(Snapshot, DifferencesTickOnlyTheKnownSettings)
{
    RegisterFile snapshot;
    snapshot.present.set();
    snapshot.values[0x25] = 0x30;
    snapshot.values[0x40] = 0x00;
    snapshot.values[0x5C] = 0xE2;
    snapshot.values[0x7B] = 0x55;
    snapshot.failed[0x7C] = true;
    std::array<std::uint8_t, 256> live{};
    live[0x25] = 0x31;
    live[0x40] = 0x01;
    live[0x5C] = 0xC2;
    live[0x7C] = 0x01;
    std::bitset<256> liveFailed;
    liveFailed[0x7B] = true;
    using Kind = RegisterDifference::Kind;
    const auto found = differences(snapshot, live, liveFailed);
    ASSERT_EQ(found.size(), 3u) << "a failed read on either side is no difference";
    EXPECT_EQ(found[0].reg, 0x25);
    EXPECT_EQ(found[0].kind, Kind::Measurement);
    EXPECT_EQ(found[1].reg, 0x40);
    EXPECT_EQ(found[1].kind, Kind::Unknown);
    EXPECT_EQ(found[2].reg, 0x5C);
    EXPECT_EQ(found[2].snapshot, 0xE2);
    EXPECT_EQ(found[2].live, 0xC2);
    EXPECT_TRUE(found[2].tickedByDefault());
}

// A restore writes what the reader gives it: damage is refused with a
// reason, never passed over or read as something else.
TEST(Snapshot, TheReaderRefusesDamagedFilesWithAReason)
{
    std::array<std::uint8_t, 256> values{};
    values[0x00] = 0x42;
    const std::string good = snapshotText({"0", "x", 0x2E, "t"}, values, {});
    const auto scratch = std::filesystem::temp_directory_path() / ("corvane-damaged-" + std::to_string(getpid()));
    std::filesystem::create_directories(scratch);
    const auto file = [&](const std::string& name, const std::string& text) {
        std::ofstream(scratch / name, std::ios::binary) << text;
        return (scratch / name).string();
    };
    const std::string fifo = (scratch / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string cells = good;
    cells.replace(cells.find("00: 42 00"), 9, "00: 42 O0");
    const struct {
        const char* what;
        std::string path;
        std::string error; // empty: read, with row 00's first cell
    } cases[] = {
        {"a byte-order mark", file("bom", "\xEF\xBB\xBF" + good.substr(good.find("     0"))), ""},
        {"a letter O for a zero", file("letter", cells), "row 00, column 1: 'O0' is neither two hex digits nor XX"},
        {"a lone short row", file("short", "00: 00 00\n"), "holds 2 registers and no full row of 16"},
        {"a row twice", file("twice", good + "00: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"),
         "row 00 appears twice"},
        {"1 MiB of zeros", file("zeros", std::string(1 << 20, '\0')), "is larger than 64 KiB"},
        {"a FIFO", fifo, "is not a regular file"},
        {"a folder", scratch.string(), "is a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SnapshotFileText read = readSnapshotFile(c.path);
        std::string error = read.error;
        std::optional<RegisterFile> parsed;
        if (read.ok())
            parsed = parseRegisterGrid(read.text, &error);
        if (c.error.empty()) {
            ASSERT_TRUE(parsed) << error;
            EXPECT_EQ(parsed->values[0x00], 0x42);
            EXPECT_EQ(parsed->count(), 256u);
        } else {
            EXPECT_FALSE(parsed);
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
    std::filesystem::remove_all(scratch);
}

// The scan probes with receive byte only, over 0x08 to 0x77, and marks
// what answers.
TEST(BusScan, ProbesEachAddressOnceWithReceiveByteOnly)
{
    RecordingBus bus;
    bus.set(0x00, 0x00, 0x2E);
    bus.set(0x00, 0x23, 0x50);
    const BusScan scan = CorvaneProtocol(bus).scan();
    Calls expected;
    for (int address = 0x08; address <= 0x77; ++address)
        expected.push_back(Receive(address));
    EXPECT_EQ(bus.calls, expected);
    EXPECT_EQ(busScanText(scan),
              "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"
              "00:                         -- -- -- -- -- -- -- --\n"
              "10: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "20: -- -- -- -- -- -- -- -- -- -- -- -- -- -- 2e --\n"
              "30: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "40: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "50: 50 -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "60: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "70: -- -- -- -- -- -- -- --                        \n");
}

// On Linux an address sysfs shows a driver bound to reads UU and is not
// probed, as i2cdetect does.
TEST(BusScan, MarksAKernelDriversAddressUUWithoutProbingIt)
{
    SysfsTree sysfs;
    sysfs.boundDriver(4, 0x50, "ee1004");
    auto fake = std::make_unique<FakeI2cDev>();
    FakeI2cDev& dev = *fake;
    dev.files = {"/dev/i2c-4"};
    dev.addDevice("/dev/i2c-4", 0x2E);
    dev.addDevice("/dev/i2c-4", 0x50);
    LinuxSmbus bus({SmbusAdapter{4, "SMBus I801 adapter at efa0", "/dev/i2c-4", 0xEFA0, true, "/sys/devices/pci0000:00/0000:00:1f.3"}, std::nullopt},
                   std::move(fake), sysfs.root());
    bus.DetectSmbus(0);
    const BusScan scan = CorvaneProtocol(bus).scan();
    EXPECT_EQ(scan.marks[0x2E], BusScan::Mark::Answered);
    EXPECT_EQ(scan.marks[0x50], BusScan::Mark::DriverOwned);
    EXPECT_EQ(scan.drivers[0x50], "ee1004");
    EXPECT_EQ(scanCell(scan, 0x50), "UU");
    EXPECT_EQ(std::count(dev.log.begin(), dev.log.end(), "receive"), 0x77 - 0x08) << "all but the driver's";
    EXPECT_EQ(std::count(dev.log.begin(), dev.log.end(), "slave 80"), 0) << "nothing addressed the driver's device";
}

TEST(BusScan, FindsTheSimulatedChipAndItsMemoryModules)
{
    SimulatedBus bus([] { return 0.0; }, [] { return 0.0; });
    CorvaneProtocol chip(bus);
    const BusScan scan = chip.scan();
    std::vector<int> answered;
    for (int address = 0; address < 128; ++address) {
        if (scan.marks[static_cast<std::size_t>(address)] == BusScan::Mark::Answered)
            answered.push_back(address);
    }
    EXPECT_EQ(answered, (std::vector<int>{0x2E, 0x50, 0x51}));
    // The modules are write-protected, and the chip's identification is read-only.
    EXPECT_FALSE(chip.writeAndReadBack(0x50, 0x00, 0x42).took());
    EXPECT_FALSE(chip.writeAndReadBack(0x2E, 0x3E, 0x00).took());
    EXPECT_TRUE(chip.writeAndReadBack(0x2E, 0x7B, 0x54).took());
    chip.selectController(0);
    EXPECT_EQ(chip.scan().marks[0x2E], BusScan::Mark::Nothing);
}

TEST(RegisterDescriptions, NameAndDecodeTheRegistersTheProgramKnows)
{
    std::array<std::uint8_t, 256> values{};
    values[0x25] = 0x2E;
    values[0x28] = 0x18;
    values[0x29] = 0x15;
    values[0x21] = 102;
    values[0x30] = 0x99;
    values[0x5C] = 0xE2;
    values[0x5F] = 0xCC;
    values[0x7B] = 0x55;
    values[0x7C] = 0x01;
    struct Case {
        std::uint8_t reg;
        bool offsetCoded;
        const char* name;
        const char* meaning;
    };
    const Case cases[] = {
        {0x5C, false, "PWM1 configuration", "behaviour Manual Mode (7), other bits 0x02"},
        {0x5F, false, "Fan drive configuration", "frequency High Freq. (4-wire) (1), other bits 0xC4"},
        {0x7B, false, "Fan1 tach configuration", "Fan1 pulses per revolution 2 (1), other bits 0x54"},
        {0x7C, false, "Temperature coding", "two's complement (bit 0), other bits 0x00"},
        {0x25, false, "Remote1 temperature", "46 °C (two's complement)"},
        {0x25, true, "Remote1 temperature", "-18 °C (offset-64 coding)"},
        {0x28, false, "Fan1 tach count, low byte", "1000 rpm"},
        {0x29, false, "Fan1 tach count, high byte", "1000 rpm"},
        {0x2A, false, "Fan2 tach count, low byte", "no count (0x0000)"},
        {0x21, false, "Vccp reading", "1.2 V"},
        {0x30, false, "PWM1 duty cycle", "60 %"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.reg));
        EXPECT_EQ(RegisterMap::registerName(c.reg), c.name);
        EXPECT_EQ(RegisterMap::decodeRegister(c.reg, values, c.offsetCoded), c.meaning);
    }
    EXPECT_FALSE(RegisterMap::registerName(0x90));
    EXPECT_EQ(RegisterMap::decodeRegister(0x90, values, false), "");
}

} // namespace
