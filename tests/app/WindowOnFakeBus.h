#pragma once
// The window on a fake Linux bus, started, its timer stopped: each test
// runs the poll's ticks itself and sees only the traffic it caused.

#include "support/FakeLinuxBus.h"
#include "ui/main/Form1.h"
#include "ui/UserInput.h"

#include <QTimer>
#include <gtest/gtest.h>

struct Window {
    explicit Window(FakeLinuxBus& rig) : form(*rig.bus)
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return form.session().hasStarted(); }, 5000));
        form.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    }
    void tick()
    {
        form.session().Timer1_Timer();
        settleBus();
    }
    Form1 form;
};

// Puts the address into the device field, as typing it would.
inline void pointAt(Window& w, std::uint8_t address)
{
    w.form.controls().txtDevAddr->setText(QString::number(address, 16));
    settleBus();
}
