// Behind a kernel driver nothing is forced without the user's word: from
// the window, nothing reaches a driver's address and no I2C_SLAVE_FORCE is
// issued until a Yes; from the command line, until --force. Checked
// against the fake i2c-dev's log and a fake sysfs that binds at24.

#include "WindowOnFakeBus.h"
#include "support/CommandRuns.h"
#include "support/MessageBoxAnswerer.h"
#include "support/QtPrinters.h"
#include "ui/fantest/FanTestWindow.h"
#include "ui/registermap/RegisterMapWindow.h"

#include <QLabel>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Answer = MessageBoxAnswerer::Answer;

constexpr int Chip = 0x2E;
constexpr int Other = 0x4C; // a second chip, met only once the user points at it

// Both chips answer; at24 owns the one given.
struct DriverRig : FakeLinuxBus {
    explicit DriverRig(int owned) : FakeLinuxBus({Chip, Other}, {{owned, "at24"}})
    {
        for (const int device : {Chip, Other}) {
            dev->registerOf(Path, device, 0x5C) = 0xC2;
            dev->registerOf(Path, device, 0x7C) = 0x01;
            dev->registerOf(Path, device, 0x25) = 0x5A;
            dev->registerOf(Path, device, 0x3D) = 0x68;
            dev->registerOf(Path, device, 0x3E) = 0x43;
        }
    }
};

struct WindowAction {
    const char* name;
    int owned; // where the driver is
    std::function<void(Window&)> act;
};

FanTestWindow* startFanTest(Window& w)
{
    auto* test = qobject_cast<FanTestWindow*>(w.form.showFanTest());
    test->findChild<QPushButton*>(QStringLiteral("fanTestStart"))->click();
    settleBus();
    return test;
}

const WindowAction WindowActions[] = {
    {"start-up", Chip, [](Window& w) { w.tick(); }},
    {"poll", Other,
     [](Window& w) {
         pointAt(w, Other);
         w.tick();
         w.tick();
     }},
    {"Read", Other,
     [](Window& w) {
         pointAt(w, Other);
         clickAndSettle(w.form.controls().cmdRead);
     }},
    {"Read All", Other,
     [](Window& w) {
         pointAt(w, Other);
         qobject_cast<RegisterMapWindow*>(w.form.showRegisterMap())->readAll();
         settleBus();
     }},
    {"fan test start", Other,
     [](Window& w) {
         pointAt(w, Other);
         startFanTest(w);
     }},
};

TEST(KernelDriver, NothingReachesItsAddressFromTheWindowBeforeAYes)
{
    for (const WindowAction& action : WindowActions) {
        for (const bool yes : {false, true}) {
            SCOPED_TRACE(std::string(action.name) + (yes ? ", Yes" : ", No"));
            DriverRig rig(action.owned);
            MessageBoxAnswerer boxes;
            Window w(rig);
            boxes.answerNext(yes ? Answer::ClickYes : Answer::Escape);
            boxes.answerNext(yes ? Answer::ClickYes : Answer::Escape);
            action.act(w);
            ASSERT_GE(boxes.seen().size(), 1u);
            // The fan test writes as well as reads: its one question is the
            // write's, which covers reading.
            const std::string device = "Device 0x" + QString::number(action.owned, 16).toUpper().toStdString();
            EXPECT_EQ(boxes.seen()[0].text.toStdString(),
                      std::string(action.name) == "fan test start"
                          ? device + " is driven by the kernel's at24 driver. Writing to it behind the driver can "
                                     "confuse it, and the driver may overwrite the value. Write anyway?"
                          : device + " on SMBus Controller 2 is driven by the kernel's at24 driver. Reading it too "
                                     "can confuse that driver, and both may read wrong values. Read it anyway?");
            EXPECT_EQ(boxes.seen()[0].defaultButton, QMessageBox::No);
            EXPECT_EQ(rig.forced(), yes);
            EXPECT_EQ(rig.reached().contains(action.owned), yes);
        }
    }
}

