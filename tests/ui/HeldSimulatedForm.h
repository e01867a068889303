#pragma once
// A Form1 on the simulated chip with its readings held and its clock and
// noise pinned, the poll timer stopped so each test runs its own ticks.

#include "UserInput.h"
#include "bus/SimulatedBus.h"
#include "chip/ValueText.h"

#include <gtest/gtest.h>
#include <memory>

class HeldSimulatedForm : public testing::Test {
protected:
    void SetUp() override
    {
        bus.holdReadings();
        form = std::make_unique<Form1>(bus);
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->session().hasStarted(); }, 5000));
        form->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    }

    void ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            form->session().Timer1_Timer();
            ASSERT_TRUE(settleBus());
        }
    }

    double shown(const QLabel* label) const { return RegisterMap::decimalValue(label->text().toStdString()); }

    double now = 0;
    SimulatedBus bus{[this] { return now; }, [] { return 0.0; }};
    std::unique_ptr<Form1> form;
};
