// Only the traffic the user meant: at the general-call, reserved and
// memory-module command addresses nothing reaches the bus, from the window
// or the command line, until the user agrees or gives --force. Checked
// against the fake i2c-dev's log, which sees what the kernel would.

#include "app/CommandLine.h"
#include "app/Commands.h"
#include "WindowOnFakeBus.h"
#include "support/CommandRuns.h"
#include "support/MessageBoxAnswerer.h"
#include "ui/registermap/RegisterMapWindow.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using Answer = MessageBoxAnswerer::Answer;

// Controller 2 with the chip at 0x2E and a device at every guarded address
// the table tries, so a read there would succeed if it went out.
class GuardedBus : public FakeLinuxBus {
public:
    GuardedBus() : FakeLinuxBus({0x2E, 0x00, 0x03, 0x36, 0x7A}) {}
};

using Action = std::function<void(GuardedBus&, Window&, std::uint8_t)>;

const std::pair<const char*, Action> WindowActions[] = {
    {"poll",
     [](GuardedBus&, Window& w, std::uint8_t address) {
         pointAt(w, address);
         w.form.session().Timer1_Timer();
         w.form.session().Timer1_Timer();
         settleBus();
     }},
    {"Read",
     [](GuardedBus&, Window& w, std::uint8_t address) {
         pointAt(w, address);
         clickAndSettle(w.form.controls().cmdRead);
     }},
    {"Read All",
     [](GuardedBus&, Window& w, std::uint8_t address) {
         pointAt(w, address);
         auto* map = qobject_cast<RegisterMapWindow*>(w.form.showRegisterMap());
         map->readAll();
         settleBus();
     }},
    {"Watch",
     [](GuardedBus&, Window& w, std::uint8_t address) {
         pointAt(w, address);
         auto* map = qobject_cast<RegisterMapWindow*>(w.form.showRegisterMap());
         map->setWatching(true);
         settleBus();
         EXPECT_FALSE(map->isWatching()) << "a No stops the watch";
     }},
};

TEST(GuardedAddresses, NothingReachesThemFromTheWindowWithoutAYes)
{
    for (const auto& [name, action] : WindowActions) {
        for (const std::uint8_t address : {0x00, 0x03, 0x36, 0x7A}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(address));
            GuardedBus rig;
            Window w(rig);
            MessageBoxAnswerer boxes;
            rig.dev->log.clear();
            // The poll never asks; the others ask once and are told no.
            boxes.answerNext(Answer::Escape);
            action(rig, w, address);
            EXPECT_EQ(rig.reached(), std::set<int>{}) << "not the address, and not 0x2E either";
            const bool asks = std::string(name) != "poll";
            ASSERT_EQ(boxes.seen().size(), asks ? 1u : 0u);
            if (asks) {
                EXPECT_TRUE(boxes.seen()[0].text.endsWith("Read it anyway?")) << boxes.seen()[0].text.toStdString();
                EXPECT_EQ(boxes.seen()[0].defaultButton, QMessageBox::No);
            }
        }
    }
}

TEST(GuardedAddresses, TheWindowSaysWhyThePollSendsNothing)
{
    GuardedBus rig;
    Window w(rig);
    const Form1Controls& c = w.form.controls();
    typeOver(c.txtDevAddr, QString());
    w.form.session().Timer1_Timer();
    settleBus();
    EXPECT_EQ(c.lblTemp[1]->text(), QStringLiteral("\u2014"));
    EXPECT_EQ(c.lblFanSpeed[0]->toolTip().toStdString(),
              "No reading: The poll does not read 0x00: a read there sends its register number to every device that "
              "honours a general call, and 0x06 resets them all");
    typeOver(c.txtDevAddr, QStringLiteral("36"));
    w.form.session().Timer1_Timer();
    settleBus();
    EXPECT_EQ(w.form.statusText(), "The poll does not read 0x36: a read there selects a memory module's SPD page");
    EXPECT_EQ(rig.reached(), (std::set<int>{0x2E})) << "only start-up's reads";
}

// One Yes lets the Read button and the register map read that address for
// the rest of the run, and asks nothing more.
TEST(GuardedAddresses, AYesIsAskedOnceAndLetsTheReadsThrough)
{
    GuardedBus rig;
    Window w(rig);
    MessageBoxAnswerer boxes;
    rig.dev->registerOf(FakeLinuxBus::Path, 0x36, 0x25) = 0x5A;
    pointAt(w, 0x36);
    rig.dev->log.clear();
    boxes.answerNext(Answer::ClickYes);
    clickAndSettle(w.form.controls().cmdRead);
    clickAndSettle(w.form.controls().cmdRead);
    auto* map = qobject_cast<RegisterMapWindow*>(w.form.showRegisterMap());
    map->readAll();
    settleBus();
    EXPECT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(w.form.controls().lblReadData->text(), "5A");
    EXPECT_EQ(rig.reached(), (std::set<int>{0x36}));
    w.form.session().Timer1_Timer();
    settleBus();
    EXPECT_EQ(rig.reached(), (std::set<int>{0x36})) << "the poll still never reads it";
}

TEST(GuardedAddresses, TheCommandsRefuseThemWithoutForce)
{
    const auto csv = std::filesystem::temp_directory_path() / ("corvane-guarded-" + std::to_string(getpid()) + ".csv");
    const QStringList commands[] = {{"get", "25"}, {"dump"}, {"read"}, {"pwm"},
                                    {"record", QString::fromStdString(csv.string()), "--duration", "0.2"}};
    for (const QStringList& command : commands) {
        for (const std::uint8_t address : {0x00, 0x03, 0x36, 0x7A}) {
            SCOPED_TRACE(command.join(' ').toStdString() + " at " + std::to_string(address));
            const QStringList at = command + QStringList{"--device", QString::number(address, 16)};
            GuardedBus refusedRig;
            const Ran refused = runOn(*refusedRig.bus, at);
            EXPECT_EQ(refused.status, 4);
            EXPECT_NE(refused.err.find("give --force to read it all the same"), std::string::npos) << refused.err;
            EXPECT_EQ(refusedRig.reached(), std::set<int>{});

            GuardedBus forcedRig;
            std::filesystem::remove(csv);
            runOn(*forcedRig.bus, at + QStringList{"--force"});
            EXPECT_EQ(forcedRig.reached(), std::set<int>{address}) << "--force reaches it, and only it";
        }
    }
    std::filesystem::remove(csv);
}

} // namespace
