// The window on a bus that misbehaves: it keeps polling, shows what the
// bytes say, and writes nothing of its own accord.

#include "Form1Fixture.h"

#include "bus/LinuxSmbus.h"
#include "chip/ValueText.h"
#include "support/FakeI2cDev.h"
#include "UserInput.h"

#include <random>

namespace {

// Answers every read from a function of the read's number and counts writes.
class ScriptedBus : public BusAdapter {
public:
    explicit ScriptedBus(std::function<std::uint8_t()> nextByte) : nextByte_(std::move(nextByte)) {}

    std::uint16_t DetectSmbus(std::int32_t) override { return 0x0400; }
    ByteRead ReadSmbus(std::uint8_t, std::uint8_t reg) override
    {
        const std::uint8_t byte = nextByte_();
        lastRead[reg] = byte;
        return ByteRead::of(byte);
    }
    BusOutcome WriteSmbus(std::uint8_t, std::uint8_t, std::uint8_t) override
    {
        ++writes;
        return {};
    }
    ByteRead ReceiveByte(std::uint8_t) override { return ByteRead::of(nextByte_()); }
    std::string controllerName() const override { return "Scripted"; }

    std::map<int, std::uint8_t> lastRead;
    int writes = 0;

private:
    std::function<std::uint8_t()> nextByte_;
};

// One tick of the window's poll, run to its end.
void runTick(Form1& form)
{
    ASSERT_TRUE(settleBus());
    form.session().Timer1_Timer();
    ASSERT_TRUE(settleBus());
}

double shownNumber(const QLabel* label)
{
    return RegisterMap::decimalValue(label->text().toStdString());
}

// Every value label as the user sees it.
QStringList readings(const Form1Controls& c)
{
    QStringList shown;
    for (const QLabel* label : c.lblTemp)
        shown << label->text();
    for (const QLabel* label : c.lblFanSpeed)
        shown << label->text();
    shown << c.lblVcc->text() << c.lblVccp->text();
    return shown;
}

TEST(BusFaults, ABusThatReadsFFEverywhereShowsWhatFFMeans)
{
    ScriptedBus bus([] { return std::uint8_t{0xFF}; });
    Form1 form(bus);
    for (int tick = 0; tick < 20; ++tick)
        runTick(form);

    EXPECT_EQ(readings(form.controls()),
              QStringList({"-1 °C", "-1 °C", "-1 °C", " 0 rpm", " 0 rpm", " 0 rpm", " 0 rpm", " 4.38 V", " 2.99 V"}));
    // 0xFF in 0x5C is behaviour 7: the duty entry shows, filled from 0x30.
    EXPECT_EQ(form.controls().cmbPWM1->currentText(), "Manual Mode");
    EXPECT_EQ(form.controls().txtDutyCycle->text(), "100");
    EXPECT_EQ(bus.writes, 0);
}

TEST(BusFaults, RandomBytesShowAsTheirConversionsAndWriteNothing)
{
    std::mt19937 generator(20261208);
    ScriptedBus bus([&] { return static_cast<std::uint8_t>(generator() & 0xFF); });
    Form1 form(bus);
    const bool offsetCoded = form.session().tempOffsetMode();
    const auto& c = form.controls();
    const std::uint8_t temperatureRegisters[] = {0x25, 0x26, 0x27};

    ASSERT_TRUE(settleBus());
    for (int tick = 0; tick < 500; ++tick) {
        runTick(form);
        for (int i = 0; i < 3; ++i) {
            const int raw = bus.lastRead.at(temperatureRegisters[i]);
            const int celsius = offsetCoded ? raw - 64 : (raw < 128 ? raw : raw - 256);
            ASSERT_EQ(shownNumber(c.lblTemp[i]), celsius) << "tick " << tick;
        }
        ASSERT_NEAR(shownNumber(c.lblVcc), bus.lastRead.at(0x22) * 3.3 / 192, 0.005001) << "tick " << tick;
        ASSERT_NEAR(shownNumber(c.lblVccp), bus.lastRead.at(0x21) * 2.25 / 192, 0.005001) << "tick " << tick;
        for (const QLabel* fan : c.lblFanSpeed)
            ASSERT_TRUE(fan->text().endsWith(" rpm")) << fan->text().toStdString();
    }
    EXPECT_EQ(bus.writes, 0);
}

// The adapter is unplugged while the window runs: its file now fails every
// transaction with ENODEV. The poll goes on and shows a bus where nothing
// answers; nothing is written.
TEST(BusFaults, AnUnpluggedAdapterReadsAsAnEmptyBus)
{
    auto owned = std::make_unique<FakeI2cDev>();
    FakeI2cDev& dev = *owned;
    dev.files = {"/dev/i2c-5"};
    const std::string chip = "/dev/i2c-5";
    dev.registerOf(chip, 0x2E, 0x7C) = 0x01; // two's complement
    dev.registerOf(chip, 0x2E, 0x26) = 0x19; // local 25 °C
    dev.registerOf(chip, 0x2E, 0x22) = 0xC0; // Vcc 3.3 V
    LinuxSmbus bus({std::nullopt, SmbusAdapter{5, "USB-SMBus adapter", chip, 0, false, "/sys/devices"}}, std::move(owned));

    Form1 form(bus);
    const auto& c = form.controls();
    runTick(form);
    EXPECT_EQ(c.lblTemp[1]->text(), " 25 °C");
    EXPECT_EQ(c.lblVcc->text(), " 3.3 V");

    dev.transactionError = ENODEV;
    dev.log.clear();
    const auto pollsBefore = form.session().pollCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.session().pollCount() - pollsBefore >= 3; }, 5000)) << "the poll keeps running";
    // No reading is no number: a dash, and the reason in the tooltip.
    EXPECT_TRUE(QTest::qWaitFor([&] { return c.lblTemp[1]->text() == QStringLiteral("\u2014"); }, 5000));
    EXPECT_EQ(c.lblVcc->text(), QStringLiteral("\u2014"));
    EXPECT_EQ(c.lblVcc->toolTip(), "No reading: Device 0x2E does not answer (No such device)");
    form.session().stopBus(std::chrono::seconds(5));
    for (const std::string& call : dev.log)
        EXPECT_FALSE(call.starts_with("write")) << call;
}

} // namespace
