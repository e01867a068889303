// Whatever lands in the window's fields, by typing or pasting, and however
// fast the lists are picked, the only transactions are the ones the field
// rules give for what the user entered; a value that doesn't fit is refused
// whole, never wrapped.

#include "Form1Fixture.h"
#include "UserInput.h"

#include <QClipboard>
#include <QCloseEvent>

namespace {

using Answer = MessageBoxAnswerer::Answer;

// What pressing the button with a field's hostile text should do: refuse
// ("Invalid Value", no transaction), or carry this exact byte.
struct Outcome {
    bool refused = false;
    int byte = -1;
};
const Outcome Refused{true, -1};
Outcome Carries(int byte) { return {false, byte}; }

struct HostileText {
    const char* what;
    QString text;
    Outcome asHex;     // in a register-panel field
    Outcome asPercent; // in the duty field: the duty byte written
};

std::vector<HostileText> hostileTexts()
{
    const QString tenThousand(10'000, QLatin1Char('f'));
    return {
        {"10,000 hex digits", tenThousand, Refused, Carries(0x00)},
        {"10,000 nines", QString(10'000, QLatin1Char('9')), Refused, Refused},
        {"9,998 zeros then 7c", QString(9'998, QLatin1Char('0')) + QStringLiteral("7c"), Carries(0x7C), Carries(0x11)},
        {"10,000 blanks then 3", QString(5'000, QLatin1Char(' ')) + QString(5'000, QLatin1Char('\t')) + "3",
         Carries(0x03), Carries(0x07)},
        {"ff then 9,998 letters past f", QStringLiteral("ff") + QString(9'998, QLatin1Char('z')), Carries(0xFF),
         Carries(0x00)},
        {"fullwidth digits", QStringLiteral("\uFF12\uFF15"), Carries(0x00), Carries(0x00)},
        {"a no-break space inside", QStringLiteral("2\u00A05"), Carries(0x02), Carries(0x05)},
        {"accented letters and emoji", QStringLiteral("\u00E9\u00E8\U0001F525"), Carries(0x00), Carries(0x00)},
        {"control characters", QStringLiteral("\u0001\u001B[2J\u0007"), Carries(0x00), Carries(0x00)},
        {"a NUL after a digit", QStringLiteral("4") + QChar(0) + QStringLiteral("5"), Carries(0x04), Carries(0x0A)},
        {"multi-line: 1, 0, 0", QStringLiteral("1\n0\n0\n"), Refused, Carries(0xFE)},
        {"multi-line from Windows: 2e, CR LF", QStringLiteral("2e\r\n"), Carries(0x2E), Carries(0x05)},
        {"an exponent of ten thousand", QStringLiteral("1e10000"), Refused, Refused},
        {"a tiny positive number", QStringLiteral("1e-10000"), Carries(0x1E), Carries(0x00)},
    };
}

class HostileInput : public Form1Fixture {
protected:
    void SetUp() override { openOnScreen(); }

    // Pastes over the field's text, as a user does with Ctrl+A, Ctrl+V.
    void paste(QLineEdit* field, const QString& text)
    {
        QApplication::clipboard()->setText(text);
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    }

    void press(QAbstractButton* button)
    {
        bus.calls.clear();
        boxes.forget();
        clickAndSettle(button);
    }

    void expectOutcome(const Outcome& outcome, const std::vector<BusCall>& ifCarried)
    {
        if (outcome.refused) {
            EXPECT_TRUE(bus.calls.empty()) << "a refused value must not reach the bus";
            ASSERT_EQ(boxes.seen().size(), 1u);
            EXPECT_EQ(boxes.seen()[0].text, "Invalid Value");
        } else {
            EXPECT_EQ(bus.calls, ifCarried);
            EXPECT_TRUE(boxes.seen().empty());
        }
    }
};

TEST_F(HostileInput, RegisterPanelFieldsCarryOnlyWhatTheirRuleReads)
{
    for (const HostileText& hostile : hostileTexts()) {
        SCOPED_TRACE(hostile.what);
        const auto& c = controls();
        const int byte = hostile.asHex.byte;

        paste(c.txtDevAddr, QStringLiteral("2e"));
        paste(c.txtAddrPtr, hostile.text);
        EXPECT_EQ(c.txtAddrPtr->text().size(), hostile.text.size()) << "the field keeps what was pasted";
        press(c.cmdRead);
        expectOutcome(hostile.asHex, {Read(byte, 0x2E)});

        paste(c.txtAddrPtr, QStringLiteral("30"));
        paste(c.txtDataOut, hostile.text);
        press(c.cmdWrite);
        expectOutcome(hostile.asHex, {Write(0x30, byte, 0x2E)});

        // The device field also steers the poll, keystroke by keystroke; a
        // device past 0x7F (or refused) leaves it on the chip.
        paste(c.txtDataOut, QStringLiteral("0"));
        paste(c.txtDevAddr, hostile.text);
        // A reserved or command address is asked about first, once a run.
        const bool asked = !hostile.asHex.refused && readIsGuarded(static_cast<std::uint8_t>(byte));
        bus.calls.clear();
        boxes.forget();
        if (asked)
            boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes);
        clickAndSettle(c.cmdRead);
        if (asked) {
            EXPECT_EQ(bus.calls, std::vector<BusCall>{Read(0x30, byte)});
            EXPECT_LE(boxes.seen().size(), 1u);
        } else {
            expectOutcome(hostile.asHex, {Read(0x30, byte)});
        }
        const int polled = hostile.asHex.refused || byte > 0x7F ? 0x2E : byte;
        EXPECT_EQ(form->session().shared().DeviceAddress, polled);
    }
}

TEST_F(HostileInput, DutyFieldWritesOnlyAPercentItCanRead)
{
    ASSERT_TRUE(chooseEntry(controls().cmbPWM1, "Manual Mode"));
    for (const HostileText& hostile : hostileTexts()) {
        SCOPED_TRACE(hostile.what);
        paste(controls().txtDutyCycle, hostile.text);
        press(controls().cmdWriteDuty);
        expectOutcome(hostile.asPercent, {Write(0x30, hostile.asPercent.byte)});
    }
}

// Picks as fast as the events come: each pick is one read-modify-write of
// its own field and nothing else, and the chip ends on the last pick.
TEST_F(HostileInput, RapidPicksWriteExactlyThePicks)
{
    struct List {
        QComboBox* list;
        std::uint8_t reg;
        int (*field)(std::uint8_t);
    };
    const auto& c = controls();
    const List lists[] = {
        {c.cmbPWM1, 0x5C, [](std::uint8_t r) { return (r >> 5) & 7; }},
        {c.cmbHF, 0x5F, [](std::uint8_t r) { return (r >> 3) & 1; }},
        {c.cmbPulses, 0x7B, [](std::uint8_t r) { return r & 3; }},
    };
    for (const List& l : lists) {
        SCOPED_TRACE(l.list->objectName().toStdString());
        bus.set(l.reg, 0x00);
        const std::uint8_t otherBits = 0x00;
        std::vector<int> picked, written;
        for (int pick = 0; pick < 40; ++pick) {
            const int row = (pick * 5 + 3) % l.list->count();
            bus.calls.clear();
            if (pick % 2 == 0) {
                ASSERT_TRUE(chooseEntry(l.list, l.list->itemText(row)));
                picked.push_back(row);
            } else {
                // The keyboard on the closed list: Home, then Down to the row.
                // Every entry the keys land on is a pick of its own.
                l.list->setFocus();
                if (l.list->currentIndex() != 0)
                    picked.push_back(0);
                QTest::keyClick(l.list, Qt::Key_Home);
                for (int step = 1; step <= row; ++step) {
                    QTest::keyClick(l.list, Qt::Key_Down);
                    picked.push_back(step);
                }
            }
            ASSERT_TRUE(settleBus());
            for (const BusCall& call : bus.calls) {
                if (call.kind == BusCall::Kind::Write) {
                    EXPECT_EQ(call.reg, l.reg) << "a pick writes only its own register";
                    written.push_back(l.field(static_cast<std::uint8_t>(call.data)));
                }
            }
        }
        EXPECT_EQ(written, picked);
        EXPECT_EQ(l.field(bus.get(l.reg)), picked.back());
        EXPECT_EQ(bus.get(l.reg) & ~(l.reg == 0x5C ? 0xE0 : l.reg == 0x5F ? 0x08 : 0x03), otherBits)
            << "the register's other bits are left as they were";
    }
}

// The window is closed while its question is open: the question's answer
// is No (Escape), nothing is written, and the window goes away cleanly.
TEST_F(HostileInput, ClosingTheWindowDuringAQuestionWritesNothing)
{
    const auto& c = controls();
    paste(c.txtDevAddr, QStringLiteral("50"));
    paste(c.txtDataOut, QStringLiteral("aa"));
    bus.calls.clear();
    QTimer::singleShot(50, form.get(), [this] { form->close(); });
    boxes.answerNext(Answer::Escape, 150);
    QTest::mouseClick(c.cmdWrite, Qt::LeftButton);

    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_TRUE(bus.calls.empty());
    EXPECT_FALSE(form->isVisible());
    form.reset();
}

} // namespace
