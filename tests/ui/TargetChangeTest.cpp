// What the window says and watches belongs to the device and bus it reads
// now: alarms end when the target changes and start afresh on the new one,
// a device that is not the chip is said so and no limit applies to it, and
// a note about another device gives way at once.

#include "Form1Fixture.h"
#include "HeldSimulatedForm.h"
#include "support/Traffic.h"

#include <functional>

namespace {

class HeldTarget : public HeldSimulatedForm {
protected:
    void SetUp() override
    {
        HeldSimulatedForm::SetUp();
        std::vector<LimitSetting> limits = form->session().limits();
        limits[0] = {Poll::Reading::Local, std::nullopt, 30.0, true}; // the chip's Local reads 39 °C
        form->session().setLimits(limits);
    }

public:
    bool framed() const { return local()->styleSheet().contains("border"); }
    const QLabel* local() const { return form->controls().lblTemp[1]; }
    QString status() const { return form->statusText(); }
};

TEST_F(HeldTarget, AlarmsBelongToTheDeviceTheyWereAbout)
{
    ticks(10);
    ASSERT_TRUE(framed());
    ASSERT_TRUE(status().startsWith("Alarm: Local 39 °C above 30 °C since ")) << status().toStdString();
    const struct {
        const char* what;
        std::function<void(Form1&)> change;
        std::function<void(HeldTarget&)> after; // checked once a second has passed there
    } changes[] = {
        {"a memory module's EEPROM at 0x50: its bytes shown, no limit applied",
         [](Form1& f) { typeOver(f.controls().txtDevAddr, QStringLiteral("50")); },
         [](HeldTarget& t) {
             EXPECT_FALSE(t.framed());
             EXPECT_NE(t.local()->text(), QStringLiteral("\u2014")) << "its bytes still show";
             EXPECT_TRUE(t.status().startsWith("Device 0x50 on ") &&
                         t.status().contains(" is not a Corvane (identification ") &&
                         t.status().endsWith("): no limits apply"))
                 << t.status().toStdString();
         }},
        {"the other controller, where nothing answers: no reading, no bound passed",
         [](Form1& f) { clickAndSettle(f.controls().optController1); },
         [](HeldTarget& t) {
             EXPECT_TRUE(t.status().startsWith("Alarm: Local not read since ")) << t.status().toStdString();
             EXPECT_TRUE(t.local()->toolTip().startsWith("Not read since ")) << t.local()->toolTip().toStdString();
         }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        c.change(*form);
        EXPECT_FALSE(framed()) << "ended at the change, not by the new device's reading";
        EXPECT_FALSE(status().startsWith("Alarm: Local 39")) << status().toStdString();
        ticks(10);
        c.after(*this);
        // Back on the chip: a second later, an alarm of its own.
        if (!form->controls().optController2->isChecked())
            clickAndSettle(form->controls().optController2);
        typeOver(form->controls().txtDevAddr, QStringLiteral("2e"));
        ticks(9);
        EXPECT_FALSE(framed()) << "a new alarm waits its second";
        ticks(1);
        EXPECT_TRUE(framed());
    }
}

class NotesAboutADevice : public Form1Fixture {};

TEST_F(NotesAboutADevice, GiveWayWhenTheDeviceChanges)
{
    const struct {
        const char* what;
        QString typed;
        const char* says;
    } cases[] = {
        {"back to the chip", QStringLiteral("2e"), "Device 0x2E on Recording controller 2"},
        // An empty field is address 0x00, which the poll never reads.
        {"the field emptied", QString(), "The poll does not read 0x00"},
        // On its way to a number beyond an address, the field names 0x08.
        {"a number beyond an address", QStringLiteral("80"), "Device 0x08 on Recording controller 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        openOnScreen();
        bus.fail = [](const BusCall& call, int) { return call.device == 0x48 ? ENXIO : 0; };
        typeOver(controls().txtDevAddr, QStringLiteral("48"));
        typeOver(controls().txtAddrPtr, QStringLiteral("25"));
        clickAndSettle(controls().cmdRead);
        ASSERT_TRUE(form->statusText().startsWith("Read of register 0x25 of device 0x48 failed"))
            << form->statusText().toStdString();
        typeOver(controls().txtDevAddr, c.typed);
        tick();
        EXPECT_TRUE(form->statusText().startsWith(QLatin1String(c.says))) << form->statusText().toStdString();
    }
}

} // namespace
