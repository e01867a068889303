// Whole stories through the real widgets, on the simulated chip, with the
// poll timer running as in the program.

#include "UserInput.h"
#include "bus/SimulatedBus.h"
#include "support/MessageBoxAnswerer.h"
#include "support/QtPrinters.h"
#include "ui/main/Form1.h"

#include <gtest/gtest.h>

namespace {

class UserStory : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return form.session().hasStarted(); }, 5000));
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    // Lets the running poll tick until the condition holds; a loaded machine
    // may delay a tick, so this waits up to five seconds rather than 100 ms.
    template <typename Condition>
    bool eventually(Condition condition)
    {
        return QTest::qWaitFor(condition, 5000);
    }

    double now = 0;
    SimulatedBus bus{[this] { return now; }, [] { return 0.0; }};
    MessageBoxAnswerer boxes;
    Form1 form{bus, QStringLiteral(" (simulated)")};
    const Form1Controls& c = form.controls();
};

TEST_F(UserStory, ManualDutyOfSixtyPercentShowsOnTheNextTick)
{
    ASSERT_TRUE(chooseEntry(c.cmbPWM1, "Manual Mode"));
    ASSERT_TRUE(c.txtDutyCycle->isVisible());
    typeOver(c.txtDutyCycle, QStringLiteral("60"));
    clickAndSettle(c.cmdWriteDuty);
    EXPECT_TRUE(eventually([&] { return c.lblDutyCycle->text() == "60"; })) << c.lblDutyCycle->text().toStdString();
    EXPECT_EQ(form.session().shared().DutyPercent, 60);
    EXPECT_EQ(c.txtDutyCycle->text(), "60");
    EXPECT_TRUE(boxes.seen().empty());

    // Back to an automatic behaviour: the display replaces the entry.
    ASSERT_TRUE(chooseEntry(c.cmbPWM1, "Full Speed"));
    now += 1;
    EXPECT_TRUE(eventually([&] { return c.lblDutyCycle->text() == "100"; }));
    EXPECT_TRUE(c.lblDutyCycle->isVisible());
    EXPECT_FALSE(c.txtDutyCycle->isVisible());
}

TEST_F(UserStory, PinningATemperatureThroughTheRegisterPanelShowsOnScreen)
{
    typeOver(c.txtAddrPtr, QStringLiteral("26"));
    typeOver(c.txtDataOut, QStringLiteral("f6"));
    clickAndSettle(c.cmdWrite);
    clickAndSettle(c.cmdRead);
    EXPECT_EQ(c.lblReadData->text(), "F6");
    now += 1;
    EXPECT_TRUE(eventually([&] { return c.lblTemp[1]->text() == QString::fromUtf8("-10 °C"); }))
        << c.lblTemp[1]->text().toStdString();
}

TEST_F(UserStory, ControllerOneHasNoChip)
{
    clickAndSettle(c.optController1);
    EXPECT_EQ(form.windowTitle(), "SMBBA = 0xF000 (simulated)");
    clickAndSettle(c.cmdRead);
    EXPECT_EQ(c.lblReadData->text(), "XX") << "no byte was read";
    clickAndSettle(c.optController2);
    clickAndSettle(c.cmdRead);
    EXPECT_NE(c.lblReadData->text(), "XX");
}

} // namespace
