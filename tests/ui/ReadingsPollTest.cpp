#include "Form1Fixture.h"

namespace {

class ReadingsPoll : public Form1Fixture {};

const std::vector<BusCall> OneTick = {Read(0x25), Read(0x26), Read(0x27), Read(0x28), Read(0x29),
                                      Read(0x2A), Read(0x2B), Read(0x2C), Read(0x2D), Read(0x2E),
                                      Read(0x2F), Read(0x22), Read(0x21), Read(0x30)};

TEST_F(ReadingsPoll, OneTickReadsFourteenRegistersInOrderAndWritesNothing)
{
    scriptTypicalChip();
    openQuietly();
    tick();
    EXPECT_EQ(bus.calls, OneTick);
}

TEST_F(ReadingsPoll, TheTimerRunsTheSamePoll)
{
    scriptTypicalChip();
    openQuietly();
    timer()->start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->session().pollCount() >= 2; }, 5000));
    timer()->stop();
    ASSERT_TRUE(settleBus());
    EXPECT_EQ(std::vector<BusCall>(bus.calls.begin(), bus.calls.begin() + OneTick.size()), OneTick);
    EXPECT_EQ(controls().lblVcc->text(), " 0 V");
}

TEST_F(ReadingsPoll, LabelsShowConvertedReadingsInBothTemperatureCodings)
{
    struct Case {
        std::uint8_t coding;
        std::uint8_t temps[3]; // 0x25 Remote1, 0x26 Local, 0x27 Remote2
        const char* texts[3];  // lblTemp elements 0, 1, 2
    };
    const Case cases[] = {
        {0x01, {0xF6, 0x19, 0x80}, {"-10 °C", " 25 °C", "-128 °C"}},
        {0x01, {0x7F, 0x00, 0xFF}, {" 127 °C", " 0 °C", "-1 °C"}},
        {0x00, {0x00, 0x40, 0xFF}, {"-64 °C", " 0 °C", " 191 °C"}},
        {0xFE, {0x59, 0x3B, 0x80}, {" 25 °C", "-5 °C", " 64 °C"}},
    };
    for (const Case& c : cases) {
        bus = RecordingBus();
        bus.set(0x7C, c.coding);
        bus.set(0x25, c.temps[0]);
        bus.set(0x26, c.temps[1]);
        bus.set(0x27, c.temps[2]);
        openQuietly();
        tick();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(controls().lblTemp[i]->text(), QString::fromUtf8(c.texts[i])) << "element " << i;
    }
}

TEST_F(ReadingsPoll, FanVoltageAndDutyTexts)
{
    const std::uint8_t tach[4][2] = {{0x18, 0x15}, {0xFF, 0xFF}, {0x01, 0x00}, {0x80, 0xBB}};
    for (int fan = 0; fan < 4; ++fan) {
        bus.set(0x28 + 2 * fan, tach[fan][0]);
        bus.set(0x29 + 2 * fan, tach[fan][1]);
    }
    bus.set(0x22, 192);
    bus.set(0x21, 70);
    bus.set(0x30, 0x7F);
    openQuietly();
    tick();

    const char* const fanTexts[] = {" 1000 rpm", " 0 rpm", " 5400000 rpm", " 112 rpm"};
    for (int fan = 0; fan < 4; ++fan)
        EXPECT_EQ(controls().lblFanSpeed[fan]->text(), fanTexts[fan]) << "fan " << fan + 1;
    EXPECT_EQ(controls().lblVcc->text(), " 3.3 V");
    EXPECT_EQ(controls().lblVccp->text(), " .82 V");
    EXPECT_EQ(controls().lblDutyCycle->text(), "50");
    EXPECT_EQ(form->session().shared().DutyPercent, 50);
}

TEST_F(ReadingsPoll, FanWithNoNewCountKeepsItsText)
{
    bus.set(0x28, 0x18);
    bus.set(0x29, 0x15);
    openQuietly();
    tick();
    EXPECT_EQ(controls().lblFanSpeed[0]->text(), " 1000 rpm");
    EXPECT_EQ(controls().lblFanSpeed[1]->text(), "test") << "a pair that always reads zero never replaces 'test'";

    bus.set(0x28, 0x00);
    bus.set(0x29, 0x00);
    tick();
    EXPECT_EQ(controls().lblFanSpeed[0]->text(), " 1000 rpm");

    // Only both bytes zero means no reading; one zero byte is a real count.
    bus.set(0x29, 0x01);
    tick();
    EXPECT_EQ(controls().lblFanSpeed[0]->text(), " 21094 rpm");
}

TEST_F(ReadingsPoll, KeepsTheHiddenDutyDisplayCurrentAndLeavesTheEntryAlone)
{
    bus.set(0x5C, 0xE0);
    bus.set(0x30, 0x40);
    openQuietly();
    ASSERT_TRUE(controls().lblDutyCycle->isHidden());
    controls().txtDutyCycle->setText(QStringLiteral("42"));
    bus.set(0x30, 0x99);
    tick();
    EXPECT_EQ(controls().lblDutyCycle->text(), "60");
    EXPECT_EQ(form->session().shared().DutyPercent, 60);
    EXPECT_EQ(controls().txtDutyCycle->text(), "42");
    EXPECT_TRUE(controls().lblDutyCycle->isHidden());
    EXPECT_FALSE(controls().txtDutyCycle->isHidden());
}

} // namespace

namespace {

// A label is written only when the bytes behind it change. A marker text
// put on every label survives a tick with the same bytes, and each label
// loses it when, and only when, its own bytes change.
TEST_F(ReadingsPoll, RewritesOnlyTheLabelsWhoseBytesChanged)
{
    scriptTypicalChip();
    bus.set(0x26, 0x19);
    bus.set(0x28, 0x3C);
    bus.set(0x29, 0x0F);
    Form1& f = openQuietly();
    tick();

    struct Change {
        std::uint8_t reg, value;
        const char* label;
    };
    const Change changes[] = {{0x25, 0x20, "lblTemp_0"},     {0x26, 0x1A, "lblTemp_1"},
                              {0x27, 0x21, "lblTemp_2"},     {0x29, 0x10, "lblFanSpeed_0"},
                              {0x2E, 0x30, "lblFanSpeed_3"}, {0x22, 0xC1, "lblVcc"},
                              {0x21, 0x60, "lblVccp"},       {0x30, 0x99, "lblDutyCycle"}};
    QList<QLabel*> values;
    for (const Change& change : changes)
        values << f.findChild<QLabel*>(change.label);
    for (const Change& change : changes) {
        SCOPED_TRACE(change.label);
        for (QLabel* label : values)
            label->setText(QStringLiteral("marker"));
        tick();
        for (QLabel* label : values)
            EXPECT_EQ(label->text(), "marker") << label->objectName().toStdString() << " rewritten with no change";

        bus.set(change.reg, change.value);
        tick();
        for (QLabel* label : values)
            EXPECT_EQ(label->text() == "marker", label->objectName() != change.label)
                << label->objectName().toStdString();
    }
}

} // namespace
