// The commands on a simulated chip whose readings are held still, and on a
// recording bus where the exact traffic matters: output, exit status, and
// what was written.

#include "app/CommandLine.h"
#include "app/Commands.h"
#include "bus/LinuxSmbus.h"
#include "bus/SimulatedBus.h"
#include "support/CommandRuns.h"
#include "support/FakeI2cDev.h"
#include "support/SysfsTree.h"
#include "protocol/Snapshot.h"
#include "support/RecordingBus.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <sstream>

namespace {


// The simulated chip at its start, held: the same readings every time.
class HeldChip : public ::testing::Test {
protected:
    HeldChip() { bus.holdReadings(); }
    Ran run(const QStringList& arguments) { return runOn(bus, arguments); }
    std::uint8_t reg(std::uint8_t index) { return bus.chip().read(index); }

    SimulatedBus bus{[] { return 0.0; }, [] { return 0.0; }};
};

TEST_F(HeldChip, EachCommandPrintsWhatItFound)
{
    const struct {
        QStringList arguments;
        std::string out;
    } cases[] = {
        {{"read"},
         "Local  39 °C\nRemote1  46 °C\nRemote2  32 °C\nFan1  2158 rpm\nFan2  2000 rpm\nFan3  1500 rpm\n"
         "Fan4  0 rpm\nVcc  3.3 V\nVccp  1.2 V\nPWM1 Control Fastest Speed of 3 channels\n"
         "3/4 Wire Fan Low Freq. (3-wire)\nFan1 Pulses/Rev 2\nPWM1 Duty Cycle 67\n"},
        {{"pwm"}, "PWM1 Control Fastest Speed of 3 channels\n3/4 Wire Fan Low Freq. (3-wire)\n"
                  "Fan1 Pulses/Rev 2\nPWM1 Duty Cycle 67\n"},
        {{"get", "26"}, "27\n"},
        {{"get", "0x3d", "--controller", "2"}, "68\n"},
        {{"get", "00", "--device", "50"}, "23\n"},
        {{"set", "5f", "cc"}, "CC\nWritten to device 0x2E on SMBus Controller 2 (the simulated SMBus).\n"},
        {{"scan"}, "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"
                   "00:                         -- -- -- -- -- -- -- --\n"
                   "10: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
                   "20: -- -- -- -- -- -- -- -- -- -- -- -- -- -- 2e --\n"
                   "30: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
                   "40: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
                   "50: 50 51 -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
                   "60: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
                   "70: -- -- -- -- -- -- -- --                        \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Ran ran = run(c.arguments);
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.out, c.out);
        EXPECT_EQ(ran.err, c.arguments.first() == "scan" ? "Scanned SMBus Controller 2 (the simulated SMBus).\n" : "");
    }
}

TEST_F(HeldChip, ReadsJsonWithUnitsInTheKeysAndNumbersAsNumbers)
{
    const Ran ran = run({"read", "--json"});
    ASSERT_EQ(ran.status, 0) << ran.err;
    QJsonParseError error{};
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(ran.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << ran.out;
    const std::pair<const char*, double> numbers[] = {
        {"local_c", 39},     {"remote1_c", 46},   {"remote2_c", 32},  {"fan1_rpm", 2158}, {"fan2_rpm", 2000},
        {"fan3_rpm", 1500},  {"fan4_rpm", 0},     {"vcc_v", 3.3},     {"vccp_v", 1.2},    {"duty_pct", 67},
        {"controller", 2},   {"pulses", 2}};
    for (const auto& [key, value] : numbers) {
        EXPECT_TRUE(json[QLatin1String(key)].isDouble()) << key;
        EXPECT_DOUBLE_EQ(json[QLatin1String(key)].toDouble(), value) << key;
    }
    const std::pair<const char*, const char*> texts[] = {
        {"device", "0x2E"}, {"bus", "the simulated SMBus"}, {"behaviour", "fastest-of-3"}, {"frequency", "low"}};
    for (const auto& [key, value] : texts)
        EXPECT_EQ(json[QLatin1String(key)].toString().toStdString(), value) << key;
    EXPECT_TRUE(json[QLatin1String("time")].toString().endsWith('Z'));
}

// A duty in Manual Mode lands in register 0x30, as a later get shows.
TEST_F(HeldChip, PwmChangesTheSettingsAndPrintsThemAsJson)
{
    bus.chip().write(0x5C, 0xC5); // the low bits must survive the change
    const Ran ran = run({"pwm", "--behaviour", "manual", "--frequency", "high", "--pulses", "4", "--duty", "60", "--json"});
    ASSERT_EQ(ran.status, 0) << ran.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(ran.out)).object();
    EXPECT_EQ(json[QLatin1String("behaviour")].toString(), QStringLiteral("manual"));
    EXPECT_EQ(json[QLatin1String("frequency")].toString(), QStringLiteral("high"));
    EXPECT_EQ(json[QLatin1String("pulses")].toInt(), 4);
    EXPECT_EQ(json[QLatin1String("duty_pct")].toInt(), 60);
    EXPECT_EQ(reg(0x5C), 0xE5);
    EXPECT_EQ(reg(0x5F), 0xCC);
    EXPECT_EQ(reg(0x7B), 0x57);
    EXPECT_EQ(run({"get", "30"}).out, "99\n");
}

// The identification register is read-only: its read-back says the write
// did not take.
TEST_F(HeldChip, ASetThatDoesNotTakeExitsWithFour)
{
    const Ran ran = run({"set", "3d", "00"});
    EXPECT_EQ(ran.status, 4);
    EXPECT_EQ(ran.out, "68\nWritten to device 0x2E on SMBus Controller 2 (the simulated SMBus).\n");
    EXPECT_NE(ran.err.find("did not take"), std::string::npos) << ran.err;
}

// Refused before any write goes out, each with its reason and status.
TEST(CommandRefusals, NothingIsWrittenAndTheStatusSaysWhy)
{
    const struct {
        QStringList arguments;
        int status;
        std::string saying;
    } cases[] = {
        {{"set", "--device", "50", "00", "01"}, 4, "memory module's configuration EEPROM"},
        {{"set", "--device", "00", "00", "01"}, 4, "general-call address"},
        {{"set", "--device", "34", "00", "01"}, 4, "write-protect"},
        {{"pwm", "--device", "51", "--behaviour", "manual"}, 4, "--force"},
        {{"set", "--device", "48", "00", "01"}, 4, "kernel's lm75 driver"},
        {{"get", "00", "--device", "49"}, 3, "Device 0x49 does not answer on SMBus Controller 2"},
        {{"read", "--device", "49"}, 3, "No such device or address"},
        {{"dump", "--device", "49", "--controller", "1"}, 3, "SMBus Controller 1"},
        // The chip is not in Manual Mode, so a duty alone is not written.
        {{"pwm", "--duty", "50"}, 4, "written only in Manual Mode"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        RecordingBus bus;
        bus.set(0x5C, 0xC2);
        bus.set(0x00, 0x12, 0x48);
        bus.drivers[0x48] = "lm75";
        bus.fail = [](const BusCall& call, int) { return call.device == 0x49 ? ENXIO : 0; };
        const Ran ran = runOn(bus, c.arguments);
        EXPECT_EQ(ran.status, c.status);
        EXPECT_NE(ran.err.find(c.saying), std::string::npos) << ran.err;
        for (const BusCall& call : bus.calls)
            EXPECT_NE(call.kind, BusCall::Kind::Write);
    }
}

TEST(CommandRefusals, ForceWritesBehindADriverAndToADangerousAddress)
{
    RecordingBus bus;
    bus.drivers[0x50] = "ee1004";
    const Ran ran = runOn(bus, {"set", "--device", "50", "10", "AB", "--force"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "AB\nWritten to device 0x50 on SMBus Controller 2 (Recording controller 2).\n");
    EXPECT_EQ(bus.get(0x10, 0x50), 0xAB);
}

// On the Linux bus, which knows a driver's device only once a controller
// is chosen: a write behind the driver is refused with its name, and goes
// through with --force. The device is on controller 1 only.
TEST(CommandRefusals, AKernelDriversDeviceOnTheLinuxBusTakesAWriteOnlyWithForce)
{
    SysfsTree sysfs;
    sysfs.boundDriver(0, 0x48, "lm75");
    auto fake = std::make_unique<FakeI2cDev>();
    FakeI2cDev& dev = *fake;
    dev.files = {"/dev/i2c-0", "/dev/i2c-1"};
    dev.driverBound = {{"/dev/i2c-0", 0x48}};
    dev.addDevice("/dev/i2c-0", 0x48);
    const SmbusAdapter first{0, "SMBus I801 adapter at 0700", "/dev/i2c-0", 0x0700, true, "/sys/devices/pci0000:00/0000:00:1f.3"};
    const SmbusAdapter second{1, "SMBus I801 adapter at 0b00", "/dev/i2c-1", 0x0b00, true, "/sys/devices/pci0000:00/0000:00:1f.3"};
    LinuxSmbus bus({first, second}, std::move(fake), sysfs.root());

    const Ran refused = runOn(bus, {"set", "--device", "48", "01", "60"});
    EXPECT_EQ(refused.status, 4);
    EXPECT_NE(refused.err.find("kernel's lm75 driver"), std::string::npos) << refused.err;
    EXPECT_EQ(dev.registerOf("/dev/i2c-0", 0x48, 1), 0);

    const Ran forced = runOn(bus, {"set", "--device", "48", "01", "60", "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(forced.out, "60\nWritten to device 0x48 on SMBus Controller 1 (SMBus I801 adapter at 0700).\n");
    EXPECT_EQ(dev.registerOf("/dev/i2c-0", 0x48, 1), 0x60);
}

TEST(CommandLineParsing, MistakesAreRefusedBeforeAnyTraffic)
{
    const struct {
        QStringList arguments;
        const char* saying;
    } cases[] = {
        {{"pwm", "--duty", "150"}, "Invalid Value"},
        {{"pwm", "--duty", "-1"}, "Invalid Value"},
        {{"pwm", "--duty", "6O"}, "Invalid Value"},
        {{"pwm", "--duty", "50", "--behaviour", "local"}, "only in Manual Mode"},
        {{"pwm", "--behaviour", "turbo"}, "not a behaviour"},
        {{"pwm", "--pulses", "5"}, "1, 2, 3 or 4"},
        {{"get", "100"}, "not a register"},
        {{"get"}, "usage: corvane-bench get REG"},
        {{"set", "30", "1FF"}, "not a byte"},
        {{"get", "30", "--device", "80"}, "7-bit address"},
        {{"read", "--controller", "3"}, "1 or 2"},
        {{"read", "--limit", "local_c<=80"}, "read does not take --limit"},
        {{"record", "-", "--limit", "cpu_c<=80"}, "not a reading"},
        {{"record", "-", "--limit", "local_c=80"}, "KEY<=VALUE"},
        {{"record", "-", "--limit", "local_c<=hot"}, "not a number"},
        {{"record", "-", "--duration", "2 hours"}, "not a time"},
        {{"record", "-", "--interval", "1h30"}, "not a time"},
        {{"fly"}, "not a command"},
        {{"--json"}, "goes with a command"},
        {{"dump", "--record", "x.csv"}, "--record is the window's"},
        {{"scan", "--force"}, "scan does not take --force"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const auto parsed = parseCommandLine(QStringList{"corvane-bench"} + c.arguments);
        const auto* exit = std::get_if<EarlyExit>(&parsed);
        ASSERT_NE(exit, nullptr);
        EXPECT_EQ(exit->status, 2);
        EXPECT_TRUE(exit->text.contains(QLatin1String(c.saying))) << exit->text.toStdString();
    }
}

// Four numbers are an IPv4 address and each must be an octet; anything else
// that looks like a host name is one, even when it starts with a digit.
TEST(CommandLineParsing, ListenAddressesAreNumbersOrNames)
{
    const std::pair<const char*, bool> cases[] = {
        {"127.0.0.1:9000", true},  {"300.1.1.1:9000", false}, {"300.example:9000", true},
        {"[::1]:9000", true},      {"localhost:0", false},    {"bench7:70000", false}};
    for (const auto& [address, accepted] : cases) {
        SCOPED_TRACE(address);
        const auto parsed = parseCommandLine({"corvane-bench", "serve", "--listen", QString::fromLatin1(address)});
        EXPECT_EQ(std::holds_alternative<CommandRequest>(parsed), accepted);
    }
}

TEST(CommandLineParsing, DurationsInTheirUnits)
{
    using std::chrono::milliseconds;
    const std::pair<const char*, std::int64_t> cases[] = {
        {"90", 90'000}, {"1.5", 1'500}, {"500ms", 500}, {"30s", 30'000}, {"5m", 300'000},
        {"2h", 7'200'000}, {"1h30m", 5'400'000}};
    for (const auto& [text, ms] : cases)
        EXPECT_EQ(parseDuration(QString::fromLatin1(text)), milliseconds(ms)) << text;
    for (const char* text : {"", "s", "1.", ".5", "5x", "1h30", "30s5", "-5s", "1 h", "400d", "9000h"})
        EXPECT_EQ(parseDuration(QString::fromLatin1(text)), std::nullopt) << text;
}

// A snapshot written by dump, changed on the chip, and restored: the
// settings come back, the measurements are left to the chip.
TEST_F(HeldChip, RestoreWritesBackWhatDiffersFromADump)
{
    const Ran dumped = run({"dump"});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    std::string why;
    ASSERT_TRUE(parseRegisterGrid(dumped.out, &why)) << why;
    EXPECT_EQ(snapshotDeviceIn(dumped.out), 0x2E);
    const auto file = std::filesystem::temp_directory_path() / ("corvane-restore-" + std::to_string(getpid()) + ".txt");
    std::ofstream(file) << dumped.out;

    bus.chip().write(0x5F, 0x0C);
    bus.chip().write(0x25, 0x50); // a measurement
    bus.chip().write(0x3D, 0x00); // read-only: ignored by the chip
    const Ran restored = run({"restore", QString::fromStdString(file.string())});
    const Ran wrongDevice = run({"restore", "--device", "2F", QString::fromStdString(file.string())});
    std::filesystem::remove(file);
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(restored.out, "0x25: left at 50 (snapshot 2E): the chip measures it itself\n0x5F: 0C to C4\n"
                            "The snapshot held 256 registers; 1 written, and every one took its value.\n"
                            "Written to device 0x2E on SMBus Controller 2 (the simulated SMBus).\n");
    EXPECT_EQ(reg(0x5F), 0xC4);
    EXPECT_EQ(reg(0x25), 0x50);
    EXPECT_EQ(wrongDevice.status, 4);
    EXPECT_NE(wrongDevice.err.find("The snapshot is of device 0x2E, not 0x2F."), std::string::npos);
}

// A snapshot in Manual Mode brings the behaviour back before the duty,
// which the chip takes only then.
TEST_F(HeldChip, RestoreWritesTheBehaviourBeforeTheDuty)
{
    bus.chip().write(0x5C, 0xE2);
    bus.chip().write(0x30, 0x40);
    const auto file = std::filesystem::temp_directory_path() / ("corvane-manual-" + std::to_string(getpid()) + ".txt");
    std::ofstream(file) << run({"dump"}).out;
    bus.chip().write(0x5C, 0xC2); // the chip drives the duty again
    const Ran restored = run({"restore", QString::fromStdString(file.string())});
    std::filesystem::remove(file);
    EXPECT_EQ(restored.status, 0) << restored.out << restored.err;
    EXPECT_EQ(reg(0x5C), 0xE2);
    EXPECT_EQ(reg(0x30), 0x40);
}

// A bus that passes everything to the simulated one and keeps the writes.
class WriteLog : public BusAdapter {
public:
    explicit WriteLog(BusAdapter& bus) : bus_(bus) {}
    std::uint16_t DetectSmbus(std::int32_t index) override { return bus_.DetectSmbus(index); }
    ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) override { return bus_.ReadSmbus(device, reg); }
    BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override
    {
        writes.push_back(Write(reg, data, device));
        return bus_.WriteSmbus(device, reg, data);
    }
    ByteRead ReceiveByte(std::uint8_t device) override { return bus_.ReceiveByte(device); }
    std::string controllerName() const override { return bus_.controllerName(); }

    std::vector<BusCall> writes;

private:
    BusAdapter& bus_;
};

// A restore writes into a chip only a snapshot of that chip, and of it only
// the settings the program knows, unless told otherwise.
TEST_F(HeldChip, RestoreChecksWhatItWritesTo)
{
    const auto file = std::filesystem::temp_directory_path() / ("corvane-checked-" + std::to_string(getpid()) + ".txt");
    const auto withoutHeader = [](const std::string& text) { return text.substr(text.find("     0")); };
    const std::string chip = run({"dump"}).out;
    const std::string eeprom = run({"dump", "--device", "51"}).out;
    const struct {
        const char* what;
        std::string snapshot;
        QStringList options;
        int status;
        std::vector<BusCall> writes;
        std::string saying; // in stdout or stderr
    } cases[] = {
        {"another device named", eeprom, {"--device", "2E"}, 4, {},
         "The snapshot is of device 0x51, not 0x2E. Nothing was written; give --force to restore it all the same.\n"},
        {"no device line, another identification", withoutHeader(eeprom), {}, 4, {},
         "its identification registers 0x3D to 0x3F (00 00 00) are not the chip's (68 43 12): it is of another "
         "device. Nothing was written.\n"},
        {"no device line, this chip", withoutHeader(chip), {}, 0, {Write(0x5C, 0xC2), Write(0x5F, 0xC4)},
         "0x40: left at 00 (snapshot 01): not written: not a known setting"},
        {"an unknown register with --all", chip, {"--all"}, 0,
         {Write(0x5C, 0xC2), Write(0x40, 0x01), Write(0x5F, 0xC4)}, "3 written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bus.chip().write(0x40, 0x00); // monitoring stopped: not a setting the program knows
        bus.chip().write(0x5C, 0xE2);
        bus.chip().write(0x5F, 0x00);
        std::ofstream(file) << c.snapshot;
        WriteLog log(bus);
        const Ran ran = runOn(log, QStringList{"restore", QString::fromStdString(file.string())} + c.options);
        EXPECT_EQ(ran.status, c.status) << ran.out << ran.err;
        EXPECT_EQ(log.writes, c.writes);
        EXPECT_NE((ran.out + ran.err).find(c.saying), std::string::npos) << ran.out << ran.err;
    }
    std::filesystem::remove(file);
}

// Controller 2's first read fails. Only silence moves a command on to
// controller 1; any other error stops it where it is, with no write on
// another bus.
TEST(CommandFallback, OnlyWhereNothingAnsweredDoesACommandMoveToControllerOne)
{
    const struct {
        int error;
        int endsOn; // the controller the command's writes go to, 0 or 1; -1: none
    } errors[] = {{ENXIO, 0}, {ENODEV, 0}, {EREMOTEIO, 0}, {EIO, -1}, {EAGAIN, -1}, {ETIMEDOUT, -1}};
    const QStringList commands[] = {{"set", "5F", "C4"}, {"pwm", "--behaviour", "manual"}, {"get", "5F"}};
    for (const auto& [error, endsOn] : errors) {
        for (const QStringList& command : commands) {
            SCOPED_TRACE(command.join(' ').toStdString() + ", " + std::strerror(error));
            RecordingBus bus;
            bus.set(0x5C, 0xC2);
            bool failedOnce = false;
            bus.fail = [&, error = error](const BusCall& call, int controller) {
                if (call.kind != BusCall::Kind::Read || controller != 1 || failedOnce)
                    return 0;
                failedOnce = true;
                return error;
            };
            const Ran ran = runOn(bus, command);
            EXPECT_EQ(ran.status, endsOn < 0 ? 3 : 0) << ran.err;
            int controller = -1;
            for (const BusCall& call : bus.calls) {
                if (call.kind == BusCall::Kind::Detect)
                    controller = call.device;
                if (call.kind == BusCall::Kind::Write) {
                    EXPECT_EQ(controller, endsOn) << "a write on the wrong controller";
                }
            }
            if (endsOn < 0) {
                EXPECT_NE(ran.err.find("on SMBus Controller 2"), std::string::npos) << ran.err;
            } else if (command.first() != "get") {
                EXPECT_NE(ran.out.find("on SMBus Controller 1 (Recording controller 1)"), std::string::npos)
                    << ran.out;
            }
        }
    }
}

} // namespace

namespace {

// ENODEV from an adapter sysfs no longer lists is a bus that cannot be
// used (2); from one still there, some drivers' word for silence (3).
TEST(CommandFallback, AnAdapterGoneDuringACommandIsABusThatCannotBeUsed)
{
    for (const bool unplugged : {true, false}) {
        SCOPED_TRACE(unplugged ? "the adapter was removed" : "the adapter is still there");
        SysfsTree sysfs;
        sysfs.pciDevice("0000:00:1f.3", "0x0c0500", {});
        sysfs.adapter(1, "SMBus I801 adapter at 0b00", "0000:00:1f.3");
        auto fake = std::make_unique<FakeI2cDev>();
        fake->files = {"/dev/i2c-1"};
        fake->unplugged = {"/dev/i2c-1"};
        if (unplugged)
            sysfs.removeAdapter(1);
        LinuxSmbus bus({std::nullopt, SmbusAdapter{1, "SMBus I801 adapter at 0b00", "/dev/i2c-1", 0x0b00, true,
                                                   sysfs.place("0000:00:1f.3")}},
                       std::move(fake), sysfs.root());
        const Ran ran = runOn(bus, {"get", "25", "--controller", "2"});
        EXPECT_EQ(ran.status, unplugged ? 2 : 3) << ran.err;
        EXPECT_EQ(ran.err.find("is gone: its adapter was removed") != std::string::npos, unplugged) << ran.err;
    }
}

} // namespace
