#include "Form1Fixture.h"
#include "UserInput.h"

#include "chip/ValueText.h"

#include <QClipboard>

namespace {

class RegisterPanel : public Form1Fixture {
protected:
    void SetUp() override { openOnScreen(); }

    void fill(const char* device, const char* pointer, const char* data)
    {
        typeOver(controls().txtDevAddr, QString::fromLatin1(device));
        typeOver(controls().txtAddrPtr, QString::fromLatin1(pointer));
        typeOver(controls().txtDataOut, QString::fromLatin1(data));
        bus.calls.clear();
    }

    void click(QAbstractButton* button) { clickAndSettle(button); }

    // The device the next poll tick talks to.
    int polledDevice()
    {
        bus.calls.clear();
        tick();
        return bus.calls.empty() ? -1 : bus.calls.front().device;
    }
};

TEST_F(RegisterPanel, ReadWithTheInitialTextsReadsRegister25OfTheChip)
{
    struct Case { std::uint8_t value; const char* shown; };
    const Case cases[] = {{0xE5, "E5"}, {0x0A, "A"}, {0x00, "0"}, {0xFF, "FF"}};
    for (const Case& c : cases) {
        bus.set(0x25, c.value);
        bus.calls.clear();
        click(controls().cmdRead);
        EXPECT_EQ(bus.calls, std::vector<BusCall>{Read(0x25, 0x2E)});
        EXPECT_EQ(controls().lblReadData->text(), c.shown);
    }
}

TEST_F(RegisterPanel, ReadAndWriteUseTheFieldsAsTheyStand)
{
    struct Case { const char *device, *pointer, *data; BusCall read, write; };
    const Case cases[] = {
        {"2e", "25", "", Read(0x25, 0x2E), Write(0x25, 0x00, 0x2E)},
        {"80", "7c", "1", Read(0x7C, 0x80), Write(0x7C, 0x01, 0x80)},
        {"ff", "ff", "ff", Read(0xFF, 0xFF), Write(0xFF, 0xFF, 0xFF)},
        {" 4 8", "0030", "9 9", Read(0x30, 0x48), Write(0x30, 0x99, 0x48)},
        {"12g4", "x", "ab", Read(0x00, 0x12), Write(0x00, 0xAB, 0x12)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.device << " / " << c.pointer << " / " << c.data);
        fill(c.device, c.pointer, c.data);
        // 0x80 is the general-call address to an adapter that drops the top
        // bit, and 0xFF the reserved 0x7F: a read there is asked about once,
        // a write every time.
        if (c.write.device == 0x80 || c.write.device == 0xFF) {
            boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes);
            boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes);
        }
        click(controls().cmdRead);
        click(controls().cmdWrite);
        EXPECT_EQ(bus.calls, (std::vector<BusCall>{c.read, c.write}));
    }
}

TEST_F(RegisterPanel, AFieldAboveFFIsRefusedWithNoTrafficAtAll)
{
    bus.set(0x25, 0x42);
    click(controls().cmdRead);
    ASSERT_EQ(controls().lblReadData->text(), "42");

    struct Case { const char *device, *pointer, *data; bool refusesRead; };
    const Case cases[] = {
        {"100", "25", "0", true}, {"2e", "1ff", "0", true}, {"2e", "25", "100", false},
        {"fffffffffffffffffffff", "25", "0", true}, {"2e", "25", "12345678901234567890", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.device << " / " << c.pointer << " / " << c.data);
        fill(c.device, c.pointer, c.data);
        boxes.forget();
        click(controls().cmdWrite);
        EXPECT_TRUE(bus.calls.empty()) << "nothing truncated, nothing written";
        ASSERT_EQ(boxes.seen().size(), 1u);
        EXPECT_EQ(boxes.seen()[0].text, "Invalid Value");

        boxes.forget();
        click(controls().cmdRead);
        if (c.refusesRead) {
            EXPECT_TRUE(bus.calls.empty());
            EXPECT_EQ(boxes.seen().size(), 1u);
            EXPECT_EQ(controls().lblReadData->text(), "42") << "the last reading stays";
        } else {
            EXPECT_EQ(bus.calls.size(), 1u) << "the data field plays no part in a read";
        }
    }
}

