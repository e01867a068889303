// The window on a bus that fails as real ones do: start-up finds the
// controller where the chip answers, nothing is written on the strength of
// a failed read, the window follows the chip, and the status line says
// what is going on.

#include "Form1Fixture.h"
#include "support/Traffic.h"

#include <cerrno>

namespace {

using Answer = MessageBoxAnswerer::Answer;




class RealPc : public Form1Fixture {
protected:
    // Every transaction at this device fails with ENXIO.
    void absent(int device)
    {
        bus.fail = [device](const BusCall& call, int) { return call.device == device ? ENXIO : 0; };
    }
    QString status() const { return form->statusText(); }
};

TEST_F(RealPc, StartsOnTheControllerWhereTheChipAnswers)
{
    struct Case {
        int answersOn; // -1: nowhere
        bool controller1, listsFilled;
        const char* title;
        const char* statusStart;
    };
    const Case cases[] = {
        {1, false, true, "SMBBA = 0x400", "Device 0x2E on Recording controller 2"},
        {0, true, true, "SMBBA = 0xF000", "Device 0x2E on Recording controller 1"},
        {-1, false, false, "SMBBA = 0x400", "Device 0x2E does not answer on either SMBus controller"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answersOn);
        bus = RecordingBus();
        scriptTypicalChip();
        bus.fail = [&c](const BusCall&, int controller) { return controller == c.answersOn ? 0 : ENXIO; };
        open();
        EXPECT_EQ(controls().optController1->isChecked(), c.controller1);
        EXPECT_EQ(controls().optController2->isChecked(), !c.controller1);
        EXPECT_EQ(form->windowTitle(), c.title);
        EXPECT_EQ(controls().cmbPWM1->currentIndex() >= 0, c.listsFilled);
        EXPECT_EQ(controls().cmbPulses->currentIndex() >= 0, c.listsFilled);
        EXPECT_TRUE(status().startsWith(QString::fromUtf8(c.statusStart))) << status().toStdString();
        EXPECT_NE(controls().txtDutyCycle->isHidden(), controls().lblDutyCycle->isHidden());
    }
}

TEST_F(RealPc, APickIsWrittenOnlyOnAReadThatWorked)
{
    struct Case {
        const char* what;
        const char* list;
        const char* entry;
        BusCall failing;
        Calls traffic;
        const char* shownAfter;
        const char* statusStart;
    };
    const Case cases[] = {
        {"the read fails: nothing written, the list as it was", "cmbPulses", "4", Read(0x7B), {Read(0x7B)}, "2",
         "Read of register 0x7B of device 0x2E failed"},
        {"the write fails: the list shows the field the read found", "cmbPulses", "4", Write(0x7B, 0x03),
         {Read(0x7B), Write(0x7B, 0x03)}, "3", "Write to register 0x7B of device 0x2E failed: No such device or address"},
        {"the write fails on the frequency", "cmbHF", "High Freq. (4-wire)", Write(0x5F, 0x08),
         {Read(0x5F), Write(0x5F, 0x08)}, "Low Freq. (3-wire)", "Write to register 0x5F of device 0x2E failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bus = RecordingBus();
        scriptTypicalChip();
        openOnScreen();
        bus.set(0x7B, 0x02); // the chip moved on to "3" since start-up showed "2"
        bus.fail = [&c](const BusCall& call, int) { return call == c.failing ? ENXIO : 0; };
        auto* list = form->findChild<QComboBox*>(QLatin1String(c.list));
        ASSERT_TRUE(chooseEntry(list, QString::fromUtf8(c.entry)));
        EXPECT_EQ(bus.calls, c.traffic);
        EXPECT_EQ(list->currentText(), c.shownAfter);
        EXPECT_TRUE(status().startsWith(QString::fromUtf8(c.statusStart))) << status().toStdString();
    }
}

TEST_F(RealPc, AFailedDutyReadLeavesTheEntryAsItWas)
{
    openOnScreen();
    controls().txtDutyCycle->setText(QStringLiteral("42"));
    bus.fail = [](const BusCall& call, int) { return call == Read(0x30) ? EIO : 0; };
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Manual Mode"));
    EXPECT_EQ(bus.calls, (Calls{Read(0x5C), Write(0x5C, 0xE2), Read(0x30)}));
    EXPECT_FALSE(controls().txtDutyCycle->isHidden());
    EXPECT_EQ(controls().txtDutyCycle->text(), "42");
}

// After a controller click or a device change the next tick reads the
// chip's settings again, once, and writes nothing.
TEST_F(RealPc, FollowsTheChipAfterAControllerOrDeviceChange)
{
    scriptTypicalChip();
    openOnScreen();

    clickAndSettle(controls().optController2); // the controller already chosen
    tick();
    tick();
    EXPECT_EQ(bus.calls, Calls{Detect(1)} + settingsReads() + identificationReads() + pollReads() + pollReads());

    bus.calls.clear();
    bus.set(0x5C, 0x85, 0x48);
    bus.set(0x7C, 0x00, 0x48);
    controls().txtDevAddr->setFocus();
    QTest::keyClick(controls().txtDevAddr, Qt::Key_Backspace);
    QTest::keyClick(controls().txtDevAddr, Qt::Key_Backspace);
    QTest::keyClicks(controls().txtDevAddr, QStringLiteral("48"));
    tick();
    tick();
    EXPECT_EQ(bus.calls, settingsReads(0x48) + identificationReads(0x48) + pollReads(0x48) + pollReads(0x48))
        << "four keystrokes, one re-read";
    EXPECT_EQ(controls().cmbPWM1->currentText(), "Disabled");
    EXPECT_TRUE(form->session().tempOffsetMode());

    // A device that does not answer leaves the lists and the coding alone.
    absent(0x49);
    QTest::keyClick(controls().txtDevAddr, Qt::Key_Backspace);
    QTest::keyClick(controls().txtDevAddr, Qt::Key_9);
    bus.calls.clear();
    tick();
    EXPECT_EQ(bus.calls, Calls{Read(0x7C, 0x49)} + pollReads(0x49));
    EXPECT_EQ(controls().cmbPWM1->currentText(), "Disabled");
    EXPECT_TRUE(form->session().tempOffsetMode());
    EXPECT_TRUE(status().startsWith("Device 0x49 does not answer (No such device or address) since "))
        << status().toStdString();
}

TEST_F(RealPc, TheStatusLineTellsTheTruth)
{
    scriptTypicalChip();
    openOnScreen();
    tick();
    EXPECT_EQ(status(), "Device 0x2E on Recording controller 2");

    absent(0x48);
    typeOver(controls().txtDevAddr, QStringLiteral("48"));
    tick();
    EXPECT_TRUE(status().startsWith("Device 0x48 does not answer (No such device or address) since "));
    EXPECT_EQ(controls().lblVcc->text(), QStringLiteral("\u2014")) << "0xFF decoded is no reading";

    typeOver(controls().txtDevAddr, QStringLiteral("2e"));
    tick();
    EXPECT_EQ(status(), "Device 0x2E on Recording controller 2") << "clears once a transaction works";

    bus.fail = [](const BusCall& call, int) { return call.kind == BusCall::Kind::Write ? EIO : 0; };
    clickAndSettle(controls().cmdWrite);
    tick();
    EXPECT_EQ(status(), "Write to register 0x25 of device 0x2E failed: Input/output error");
}

// A kernel driver's device: once reads are agreed to, the status line
// names the driver; the first write of the run asks again, default No.
TEST_F(RealPc, AsksOnceBeforeWritingBehindAKernelDriver)
{
    scriptTypicalChip();
    bus.drivers[0x2E] = "lm63";
    openOnScreen();
    boxes.answerNext(Answer::ClickYes);
    tick();
    tick();
    EXPECT_EQ(status(), "Device 0x2E on Recording controller 2, driven by the kernel's lm63 driver");
    EXPECT_EQ(form->findChild<QLabel*>("statusLine")->toolTip().section('\n', 0, 0),
              "The kernel's lm63 driver holds 8-002e (ls -l /sys/bus/i2c/devices/8-002e/driver).");
    boxes.forget();

    bus.calls.clear();
    boxes.answerNext(Answer::Enter);
    ASSERT_TRUE(chooseEntry(controls().cmbPulses, "4"));
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text, "Device 0x2E is driven by the kernel's lm63 driver. Writing to it behind the "
                                    "driver can confuse it, and the driver may overwrite the value. Write anyway?");
    EXPECT_EQ(boxes.seen()[0].defaultButton, QMessageBox::No);
    EXPECT_TRUE(bus.calls.empty());
    EXPECT_EQ(controls().cmbPulses->currentText(), "2");

    boxes.forget();
    boxes.answerNext(Answer::ClickYes);
    ASSERT_TRUE(chooseEntry(controls().cmbPulses, "4"));
    ASSERT_TRUE(chooseEntry(controls().cmbPulses, "1"));
    EXPECT_EQ(boxes.seen().size(), 1u) << "asked once in a run";
    EXPECT_EQ(bus.calls, (Calls{Read(0x7B), Write(0x7B, 0x03), Read(0x7B), Write(0x7B, 0x00)}));

    // A device never read before: sysfs names its driver, so the write is
    // asked about before it goes out.
    bus.drivers[0x4C] = "lm90";
    boxes.forget();
    boxes.answerNext(Answer::ClickYes);
    typeOver(controls().txtDevAddr, QStringLiteral("4c"));
    bus.calls.clear();
    clickAndSettle(controls().cmdWrite);
    ASSERT_TRUE(settleBus());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_TRUE(boxes.seen()[0].text.startsWith("Device 0x4C is driven by the kernel's lm90 driver."));
    EXPECT_EQ(bus.calls, (Calls{Write(0x25, 0x00, 0x4C)}));
    EXPECT_EQ(bus.get(0x25, 0x4C), 0x00);
}

} // namespace
