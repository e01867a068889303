#include "Form1Fixture.h"

namespace {

class Startup : public Form1Fixture {};

TEST_F(Startup, ReadsTheChipsConfigurationAndWritesNothing)
{
    struct Case {
        std::uint8_t r5C, r5F, r7B, r7C, r30;
        const char *behaviour, *frequency, *pulses;
        bool offsetMode, manual;
        const char* dutyText;
    };
    const Case cases[] = {
        {0xE2, 0x00, 0x01, 0x01, 0x99, "Manual Mode", "Low Freq. (3-wire)", "2", false, true, "60"},
        {0x85, 0x08, 0x03, 0x00, 0x7F, "Disabled", "High Freq. (4-wire)", "4", true, false, "50"},
        {0x1F, 0xF7, 0xFC, 0xFE, 0xFF, "Remote1", "Low Freq. (3-wire)", "1", true, false, "100"},
        {0xFF, 0xFF, 0xFF, 0xFF, 0x00, "Manual Mode", "High Freq. (4-wire)", "4", false, true, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "0x5C = " << std::hex << int(c.r5C));
        bus = RecordingBus();
        bus.set(0x5C, c.r5C);
        bus.set(0x5F, c.r5F);
        bus.set(0x7B, c.r7B);
        bus.set(0x7C, c.r7C);
        bus.set(0x30, c.r30);
        open();

        EXPECT_EQ(bus.calls, (std::vector<BusCall>{Detect(1), Read(0x41), Read(0x42), Read(0x7C), Read(0x5C),
                                                   Read(0x5F), Read(0x7B), Read(0x30), Read(0x3D), Read(0x3E),
                                                   Read(0x3F)}));
        EXPECT_EQ(controls().cmbPWM1->currentText(), c.behaviour);
        EXPECT_EQ(controls().cmbHF->currentText(), c.frequency);
        EXPECT_EQ(controls().cmbPulses->currentText(), c.pulses);
        EXPECT_EQ(form->session().tempOffsetMode(), c.offsetMode);
        EXPECT_EQ(form->session().shared().DeviceAddress, 0x2E);
        EXPECT_EQ(form->windowTitle(), "SMBBA = 0x400");

        // One of the duty entry and the duty display, never both.
        EXPECT_EQ(controls().txtDutyCycle->isHidden(), !c.manual);
        EXPECT_EQ(controls().cmdWriteDuty->isHidden(), !c.manual);
        EXPECT_EQ(controls().lblDutyCycle->isHidden(), c.manual);
        EXPECT_EQ(controls().txtDutyCycle->text(), c.dutyText);
    }
}

TEST_F(Startup, TitleShowsTheControllerBaseAsSixteenBitHex)
{
    struct Case { std::uint16_t base; const char* suffix; const char* title; };
    const Case cases[] = {
        {0x0400, "", "SMBBA = 0x400"},
        {0x0400, " (simulated)", "SMBBA = 0x400 (simulated)"},
        {0x8000, "", "SMBBA = 0x8000"},
        {0xF000, "", "SMBBA = 0xF000"},
        {0x0000, "", "SMBBA = 0x0"},
    };
    for (const Case& c : cases) {
        bus.baseAddress[1] = c.base;
        open(QString::fromLatin1(c.suffix));
        EXPECT_EQ(form->windowTitle(), c.title);
    }
}

} // namespace