TEST_F(RegisterPanel, DeviceFieldSteersThePollKeystrokeByKeystroke)
{
    QLineEdit* field = controls().txtDevAddr;
    EXPECT_EQ(polledDevice(), 0x2E);

    // An empty field is the general-call address and 4 a reserved one: the
    // device follows the field, but the poll sends nothing there.
    typeOver(field, QString());
    EXPECT_EQ(form->session().shared().DeviceAddress, 0x00);
    EXPECT_EQ(polledDevice(), -1);
    QTest::keyClick(field, Qt::Key_4);
    EXPECT_EQ(form->session().shared().DeviceAddress, 0x04);
    EXPECT_EQ(polledDevice(), -1);
    QTest::keyClick(field, Qt::Key_8);
    EXPECT_EQ(polledDevice(), 0x48);

    // Beyond 0x7F the monitored device stays put, though Read still uses it.
    typeOver(field, QStringLiteral("80"));
    EXPECT_EQ(form->session().shared().DeviceAddress, 0x08) << "'8' was typed on the way to '80'";
    bus.calls.clear();
    boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes); // 0x80 reaches 0x00 on some adapters
    click(controls().cmdRead);
    EXPECT_EQ(bus.calls, std::vector<BusCall>{Read(0x25, 0x80)});
    EXPECT_EQ(polledDevice(), 0x08);

    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(form->session().shared().DeviceAddress, 0x08);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier); // undo brings '80' back
    EXPECT_EQ(field->text(), "80");
    EXPECT_EQ(form->session().shared().DeviceAddress, 0x08);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(form->session().shared().DeviceAddress, 0x00);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "80");
    EXPECT_EQ(form->session().shared().DeviceAddress, 0x00) << "80 is out of range; the address stays";

    QApplication::clipboard()->setText(QStringLiteral("2e"));
    field->selectAll();
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "2e");
    EXPECT_EQ(polledDevice(), 0x2E);
}

TEST_F(RegisterPanel, ControllerChoiceShowsItsBaseAddressInTheTitle)
{
    struct Case { std::uint16_t base1, base2; const char *title1, *title2; };
    const Case cases[] = {
        {0xF000, 0x0400, "SMBBA = 0xF000", "SMBBA = 0x400"},
        {0x8001, 0x0000, "SMBBA = 0x8001", "SMBBA = 0x0"},
    };
    for (const Case& c : cases) {
        bus.baseAddress[0] = c.base1;
        bus.baseAddress[1] = c.base2;
        bus.calls.clear();
        click(controls().optController1);
        EXPECT_EQ(bus.calls, std::vector<BusCall>{Detect(0)});
        EXPECT_EQ(form->windowTitle(), c.title1);
        click(controls().optController1); // already chosen: detected again
        EXPECT_EQ(bus.calls, (std::vector<BusCall>{Detect(0), Detect(0)}));
        EXPECT_EQ(form->windowTitle(), c.title1);
        click(controls().optController2);
        EXPECT_EQ(bus.calls, (std::vector<BusCall>{Detect(0), Detect(0), Detect(1)}));
        EXPECT_EQ(form->windowTitle(), c.title2);
    }
}

TEST_F(RegisterPanel, TitleKeepsTheSimulatedMark)
{
    open(QStringLiteral(" (simulated)"));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    click(controls().optController1);
    EXPECT_EQ(form->windowTitle(), "SMBBA = 0xF000 (simulated)");
    click(controls().optController2);
    EXPECT_EQ(form->windowTitle(), "SMBBA = 0x400 (simulated)");
}

class PanelEepromGuard : public RegisterPanel {};

TEST_F(PanelEepromGuard, AsksForEveryDangerousAddressAndOnlyThere)
{
    struct Case { const char* device; bool asks; };
    // 0xD0..0xD7 is the same place to an adapter that drops the top bit.
    const Case cases[] = {{"50", true},  {"57", true},  {"53", true},  {"4f", false}, {"58", false},
                          {"2e", false}, {"d0", true},  {"d7", true},  {"d8", false}, {"cf", false},
                          {"0", true},   {"30", true},  {"37", true},  {"2f", false}, {"38", false},
                          {"48", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        fill(c.device, "10", "aa");
        const int device = *RegisterMap::HexField(c.device);
        boxes.forget();
        boxes.answerNext(MessageBoxAnswerer::Answer::ClickNo);
        click(controls().cmdWrite);
        if (c.asks) {
            ASSERT_EQ(boxes.seen().size(), 1u);
            EXPECT_TRUE(boxes.seen()[0].text.startsWith(QStringLiteral("Device 0x%1 ").arg(QString::number(device, 16).rightJustified(2, QLatin1Char('0')).toUpper())))
                << boxes.seen()[0].text.toStdString();
            EXPECT_TRUE(bus.calls.empty()) << "No writes nothing";

            boxes.forget();
            boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes);
            click(controls().cmdWrite);
            EXPECT_EQ(boxes.seen().size(), 1u);
        } else {
            EXPECT_TRUE(boxes.seen().empty());
        }
        EXPECT_EQ(bus.calls, std::vector<BusCall>{Write(0x10, 0xAA, device)});
    }
}

TEST_F(PanelEepromGuard, ReadsNeverAsk)
{
    fill("50", "0", "0");
    click(controls().cmdRead);
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(bus.calls, std::vector<BusCall>{Read(0x00, 0x50)});
}

} // namespace
