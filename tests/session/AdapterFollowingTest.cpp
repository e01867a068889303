// The session on a fake kernel whose SMBus adapter is unplugged and
// plugged back: the status line, the readings, the recording's rows and
// what reached the adapters, as each row of the table has the kernel do.

#include "session/AdapterFollower.h"
#include "session/BenchSession.h"
#include "support/FakeKernel.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr const char* Home = FakeKernel::Home;
constexpr const char* Elsewhere = FakeKernel::Elsewhere;

struct Rig {
    FakeKernel kernel;
    std::unique_ptr<BenchSession> session;
    std::unique_ptr<AdapterFollower> follower;
    std::optional<PollResult> lastPoll;
    std::string csv = (std::filesystem::temp_directory_path() / ("following-" + std::to_string(getpid()) + ".csv"))
                          .string();

    Rig()
    {
        session = std::make_unique<BenchSession>(*kernel.bus);
        follower = std::make_unique<AdapterFollower>(*kernel.bus, kernel.takeMonitor(), kernel.sysfs.root());
        followAdapters(*session, *follower);
        QObject::connect(session.get(), &BenchSession::polled,
                         [this](const PollResult& poll, const std::string&) { lastPoll = poll; });
        session->start();
        settle();
        session->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        EXPECT_EQ(session->recording().start(csv, CsvRecorder::Interval(0), false), std::nullopt);
        tick();
        kernel.dev->log.clear();
    }
    ~Rig()
    {
        session.reset();
        std::filesystem::remove(csv);
        std::filesystem::remove(csv.substr(0, csv.size() - 4) + ".alarms.csv");
    }

    void settle()
    {
        QDeadlineTimer deadline(5000);
        do
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        while ((!session->hasStarted() || !session->busIdle()) && !deadline.hasExpired());
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            session->Timer1_Timer();
            settle();
        }
    }
    // udev's events handled, as the socket notifier would.
    void events()
    {
        follower->takeEvents();
        settle();
    }

    bool logged(const std::string& entry) const
    {
        return std::ranges::find(kernel.dev->log, entry) != kernel.dev->log.end();
    }
    long writes() const
    {
        return std::ranges::count_if(kernel.dev->log, [](const std::string& e) { return e.starts_with("write"); });
    }
    // Each recorded row: whether it has the Local reading.
    std::string rows()
    {
        session->recording().stop();
        std::ifstream file(csv);
        std::string line, seen;
        std::getline(file, line); // the header
        while (std::getline(file, line))
            seen += line.substr(line.find(',') + 1).starts_with(",") ? '-' : 'R';
        return seen;
    }
};

TEST(AdapterFollowing, TheSessionLetsGoFollowsBackAndAsksBeforeTakingAnother)
{
    struct Row {
        const char* name;
        std::function<void(Rig&)> act;
        const char* statusHas;
        bool answered;      // the last poll's reads
        const char* rows;   // R a row with readings, - one without, from the first
        std::vector<std::string> logged, notLogged;
    };
    const Row rows[] = {
        {"gone: the file is closed at once, and nothing opens while it is",
         [](Rig& r) {
             r.kernel.unplug(1);
             r.events();
             r.tick(2);
         },
         "SMBus Controller 2 (SMBus I801 adapter at 0b00) is gone since ", false, "R--",
         {"close /dev/i2c-1"}, {"open /dev/i2c-1"}},
        {"back under the same number: start-up's reads again, and the readings",
         [](Rig& r) {
             r.kernel.unplug(1);
             r.events();
             r.tick();
             r.kernel.plug(1, Home);
             r.events();
             r.tick();
         },
         "SMBus Controller 2 (SMBus I801 adapter at 0b00) is back since ", true, "R-R",
         {"close /dev/i2c-1", "open /dev/i2c-1", "read 65"}, {"open /dev/i2c-4"}},
        {"back under another number: followed there",
         [](Rig& r) {
             r.kernel.unplug(1);
             r.events();
             r.tick();
             r.kernel.plug(4, Home);
             r.events();
             r.tick();
         },
         "is back since ", true, "R-R", {"close /dev/i2c-1", "open /dev/i2c-4", "read 65"}, {"open /dev/i2c-1"}},
        {"another of the same name at another place: said, not followed",
         [](Rig& r) {
             r.kernel.unplug(1);
             r.events();
             r.kernel.plug(5, Elsewhere);
             r.events();
             r.tick(2);
         },
         "; another SMBus I801 adapter at 0b00 came at ", false, "R--", {"close /dev/i2c-1"}, {"open /dev/i2c-5"}},
        {"that other one, taken when the user chooses the controller again",
         [](Rig& r) {
             r.kernel.unplug(1);
             r.events();
             r.kernel.plug(5, Elsewhere);
             r.events();
             r.tick();
             r.session->selectController(1);
             r.settle();
             r.tick();
         },
         "is now the adapter that came in its place", true, "R-R", {"open /dev/i2c-5"}, {}},
        {"gone during a write: not done, said so, and not sent again on its return",
         [](Rig& r) {
             r.kernel.dev->beforeWrite = [&r] {
                 r.kernel.dev->beforeWrite = nullptr;
                 r.kernel.unplug(1);
             };
             EXPECT_TRUE(r.session->write(0x2E, 0x30, 0x55));
             r.settle();
             EXPECT_NE(r.session->statusText().toStdString().find("No such device"), std::string::npos)
                 << r.session->statusText().toStdString();
             r.events();
             r.kernel.plug(4, Home);
             r.events();
             r.tick();
             EXPECT_EQ(r.writes(), 1);
         },
         "is back since ", true, "RR", {"write 48 85", "open /dev/i2c-4"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        row.act(rig);
        const std::string status = rig.session->statusText().toStdString();
        EXPECT_NE(status.find(row.statusHas), std::string::npos) << status;
        ASSERT_TRUE(rig.lastPoll);
        EXPECT_EQ(rig.lastPoll->answered(), row.answered);
        for (const std::string& entry : row.logged)
            EXPECT_TRUE(rig.logged(entry)) << entry;
        for (const std::string& entry : row.notLogged)
            EXPECT_FALSE(rig.logged(entry)) << entry;
        EXPECT_EQ(rig.rows(), row.rows);
    }
}

} // namespace
