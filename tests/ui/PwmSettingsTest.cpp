#include "Form1Fixture.h"
#include "UserInput.h"

#include <QWheelEvent>
#include <algorithm>

namespace {

class PwmSettings : public Form1Fixture {
protected:
    void SetUp() override { openOnScreen(); }

    void expectDutyEntryShown(bool shown)
    {
        EXPECT_EQ(controls().txtDutyCycle->isHidden(), !shown);
        EXPECT_EQ(controls().cmdWriteDuty->isHidden(), !shown);
        EXPECT_EQ(controls().lblDutyCycle->isHidden(), shown);
    }

    // Types into the duty entry and presses "write".
    void writeDuty(const QString& text)
    {
        typeOver(controls().txtDutyCycle, text);
        bus.calls.clear();
        clickAndSettle(controls().cmdWriteDuty);
    }
};

TEST_F(PwmSettings, EachListChangeIsOneReadModifyWrite)
{
    struct Case {
        const char* list;
        const char* entry;
        std::uint8_t reg, before;
        std::vector<BusCall> traffic;
    };
    const Case cases[] = {
        {"cmbPWM1", "Disabled", 0x5C, 0xE5, {Read(0x5C), Write(0x5C, 0x85), Read(0x30)}},
        {"cmbPWM1", "Manual Mode", 0x5C, 0x02, {Read(0x5C), Write(0x5C, 0xE2), Read(0x30)}},
        {"cmbPWM1", "Remote1", 0x5C, 0xFF, {Read(0x5C), Write(0x5C, 0x1F), Read(0x30)}},
        {"cmbPWM1", "Fastest Speed of 3 channels", 0x5C, 0x00, {Read(0x5C), Write(0x5C, 0xC0), Read(0x30)}},
        {"cmbHF", "Low Freq. (3-wire)", 0x5F, 0x6B, {Read(0x5F), Write(0x5F, 0x63)}},
        {"cmbHF", "High Freq. (4-wire)", 0x5F, 0x63, {Read(0x5F), Write(0x5F, 0x6B)}},
        {"cmbPulses", "4", 0x7B, 0x54, {Read(0x7B), Write(0x7B, 0x57)}},
        {"cmbPulses", "1", 0x7B, 0xFF, {Read(0x7B), Write(0x7B, 0xFC)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.list << " -> " << c.entry);
        bus.set(c.reg, c.before);
        bus.calls.clear();
        ASSERT_TRUE(chooseEntry(form->findChild<QComboBox*>(c.list), QString::fromUtf8(c.entry)));
        EXPECT_EQ(bus.calls, c.traffic);
    }
}

TEST_F(PwmSettings, BehaviourDecidesBetweenDutyEntryAndDutyDisplay)
{
    bus.set(0x30, 0x5E); // 37 %
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Manual Mode"));
    expectDutyEntryShown(true);
    EXPECT_EQ(controls().txtDutyCycle->text(), "37") << "filled with the duty the chip runs at";
    EXPECT_EQ(form->session().shared().DutyPercent, 37);

    bus.set(0x5C, 0xE5);
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Disabled"));
    expectDutyEntryShown(false);
    EXPECT_EQ(bus.get(0x5C), 0x85);

    // Frequency and pulses changes leave the duty controls alone.
    ASSERT_TRUE(chooseEntry(controls().cmbHF, "High Freq. (4-wire)"));
    ASSERT_TRUE(chooseEntry(controls().cmbPulses, "3"));
    expectDutyEntryShown(false);
}

TEST_F(PwmSettings, TheMouseWheelPicksNothing)
{
    for (QComboBox* list : {controls().cmbPWM1, controls().cmbHF, controls().cmbPulses}) {
        const int before = list->currentIndex();
        for (int notch : {-120, 120, -120}) {
            QWheelEvent wheel(QPointF(10, 10), list->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, notch),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(list, &wheel);
        }
        EXPECT_EQ(list->currentIndex(), before) << list->objectName().toStdString();
    }
    EXPECT_TRUE(bus.calls.empty());
}

TEST_F(PwmSettings, DutyEntryWritesTheFlooredByteOrRefusesOutOfRange)
{
    struct Case { const char* text; std::optional<std::uint8_t> written; };
    const Case cases[] = {
        {"60", 0x99}, {"100", 0xFE}, {"0", 0x00}, {"", 0x00}, {"&H32", 0x7F}, {"12.5x", 0x1F}, {"50", 0x7F},
        {" 6 0 ", 0x99}, {"abc", 0x00},
        {"100.1", std::nullopt}, {"-1", std::nullopt}, {"1e999", std::nullopt}, {"-1e999", std::nullopt},
        {"&HFF", std::nullopt},
    };
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Manual Mode"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "'");
        boxes.forget();
        writeDuty(QString::fromUtf8(c.text));
        if (c.written) {
            EXPECT_EQ(bus.calls, std::vector<BusCall>{Write(0x30, *c.written)});
            EXPECT_TRUE(boxes.seen().empty());
        } else {
            EXPECT_TRUE(bus.calls.empty()) << "nothing written, nothing read";
            ASSERT_EQ(boxes.seen().size(), 1u);
            EXPECT_EQ(boxes.seen()[0].text, "Invalid Value");
            EXPECT_EQ(boxes.seen()[0].title, "Corvane Bench");
            EXPECT_EQ(boxes.seen()[0].buttons, QMessageBox::Ok);
            EXPECT_TRUE(boxes.seen()[0].modal);
        }
        EXPECT_EQ(controls().txtDutyCycle->text(), QString::fromUtf8(c.text)) << "the field keeps the user's text";
    }
}

TEST_F(PwmSettings, InvalidValueBoxClosesWithEnterOrEscape)
{
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Manual Mode"));
    for (auto answer : {MessageBoxAnswerer::Answer::Enter, MessageBoxAnswerer::Answer::Escape}) {
        boxes.forget();
        boxes.answerNext(answer);
        writeDuty(QStringLiteral("101"));
        EXPECT_EQ(boxes.seen().size(), 1u);
        EXPECT_TRUE(bus.calls.empty());
    }
}

// Writes at 0x50..0x57, where memory modules keep their configuration
// EEPROMs, ask first; No writes nothing.
class EepromGuard : public PwmSettings {
protected:
    void monitor(const char* device) { typeOver(controls().txtDevAddr, QString::fromLatin1(device)); }