TEST(KernelDriver, AfterANoTheWindowSaysWhyAndHowToHaveTheChip)
{
    DriverRig rig(Chip);
    MessageBoxAnswerer boxes;
    Window w(rig);
    boxes.answerNext(Answer::Escape);
    w.tick();
    w.tick();
    EXPECT_EQ(boxes.seen().size(), 1u) << "a No is not asked again at every tick";
    EXPECT_EQ(w.form.statusText(), "Device 0x2E is driven by the kernel's at24 driver: not read");
    const Form1Controls& c = w.form.controls();
    EXPECT_EQ(c.lblFanSpeed[0]->text(), QStringLiteral("\u2014"));
    EXPECT_EQ(c.lblFanSpeed[0]->toolTip(), "No reading: Device 0x2E is driven by the kernel's at24 driver: not read");
    EXPECT_EQ(w.form.findChild<QLabel*>(QStringLiteral("statusLine"))->toolTip().toStdString(),
              "The kernel's at24 driver holds 1-002e (ls -l /sys/bus/i2c/devices/1-002e/driver).\n"
              "To have the device to yourself, unbind the driver:\n"
              "    echo 1-002e | sudo tee /sys/bus/i2c/drivers/at24/unbind\n"
              "and bind it back when you are done:\n"
              "    echo 1-002e | sudo tee /sys/bus/i2c/drivers/at24/bind");

    // Pointed at the chip again, and from the Tools menu: asked again.
    pointAt(w, Other);
    w.tick();
    pointAt(w, Chip);
    boxes.answerNext(Answer::Escape);
    w.tick();
    EXPECT_EQ(boxes.seen().size(), 2u);
    boxes.answerNext(Answer::ClickYes);
    w.form.findChild<QAction*>(QStringLiteral("actionReadPastKernelDriver"))->trigger();
    settleBus();
    ASSERT_EQ(boxes.seen().size(), 3u);
    EXPECT_FALSE(rig.reached().contains(Chip));
    w.tick();
    EXPECT_TRUE(rig.reached().contains(Chip));
    EXPECT_EQ(w.form.statusText(), "Device 0x2E on SMBus I801 adapter at 0b00, driven by the kernel's at24 driver");
    EXPECT_NE(c.lblVcc->text(), QStringLiteral("\u2014"));
}

