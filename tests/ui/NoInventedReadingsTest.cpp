// Truth when the bus fails: a reading whose read failed is a dash, never
// 0xFF decoded; what the status line and the result labels say reaches a
// screen reader; and the window is up before a slow bus has answered.

#include "Form1Fixture.h"
#include "support/Traffic.h"
#include "ui/busscan/BusScanWindow.h"
#include "ui/fantest/FanTestWindow.h"
#include "ui/registermap/RegisterMapWindow.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QStatusBar>
#include <cstdio>
#include <filesystem>

namespace {

const QString Dash = QStringLiteral("\u2014");

// What assistive technology gets as the widget's name.
QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QStringLiteral("(no interface)");
}

class NoInventedReadings : public Form1Fixture {
protected:
    void SetUp() override { openOnScreen(); }

    QLabel* statusLine() const { return form->findChild<QLabel*>(QStringLiteral("statusLine")); }
    QLabel* recordingLine() const { return form->findChild<QLabel*>(QStringLiteral("recordingLine")); }
};

// Each reading's register failing alone: that label shows a dash with the
// reason, the others keep their readings, and the next good poll brings the
// reading back.
TEST_F(NoInventedReadings, AFailedReadShowsADashInItsLabelOnly)
{
    const Form1Controls& c = controls();
    const struct {
        const char* reading;
        int reg;
        QLabel* label;
    } cases[] = {
        {"Remote1", 0x25, c.lblTemp[0]},     {"Local", 0x26, c.lblTemp[1]},        {"Remote2", 0x27, c.lblTemp[2]},
        {"Fan1 low", 0x28, c.lblFanSpeed[0]}, {"Fan2 high", 0x2B, c.lblFanSpeed[1]}, {"Fan3", 0x2C, c.lblFanSpeed[2]},
        {"Fan4", 0x2F, c.lblFanSpeed[3]},    {"Vcc", 0x22, c.lblVcc},              {"Vccp", 0x21, c.lblVccp},
        {"duty", 0x30, c.lblDutyCycle},
    };
    for (int fan = 0; fan < 4; ++fan) {
        bus.set(static_cast<std::uint8_t>(0x28 + 2 * fan), 0x18);
        bus.set(static_cast<std::uint8_t>(0x29 + 2 * fan), 0x15);
    }
    bus.set(0x22, 0xC0);
    tick();
    QStringList good;
    for (const auto& row : cases)
        good << row.label->text();
    ASSERT_EQ(good[3], " 1000 rpm");

    for (const auto& row : cases) {
        SCOPED_TRACE(row.reading);
        bus.fail = [reg = row.reg](const BusCall& call, int) { return call == Read(reg) ? EIO : 0; };
        tick();
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            if (cases[i].label == row.label)
                continue;
            EXPECT_EQ(cases[i].label->text(), good[static_cast<qsizetype>(i)]) << cases[i].reading;
        }
        EXPECT_EQ(row.label->text(), Dash);
        EXPECT_EQ(row.label->toolTip(), "No reading: Device 0x2E does not answer (Input/output error)");
        bus.fail = nullptr;
        tick();
        EXPECT_EQ(row.label->text(), good[static_cast<qsizetype>(&row - cases)]);
        EXPECT_TRUE(row.label->toolTip().isEmpty());
    }
}

// A pair that reads 0x00 0x00 is no new count: the label keeps what it had.
TEST_F(NoInventedReadings, AFanWithNoNewCountKeepsItsText)
{
    bus.set(0x28, 0x18);
    bus.set(0x29, 0x15);
    tick();
    bus.set(0x28, 0x00);
    bus.set(0x29, 0x00);
    tick();
    EXPECT_EQ(controls().lblFanSpeed[0]->text(), " 1000 rpm");
    EXPECT_EQ(controls().lblFanSpeed[1]->text(), "test") << "never counted: the initial text";
}

TEST_F(NoInventedReadings, ReadDataShowsXXForAFailedReadAndFFForARead0xFF)
{
    bus.set(0x25, 0xFF);
    clickAndSettle(controls().cmdRead);
    EXPECT_EQ(controls().lblReadData->text(), "FF");
    bus.fail = [](const BusCall& call, int) { return call.kind == BusCall::Kind::Read ? EIO : 0; };
    clickAndSettle(controls().cmdRead);
    EXPECT_EQ(controls().lblReadData->text(), "XX");
    EXPECT_EQ(form->statusText(), "Read of register 0x25 of device 0x2E failed: Input/output error");
}