    void expectAsked(std::uint8_t device)
    {
        ASSERT_EQ(boxes.seen().size(), 1u);
        const auto& box = boxes.seen()[0];
        EXPECT_EQ(box.text, QStringLiteral("Device 0x%1 may be a memory module's configuration EEPROM. Writing to it "
                                           "can make the computer unbootable. Write anyway?")
                                .arg(device, 0, 16));
        EXPECT_EQ(box.title, "Corvane Bench");
        EXPECT_EQ(box.buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.defaultButton, QMessageBox::No);
        EXPECT_TRUE(box.modal);
    }
};

TEST_F(EepromGuard, DutyWrite)
{
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Manual Mode"));
    monitor("50");
    ASSERT_EQ(form->session().shared().DeviceAddress, 0x50);

    boxes.answerNext(MessageBoxAnswerer::Answer::ClickNo);
    writeDuty(QStringLiteral("60"));
    expectAsked(0x50);
    EXPECT_TRUE(bus.calls.empty());

    boxes.forget();
    boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes);
    writeDuty(QStringLiteral("60"));
    expectAsked(0x50);
    EXPECT_EQ(bus.calls, std::vector<BusCall>{Write(0x30, 0x99, 0x50)});
}

TEST_F(EepromGuard, SettingsChangeRefusedLeavesChipAndListAsTheyWere)
{
    monitor("57");
    bus.set(0x5F, 0x63, 0x57);
    bus.calls.clear();
    boxes.answerNext(MessageBoxAnswerer::Answer::Enter); // No is the default
    ASSERT_TRUE(chooseEntry(controls().cmbHF, "High Freq. (4-wire)"));
    expectAsked(0x57);
    EXPECT_TRUE(bus.calls.empty()) << "asked before any traffic";
    EXPECT_EQ(controls().cmbHF->currentText(), "Low Freq. (3-wire)") << "the list shows what it showed";

    boxes.forget();
    bus.set(0x5C, 0x02, 0x57);
    bus.calls.clear();
    const bool entryShown = !controls().txtDutyCycle->isHidden();
    boxes.answerNext(MessageBoxAnswerer::Answer::Escape);
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Manual Mode"));
    expectAsked(0x57);
    EXPECT_TRUE(bus.calls.empty());
    EXPECT_EQ(controls().cmbPWM1->currentText(), "Fastest Speed of 3 channels");
    EXPECT_EQ(!controls().txtDutyCycle->isHidden(), entryShown);

    boxes.forget();
    bus.calls.clear();
    boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes);
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Manual Mode"));
    EXPECT_EQ(bus.calls, (std::vector<BusCall>{Read(0x5C, 0x57), Write(0x5C, 0xE2, 0x57), Read(0x30, 0x57)}));
}

TEST_F(EepromGuard, NoPollLandsBetweenTheReadAndItsWrite)
{
    monitor("50");
    timer()->start();
    bus.calls.clear();
    // The question stays open for three poll intervals before the answer;
    // ticks go on meanwhile.
    boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes, 350);
    ASSERT_TRUE(chooseEntry(controls().cmbPulses, "3"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->session().pollCount() >= 2; }, 5000));
    timer()->stop();
    ASSERT_TRUE(settleBus());
    const auto write = std::find(bus.calls.begin(), bus.calls.end(), Write(0x7B, 0x02, 0x50));
    ASSERT_NE(write, bus.calls.end());
    ASSERT_NE(write, bus.calls.begin());
    EXPECT_EQ(write[-1], Read(0x7B, 0x50)) << "no poll read between the read and its write";
}

} // namespace
