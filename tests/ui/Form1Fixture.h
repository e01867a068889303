#pragma once
// A Form1 on a recording bus. The poll timer is stopped so each test runs
// ticks itself and sees only the traffic it caused; every helper waits
// until the bus thread has run what it was given.

#include "support/MessageBoxAnswerer.h"
#include "support/QtPrinters.h"
#include "support/RecordingBus.h"
#include "ui/main/Form1.h"
#include "UserInput.h"

#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

class Form1Fixture : public testing::Test {
protected:
    // Registers a plain chip would hold: manual off, two's complement.
    void scriptTypicalChip()
    {
        bus.set(0x5C, 0xC2);
        bus.set(0x5F, 0x00);
        bus.set(0x7B, 0x01);
        bus.set(0x7C, 0x01);
        bus.set(0x30, 0x80);
    }

    Form1& open(QString titleSuffix = {})
    {
        form.reset();
        form = std::make_unique<Form1>(bus, std::move(titleSuffix));
        EXPECT_TRUE(settleBus());
        EXPECT_TRUE(form->session().hasStarted());
        timer()->stop();
        return *form;
    }

    // One poll tick, run to its end.
    void tick()
    {
        form->session().Timer1_Timer();
        ASSERT_TRUE(settleBus());
    }

    // Opens the form and forgets start-up's traffic.
    Form1& openQuietly()
    {
        open();
        bus.calls.clear();
        return *form;
    }

    // For tests that click and type: a typical chip, the window on screen.
    void openOnScreen()
    {
        scriptTypicalChip();
        openQuietly();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    QTimer* timer() const { return form->findChild<QTimer*>(QStringLiteral("Timer1")); }
    const Form1Controls& controls() const { return form->controls(); }

    RecordingBus bus;
    MessageBoxAnswerer boxes;
    std::unique_ptr<Form1> form;
};
