// The session on a fake kernel whose SMBus adapter is unplugged and
// plugged back: the status line, the readings, the recording's rows and
// what reached the adapters, as each row of the table has the kernel do.

#include "session/AdapterFollower.h"
#include "session/BenchSession.h"
#include "support/FakeI2cDev.h"
#include "support/SysfsTree.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr const char* AdapterName = "SMBus I801 adapter at 0b00";
constexpr const char* Home = "0000:00:1f.3";  // where the adapter hangs
constexpr const char* Elsewhere = "0000:00:1f.5"; // another of its kind

struct FakeMonitor : AdapterMonitor {
    std::vector<AdapterEvent> waiting;
    int fd() const override { return -1; }
    std::vector<AdapterEvent> take() override { return std::exchange(waiting, {}); }
};

// The kernel's side: sysfs, i2c-dev's files, the chip behind the adapter
// and the events udev would send.
struct Kernel {
    SysfsTree sysfs;
    FakeI2cDev* dev = nullptr;
    FakeMonitor* monitor = nullptr;
    std::map<int, int> chip{{0x41, 0x01}, {0x42, 0x02}, {0x25, 0x28}, {0x26, 0x30}, {0x27, 0x24}};

    Kernel()
    {
        sysfs.pciDevice(Home, "0x0c0500", {});
        sysfs.pciDevice(Elsewhere, "0x0c0500", {});
    }
    static std::string path(int number) { return "/dev/i2c-" + std::to_string(number); }

    void plug(int number, const char* slot)
    {
        sysfs.adapter(number, AdapterName, slot);
        dev->files.insert(path(number));
        dev->unplugged.erase(path(number));
        dev->devices[{path(number), 0x2E}] = chip;
        monitor->waiting.push_back({AdapterEvent::Kind::Added, number});
    }
    // The adapter gone; udev's word of it comes at the next events taken.
    void unplug(int number)
    {
        sysfs.removeAdapter(number);
        dev->files.erase(path(number));
        dev->unplugged.insert(path(number));
        monitor->waiting.push_back({AdapterEvent::Kind::Removed, number});
    }
};

struct Rig {
    Kernel kernel;
    std::unique_ptr<LinuxSmbus> bus;
    std::unique_ptr<BenchSession> session;
    std::unique_ptr<AdapterFollower> follower;
    std::optional<PollResult> lastPoll;
    std::string csv = (std::filesystem::temp_directory_path() / ("following-" + std::to_string(getpid()) + ".csv"))
                          .string();

    Rig()
    {
        auto dev = std::make_unique<FakeI2cDev>();
        kernel.dev = dev.get();
        auto monitor = std::make_unique<FakeMonitor>();
        kernel.monitor = monitor.get();
        kernel.plug(1, Home);
        monitor->waiting.clear();
        const auto adapters = listSmbusAdapters(kernel.sysfs.root());
        bus = std::make_unique<LinuxSmbus>(LinuxSmbus::Controllers{std::nullopt, adapters.at(0)}, std::move(dev),
                                           kernel.sysfs.root());
        session = std::make_unique<BenchSession>(*bus);
        follower = std::make_unique<AdapterFollower>(*bus, std::move(monitor), kernel.sysfs.root());
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