// A driver unbound as the status tooltip says is forgotten when the device
// is chosen again or at Tools ▸ Read Past Kernel Driver: the poll reads it
// and a write asks about no driver.
TEST(KernelDriver, AnUnboundDriverIsForgottenWhenChosenAgain)
{
    const struct {
        const char* how;
        std::function<void(Window&)> chooseAgain;
        const char* says;
    } ways[] = {
        {"Tools menu",
         [](Window& w) { w.form.findChild<QAction*>(QStringLiteral("actionReadPastKernelDriver"))->trigger(); },
         "No kernel driver holds device 0x2E on SMBus Controller 2: it is read without going past one."},
        {"device field",
         [](Window& w) {
             pointAt(w, Other);
             pointAt(w, Chip);
         },
         "Device 0x2E on SMBus I801 adapter at 0b00"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        DriverRig rig(Chip);
        MessageBoxAnswerer boxes;
        Window w(rig);
        boxes.answerNext(Answer::Escape);
        w.tick();
        ASSERT_EQ(boxes.seen().size(), 1u);
        rig.unbind(Chip);
        way.chooseAgain(w);
        EXPECT_EQ(w.form.statusText().toStdString(), way.says);
        rig.dev->log.clear();
        w.tick();
        EXPECT_TRUE(rig.reached().contains(Chip)) << "polled again";
        EXPECT_FALSE(rig.forced());
        typeOver(w.form.controls().txtAddrPtr, QStringLiteral("25"));
        typeOver(w.form.controls().txtDataOut, QStringLiteral("5a"));
        clickAndSettle(w.form.controls().cmdWrite);
        EXPECT_EQ(boxes.seen().size(), 1u) << "no question about a driver that is gone";
        EXPECT_EQ(rig.dev->registerOf(FakeLinuxBus::Path, Chip, 0x25), 0x5A);
        EXPECT_TRUE(w.form.findChild<QLabel*>(QStringLiteral("statusLine"))->toolTip().isEmpty())
            << "no advice to unbind what is unbound";
    }
}

// A poll the user declined ends the alarms on what it no longer reads: no
// red frame stays for good.
TEST(KernelDriver, ADeclinedPollEndsTheAlarms)
{
    DriverRig rig(Other); // the chip is free, for now
    rig.dev->registerOf(FakeLinuxBus::Path, Chip, 0x26) = 45; // Local 45 °C
    MessageBoxAnswerer boxes;
    Window w(rig);
    std::vector<LimitSetting> limits = w.form.session().limits();
    limits[0] = {Poll::Reading::Local, std::nullopt, 40.0, true};
    w.form.session().setLimits(limits);
    for (int i = 0; i < 10; ++i)
        w.tick();
    const QLabel* local = w.form.controls().lblTemp[1];
    ASSERT_TRUE(local->styleSheet().contains("border")) << "framed";
    rig.bind(Chip, "at24");
    boxes.answerNext(Answer::Escape);
    w.form.findChild<QAction*>(QStringLiteral("actionReadPastKernelDriver"))->trigger();
    ASSERT_EQ(boxes.seen().size(), 1u);
    w.tick();
    EXPECT_FALSE(local->styleSheet().contains("border")) << "no frame on a reading that is not read";
    EXPECT_EQ(w.form.statusText(), "Device 0x2E is driven by the kernel's at24 driver: not read");
}

// One Yes holds for the run on that controller and address.
TEST(KernelDriver, OneYesIsAskedOnceForTheRun)
{
    DriverRig rig(Chip);
    MessageBoxAnswerer boxes;
    Window w(rig);
    boxes.answerNext(Answer::ClickYes);
    w.tick();
    w.tick();
    clickAndSettle(w.form.controls().cmdRead);
    qobject_cast<RegisterMapWindow*>(w.form.showRegisterMap())->readAll();
    settleBus();
    EXPECT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(w.form.controls().lblReadData->text(), "5A");
    EXPECT_GE(w.form.controls().cmbPWM1->currentIndex(), 0) << "start-up's settings, read once the user agreed";
}

TEST(KernelDriver, TheCommandsRefuseItsAddressWithoutForce)
{
    const auto csv = std::filesystem::temp_directory_path() / ("corvane-driver-" + std::to_string(getpid()) + ".csv");
    // A port already taken: the exporter's refusal comes before it listens,
    // so it is the refusal that is said, not the port.
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const QString takenPort = QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port));
    const QStringList commands[] = {{"get", "25"},
                                    {"dump"},
                                    {"read"},
                                    {"record", QString::fromStdString(csv.string()), "--duration", "0.2"},
                                    {"serve", "--listen", takenPort}};
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.join(' ').toStdString());
        DriverRig refusedRig(Chip);
        const Ran refused = runOn(*refusedRig.bus, command);
        EXPECT_EQ(refused.status, 4);
        EXPECT_EQ(refused.err, "corvane-bench: Device 0x2E on SMBus Controller 2 is driven by the kernel's at24 "
                               "driver. Reading it too can confuse that driver, and both may read wrong values. "
                               "Nothing was sent; give --force to read it all the same.\n");
        EXPECT_FALSE(refusedRig.forced());
        EXPECT_EQ(refusedRig.reached(), std::set<int>{});
        // The exporter serves until it is told to end: only its refusal here.
        if (command[0] == "serve")
            continue;

        DriverRig forcedRig(Chip);
        std::filesystem::remove(csv);
        const Ran forced = runOn(*forcedRig.bus, command + QStringList{"--force"});
        EXPECT_EQ(forced.status, 0) << forced.err;
        EXPECT_TRUE(forcedRig.forced());
        EXPECT_EQ(forcedRig.reached(), std::set<int>{Chip});
    }
    ::close(taken);
    std::filesystem::remove(csv);
}

} // namespace
