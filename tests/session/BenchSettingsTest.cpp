// Settings as the session keeps them: written once a change settles, not at
// each step of a spin box, and a file that cannot be written said once
// while it cannot, never lost without a word.

#include "session/BenchSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

void runEventsFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

class Settings : public testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(folder); }
    void TearDown() override { std::filesystem::remove_all(folder); }

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("corvane-settings-" + std::to_string(getpid()));
};

TEST_F(Settings, ASpinBoxHeldDownWritesOnceItSettles)
{
    const auto path = folder / "corvane-bench.conf";
    BenchSettings settings(QString::fromStdString(path.string()));
    for (int step = 1; step <= 20; ++step) {
        settings.setValue(QStringLiteral("fanTest/readings"), step);
        runEventsFor(10);
    }
    EXPECT_FALSE(std::filesystem::exists(path)) << "not written at each step";
    EXPECT_EQ(settings.value(QStringLiteral("fanTest/readings")).toInt(), 20) << "yet read back at once";
    runEventsFor(BenchSettings::SettleMs + 200);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(BenchSettings(QString::fromStdString(path.string())).value(QStringLiteral("fanTest/readings")).toInt(), 20);
}

// A file that cannot be written, even by root: its folder is a file.
TEST_F(Settings, AFileThatCannotBeWrittenIsSaidOnceWhileItCannot)
{
    std::ofstream(folder / "not-a-folder") << "x";
    const auto path = folder / "not-a-folder" / "corvane-bench.conf";
    std::vector<QString> told;
    {
        BenchSettings settings(QString::fromStdString(path.string()));
        settings.onWriteFailure([&told](const QString& why) { told.push_back(why); });
        for (const int value : {1, 2, 3}) {
            settings.setValue(QStringLiteral("registerMap/watchSeconds"), value);
            runEventsFor(BenchSettings::SettleMs + 100);
        }
        EXPECT_FALSE(settings.flush());
        ASSERT_EQ(told.size(), 1u) << "once while it fails, not at every change";
        EXPECT_TRUE(told[0].startsWith("Settings are not saved: ")) << told[0].toStdString();
        EXPECT_TRUE(told[0].contains(QString::fromStdString(path.string())));
        EXPECT_EQ(settings.value(QStringLiteral("registerMap/watchSeconds")).toInt(), 3) << "kept for the run";
    }
}

// One run of the program: the file unwritable, writable again (what could
// not be written is written then, and nothing is said), unwritable again
// (said again); and a damaged file rewritten without a word.
TEST_F(Settings, WritesRecoverWithinTheRunAndAreSaidAgainWhenTheyFailAgain)
{
    const auto blocker = folder / "settings";
    const auto path = blocker / "corvane-bench.conf";
    std::ofstream(blocker) << "x";
    std::vector<QString> told;
    BenchSettings settings(QString::fromStdString(path.string()));
    settings.onWriteFailure([&told](const QString& why) { told.push_back(why); });
    settings.setValue(QStringLiteral("recording/intervalMs"), 1000);
    EXPECT_FALSE(settings.flush());
    EXPECT_EQ(told.size(), 1u);

    std::filesystem::remove(blocker);
    std::filesystem::create_directories(blocker);
    EXPECT_TRUE(settings.flush());
    EXPECT_EQ(BenchSettings(QString::fromStdString(path.string())).value(QStringLiteral("recording/intervalMs")).toInt(),
              1000)
        << "what failed before is written now";
    EXPECT_EQ(told.size(), 1u);

    std::filesystem::remove_all(blocker);
    std::ofstream(blocker) << "x";
    settings.setValue(QStringLiteral("recording/intervalMs"), 10000);
    EXPECT_FALSE(settings.flush());
    EXPECT_EQ(told.size(), 2u) << "failing again is said again";

    const auto damaged = folder / "damaged.conf";
    std::ofstream(damaged, std::ios::binary) << "[limits\x01\xff\n\0\0garbage=\"unterminated\n[[[";
    BenchSettings rewritten(QString::fromStdString(damaged.string()));
    ASSERT_FALSE(rewritten.problem().isEmpty());
    std::vector<QString> toldOfDamaged;
    rewritten.onWriteFailure([&toldOfDamaged](const QString& why) { toldOfDamaged.push_back(why); });
    rewritten.setValue(QStringLiteral("registerMap/watchSeconds"), 2.0);
    EXPECT_TRUE(rewritten.flush());
    EXPECT_TRUE(toldOfDamaged.empty()) << "a damaged file rewritten is no failure";
    EXPECT_EQ(BenchSettings(QString::fromStdString(damaged.string())).value(QStringLiteral("registerMap/watchSeconds")).toDouble(),
              2.0);
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
