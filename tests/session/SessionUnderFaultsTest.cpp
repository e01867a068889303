// The session on the simulated bus doing wrong to a plan, and recording to
// a disk that fills: what the status line and the recording say, and what
// the recording keeps.

#include "bus/FaultyBus.h"
#include "session/AdapterFollower.h"
#include "session/BenchSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

std::unique_ptr<FaultyBus> faultyBus(const char* plan)
{
    return std::make_unique<FaultyBus>(std::get<FaultPlan>(parseFaultPlan(plan)), std::make_unique<SimulatedBus>());
}

// Runs the event loop until done() or a second and a half has passed.
bool waitFor(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(1500);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The plan's adapter goes and comes back as udev would tell of a real
// one: the status line says so, and start-up's reads run again.
TEST(SessionUnderFaults, ThePlannedAdapterIsSaidGoneAndBack)
{
    auto bus = faultyBus("gone=300ms/600ms");
    BenchSession session(*bus);
    // Every text the status line is given, not only the last: the span
    // ends 300 ms after it begins, on a loop that may be slow.
    QStringList said;
    QObject::connect(&session, &BenchSession::statusChanged,
                     [&said](const QString& text, bool) { said << text; });
    followAdaptersOf(session, *bus);
    session.start();
    const auto saidOnce = [&said](const char* text) {
        return [&said, text] {
            return std::ranges::any_of(said, [text](const QString& t) { return t.contains(QLatin1String(text)); });
        };
    };
    EXPECT_TRUE(waitFor(saidOnce("SMBus Controller 2 (the simulated SMBus) is gone since "))) << said.join('\n').toStdString();
    EXPECT_TRUE(waitFor(saidOnce("SMBus Controller 2 (the simulated SMBus) is back since "))) << said.join('\n').toStdString();
    EXPECT_GT(bus->counts().failed, 0u) << "polls while it was gone failed";
}

// Files may grow only so far, as on a disk that is nearly full.
struct FileSizeLimit {
    rlimit before{};
    explicit FileSizeLimit(std::size_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(bytes), before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { lift(); }
    void lift() { ::setrlimit(RLIMIT_FSIZE, &before); }
};

// A full disk costs rows, not the recording: the status line says since
// when and how many, the recording goes on in the same file once there is
// room, and its end says what was lost.
TEST(SessionUnderFaults, AFullDiskIsSaidAndTheRecordingGoesOnWhenThereIsRoom)
{
    const std::string csv =
        (std::filesystem::temp_directory_path() / ("faults-" + std::to_string(getpid()) + ".csv")).string();
    SimulatedBus bus;
    bus.holdReadings();
    BenchSession session(bus);
    QString progress, ended;
    QObject::connect(&session.recording(), &BenchRecording::recordingProgress,
                     [&progress](const QString&, quint64 rows, const QString& loss) {
                         progress = QString::number(rows) + QStringLiteral(" | ") + loss;
                     });
    QObject::connect(&session.recording(), &BenchRecording::recordingEnded,
                     [&ended](const QString&, quint64 rows, const QString& problem, const QString& loss) {
                         ended = QString::number(rows) + QStringLiteral(" | ") + problem + QStringLiteral(" | ") + loss;
                     });
    session.start();
    ASSERT_TRUE(waitFor([&session] { return session.hasStarted() && session.busIdle(); }));
    session.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    ASSERT_EQ(session.recording().start(csv, CsvRecorder::Interval(0), false), std::nullopt);
    const auto tick = [&session](int count) {
        for (int i = 0; i < count; ++i) {
            session.Timer1_Timer();
            waitFor([&session] { return session.busIdle(); });
        }
    };
    tick(3);
    {
        FileSizeLimit full(std::filesystem::file_size(csv) + 10);
        tick(5);
        // Said at most once a second.
        QThread::msleep(1100);
        tick(1);
        EXPECT_TRUE(progress.startsWith(QStringLiteral("3 | the disk is full since "))) << progress.toStdString();
        EXPECT_TRUE(progress.contains(QStringLiteral(": 6 rows lost so far; the recording goes on when there is room")))
            << progress.toStdString();
    }
    tick(2);
    session.recording().stop();
    EXPECT_EQ(ended, QStringLiteral("5 |  | 6 rows lost while the disk was full")) << ended.toStdString();
    std::ifstream file(csv);
    int lines = 0, zeros = 0;
    for (std::string line; std::getline(file, line); ++lines)
        zeros += static_cast<int>(std::count(line.begin(), line.end(), '\0'));
    EXPECT_EQ(lines, 1 + 5) << "the header and the rows said";
    EXPECT_EQ(zeros, 0) << "no hole where the lost rows were";
    std::filesystem::remove(csv);
}

} // namespace
