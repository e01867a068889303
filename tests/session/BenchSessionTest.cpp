// The bench session with no window at all, on the simulated chip: what a
// user's action makes it ask, say and send. Each row is one action after
// start-up, and the questions, announcements and writes it must leave.

#include "session/BenchSession.h"
#include "bus/SimulatedBus.h"
#include "chip/Conversions.h"
#include "chip/ValueText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Strings = std::vector<std::string>;

// Writes on the bus, as "2E:5C=85".
class TappedBus : public SimulatedBus {
public:
    BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override
    {
        char text[16];
        std::snprintf(text, sizeof text, "%02X:%02X=%02X", device, reg, data);
        writes.emplace_back(text);
        return SimulatedBus::WriteSmbus(device, reg, data);
    }
    Strings writes;
};

// Answers every question from its script and notes what was asked.
struct ScriptedHost : SessionHost {
    bool yes = true;
    Strings asked;
    bool confirmDangerousWrite(std::uint8_t device, AddressRisk) override { return ask("write", device); }
    bool confirmWriteBehindDriver(std::uint8_t device, const std::string&) override
    {
        return ask("write past driver", device);
    }
    bool confirmGuardedRead(std::uint8_t device) override { return ask("read", device); }
    bool confirmReadBehindDriver(std::uint8_t device, int, const std::string&) override
    {
        return ask("read past driver", device);
    }
    bool ask(const char* what, std::uint8_t device)
    {
        asked.push_back(std::string(what) + " " + deviceText(device));
        return yes;
    }
};

struct Bench {
    TappedBus bus;
    ScriptedHost host;
    BenchSession session{bus};
    Strings said; // the session's announcements but the polls and the status

    Bench()
    {
        bus.holdReadings();
        session.setHost(&host);
        QObject::connect(&session, &BenchSession::targetChanged, [this] { said.push_back("target changed"); });
        QObject::connect(&session, &BenchSession::controllerShown, [this](int controller, std::uint16_t base) {
            said.push_back("controller " + std::to_string(controller + 1) + " at " + RegisterMap::hexText(base));
        });
        QObject::connect(&session, &BenchSession::settingChanged, [this](Setting, int k, const SettingChange& change) {
            const bool written = change.write && change.write->ok();
            said.push_back("setting " + std::to_string(k) + (written ? " written" : " not written"));
        });
        QObject::connect(&session.recording(), &BenchRecording::recordingEnded,
                         [this](const QString&, quint64 rows, const QString& problem, const QString&) {
                             said.push_back("recorded " + std::to_string(rows) + " rows" + problem.toStdString());
                         });
        // "Alarm: Local", the words before the numbers.
        QObject::connect(&session.alarms(), &BenchAlarms::statusChanged, [this](const QString& text) {
            said.push_back(text.section(QLatin1Char(' '), 0, 1).toStdString());
        });
        session.start();
        settle();
        // Ticks come from the test alone from here on.
        session.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        said.clear();
        bus.writes.clear();
    }

    void settle()
    {
        QDeadlineTimer deadline(5000);
        do
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        while ((!session.hasStarted() || !session.busIdle()) && !deadline.hasExpired());
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            session.Timer1_Timer();
            settle();
        }
    }
};

std::string temporaryCsv()
{
    return (std::filesystem::temp_directory_path() / ("session-" + std::to_string(getpid()) + ".csv")).string();
}

struct Action {
    const char* name;
    std::function<void(Bench&)> act;
    Strings asked;
    Strings said;
    Strings writes;
    const char* statusHas;
};

TEST(BenchSession, WhatEachActionAsksSaysAndSends)
{
    const Action actions[] = {
        {"choose a memory module's address: not the chip, no limits, nothing written",
         [](Bench& r) {
             r.session.setDevice(0x50);
             r.tick();
         },
         {}, {"target changed"}, {}, "0x50 on the simulated SMBus is not a Corvane"},
        {"the same device again changes nothing",
         [](Bench& r) {
             r.session.setDevice(0x2E);
             r.tick();
         },
         {}, {}, {}, "the simulated SMBus"},
        {"choose controller 1, where nothing answers",
         [](Bench& r) {
             r.session.selectController(0);
             r.tick();
         },
         {}, {"target changed", "controller 1 at F000"}, {}, "does not answer"},
        {"a write to the chip asks nothing",
         [](Bench& r) {
             EXPECT_TRUE(r.session.write(0x2E, 0x30, 0x80));
             r.settle();
         },
         {}, {}, {"2E:30=80"}, "the simulated SMBus"},
        {"a write to a memory module's address asks, and No sends nothing",
         [](Bench& r) {
             r.host.yes = false;
             EXPECT_FALSE(r.session.write(0x50, 0x00, 0x12));
             r.settle();
         },
         {"write 0x50"}, {}, {}, "the simulated SMBus"},
        {"Manual Mode is a read-modify-write of 0x5C that keeps its other bits",
         [](Bench& r) {
             r.bus.chip().write(0x5C, 0x25);
             EXPECT_TRUE(r.session.changeSetting(Setting::Behaviour, RegisterMap::ManualBehaviour));
             r.settle();
             EXPECT_EQ(r.session.shared().DutyPercent, RegisterMap::dutyPercent(r.bus.chip().read(0x30)));
         },
         {}, {"setting 7 written"}, {"2E:5C=E5"}, "the simulated SMBus"},
        {"record three polls, then stop",
         [](Bench& r) {
             const std::string path = temporaryCsv();
             ASSERT_EQ(r.session.recording().start(path, CsvRecorder::Interval(0), false), std::nullopt);
             r.tick(3);
             r.session.recording().stop();
             std::ifstream file(path);
             EXPECT_EQ(std::count(std::istreambuf_iterator<char>(file), {}, '\n'), 4) << "a header and three rows";
             std::filesystem::remove(path);
             std::filesystem::remove(path.substr(0, path.size() - 4) + ".alarms.csv");
         },
         {}, {"recorded 3 rows"}, {}, "the simulated SMBus"},
        {"a limit the chip is beyond raises its alarm after ten polls, and nothing is written",
         [](Bench& r) {
             LimitSetting local;
             local.reading = Poll::Reading::Local;
             local.high = -100;
             local.on = true;
             std::vector<LimitSetting> limits = r.session.limits();
             for (LimitSetting& limit : limits)
                 if (limit.reading == Poll::Reading::Local)
                     limit = local;
             r.session.setLimits(limits);
             // Ten polls, a second apart from the first.
             for (int i = 0; i <= AlarmWatch::PollsToStart; ++i) {
                 r.tick();
                 QThread::msleep(BenchSession::PollIntervalMs);
             }
         },
         {}, {"Alarm: Local"}, {}, "Alarm: Local"},
    };
    for (const Action& action : actions) {
        SCOPED_TRACE(action.name);
        Bench run;
        action.act(run);
        EXPECT_EQ(run.host.asked, action.asked);
        EXPECT_EQ(run.said, action.said);
        EXPECT_EQ(run.bus.writes, action.writes);
        EXPECT_NE(run.session.statusText().toStdString().find(action.statusHas), std::string::npos)
            << run.session.statusText().toStdString();
    }
}

} // namespace