// A label's accessible name, when set, replaces its text: neither line sets
// one, so what they say is what a screen reader reads, in every state.
TEST_F(NoInventedReadings, TheStatusLinesReachAScreenReader)
{
    tick();
    EXPECT_EQ(accessibleName(statusLine()), "Device 0x2E on Recording controller 2");
    EXPECT_FALSE(recordingLine()->isVisible()) << "nothing recording, nothing said";
    std::printf("Read back at 0x2E: '%s'\n", qPrintable(accessibleName(statusLine())));

    bus.fail = [](const BusCall& call, int) { return call.kind == BusCall::Kind::Read ? ENXIO : 0; };
    typeOver(controls().txtDevAddr, QStringLiteral("48"));
    tick();
    EXPECT_TRUE(accessibleName(statusLine()).startsWith("Device 0x48 does not answer (No such device or address) since"))
        << accessibleName(statusLine()).toStdString();
    EXPECT_EQ(accessibleName(statusLine()), statusLine()->text());
    std::printf("Read back at 0x48: '%s'\n", qPrintable(accessibleName(statusLine())));

    bus.fail = nullptr;
    typeOver(controls().txtDevAddr, QStringLiteral("2e"));
    const auto csv = std::filesystem::temp_directory_path() / ("corvane-a11y-" + std::to_string(getpid()) + ".csv");
    ASSERT_TRUE(form->startRecording(QString::fromStdString(csv.string()), CsvRecorder::Interval(0)));
    tick();
    EXPECT_TRUE(recordingLine()->isVisible());
    EXPECT_TRUE(accessibleName(recordingLine()).startsWith("Recording corvane-a11y-"))
        << accessibleName(recordingLine()).toStdString();
    EXPECT_EQ(accessibleName(recordingLine()), recordingLine()->text());
    std::printf("Read back while recording: '%s' and '%s'\n", qPrintable(accessibleName(statusLine())),
                qPrintable(accessibleName(recordingLine())));
    form->session().recording().stop();
    std::filesystem::remove(csv);
}

// The result line of each added window reads as what it says.
TEST_F(NoInventedReadings, TheAddedWindowsResultsReachAScreenReader)
{
    auto* map = qobject_cast<RegisterMapWindow*>(form->showRegisterMap());
    ASSERT_TRUE(map->readAll());
    ASSERT_TRUE(settleBus());
    auto* scan = qobject_cast<BusScanWindow*>(form->showBusScan());
    ASSERT_TRUE(scan->scan());
    ASSERT_TRUE(settleBus());
    auto* fanTest = qobject_cast<FanTestWindow*>(form->showFanTest());
    const std::pair<QWidget*, const char*> results[] = {
        {map, "mapHeading"}, {map, "selectedRegister"}, {scan, "scanSummary"}, {fanTest, "fanTestProgress"},
        {fanTest, "fanTestStopDuty"}};
    for (const auto& [window, name] : results) {
        SCOPED_TRACE(name);
        auto* label = window->findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr);
        EXPECT_FALSE(label->text().isEmpty());
        EXPECT_EQ(accessibleName(label), label->text());
    }
}

// Every read takes half a second: the window is on the screen before the
// first of start-up's reads is back, says what it is reading, and shows the
// chip exactly as start-up always has once the reads are in.
TEST(SlowStartUp, TheWindowShowsBeforeStartUpsFirstReadIsBack)
{
    RecordingBus bus;
    bus.set(0x5C, 0xE2);
    bus.set(0x5F, 0x00);
    bus.set(0x7B, 0x01);
    bus.set(0x7C, 0x01);
    bus.set(0x30, 0x99);
    bus.delay = std::chrono::milliseconds(500);
    QElapsedTimer sinceStart;
    sinceStart.start();
    Form1 form(bus);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_LT(sinceStart.elapsed(), 500) << "shown before the first read ended";
    EXPECT_FALSE(form.session().hasStarted());
    EXPECT_EQ(form.statusText(), "Reading device 0x2E on Recording controller 2…");
    EXPECT_EQ(form.controls().cmbPWM1->currentIndex(), -1);
    EXPECT_EQ(form.controls().lblTemp[0]->text(), "test");

    ASSERT_TRUE(QTest::qWaitFor([&] { return form.session().hasStarted(); }, 10000));
    EXPECT_EQ(form.windowTitle(), "SMBBA = 0x400");
    EXPECT_EQ(form.controls().cmbPWM1->currentText(), "Manual Mode");
    EXPECT_EQ(form.controls().cmbHF->currentText(), "Low Freq. (3-wire)");
    EXPECT_EQ(form.controls().cmbPulses->currentText(), "2");
    EXPECT_EQ(form.controls().txtDutyCycle->text(), "60");
    EXPECT_EQ(form.statusText(), "Device 0x2E on Recording controller 2");
    form.session().stopBus(std::chrono::seconds(2));
}

} // namespace
