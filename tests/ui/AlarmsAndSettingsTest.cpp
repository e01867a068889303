// Limits in the window on the held simulated chip: set by keyboard, an
// alarm framed, worded and recorded beside the recording; and what the
// window remembers between runs, including when it cannot.

#include "HeldSimulatedForm.h"
#include "support/MessageBoxAnswerer.h"
#include "ui/fantest/FanTestWindow.h"
#include "ui/dialogs/LimitsDialog.h"
#include "ui/registermap/RegisterMapWindow.h"
#include "ui/trends/TrendsView.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <filesystem>
#include <fstream>

namespace {

using Answer = MessageBoxAnswerer::Answer;

class Alarms : public HeldSimulatedForm {
protected:
    void SetUp() override
    {
        HeldSimulatedForm::SetUp();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        form.reset();
        std::filesystem::remove_all(folder);
    }

    QString status() const { return form->statusText(); }

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("corvane-alarms-" + std::to_string(getpid()));
    MessageBoxAnswerer boxes;
};

// Ctrl+L, Tab to Fan1's low bound, type it, Enter: a second later Fan1's
// reading is framed and worded, and the status line says so.
TEST_F(Alarms, ALimitSetByKeyboardAlarmsOnTheHeldChip)
{
    QString fan1Low;
    QTimer::singleShot(50, [&fan1Low] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        for (int tab = 0; tab < 40 && QApplication::focusWidget()->objectName() != "limitLow_fan1_rpm"; ++tab)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        fan1Low = QApplication::focusWidget()->objectName();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("3000"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
    ASSERT_EQ(fan1Low, "limitLow_fan1_rpm") << "reached by Tab";
    ASSERT_EQ(form->session().alarms().watch().limits().size(), 1u);

    const QLabel* fan1 = form->controls().lblFanSpeed[0];
    ticks(9);
    EXPECT_TRUE(fan1->toolTip().isEmpty()) << "not before a second";
    ticks(1);
    EXPECT_TRUE(fan1->toolTip().startsWith("Below 3000 rpm since ")) << fan1->toolTip().toStdString();
    EXPECT_TRUE(fan1->accessibleDescription().contains("Below 3000 rpm since ")) << "in words for a screen reader";
    EXPECT_TRUE(fan1->styleSheet().contains("border: 2px solid")) << "a red frame";
    EXPECT_TRUE(status().startsWith("Alarm: Fan1 ") && status().contains(" rpm below 3000 rpm since "))
        << status().toStdString();

    // Bad input is refused with a message, and nothing is saved.
    QTimer::singleShot(50, [this] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* low = dialog->findChild<QLineEdit*>(QStringLiteral("limitLow_local_c"));
        low->setFocus();
        QTest::keyClicks(low, QStringLiteral("warm"));
        boxes.answerNext(Answer::Enter);
        QTest::keyClick(low, Qt::Key_Return);
        QTimer::singleShot(200, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    });
    QApplication::setActiveWindow(form.get());
    QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text, "Invalid Value");
    EXPECT_EQ(form->session().alarms().watch().limits().size(), 1u) << "nothing saved";
}

// A bound is shown and read back by one locale's rules, with no group
// separators: what the dialog shows, it reads back as the same number, and
// a separator typed is refused rather than read as a decimal point.
TEST(LimitsDialogNumbers, ShownAndReadByTheSameRulesInEveryLocale)
{
    const struct {
        const char* locale;
        const char* shown1200;
        const char* shown3p3;
        std::vector<std::pair<const char*, std::optional<double>>> typed; // nothing: refused
    } cases[] = {
        {"en_US", "1200", "3.3", {{"1,200", std::nullopt}, {"1200", 1200.0}, {"3.3", 3.3}, {"3,3", std::nullopt}}},
        {"de_DE", "1200", "3,3", {{"1.200", std::nullopt}, {"1200", 1200.0}, {"3,3", 3.3}, {"3.3", std::nullopt}}},
        {"C", "1200", "3.3", {{"1,200", std::nullopt}, {"3.3", 3.3}, {" 12.5 ", 12.5}, {"warm", std::nullopt}}},
    };
    const QLocale before;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(boundText(1200.0), QString::fromLatin1(c.shown1200));
        EXPECT_EQ(boundText(3.3), QString::fromLatin1(c.shown3p3));
        for (const double bound : {1200.0, 3.3, 0.25, 65535.0}) {
            const auto back = typedBound(boundText(bound), Poll::Reading::Fan1, false);
            ASSERT_TRUE(std::holds_alternative<std::optional<double>>(back)) << bound;
            EXPECT_EQ(std::get<std::optional<double>>(back), bound) << "shown, then read back";
        }
        for (const auto& [text, expected] : c.typed) {
            SCOPED_TRACE(text);
            const auto read = typedBound(QString::fromLatin1(text), Poll::Reading::Fan1, false);
            if (expected) {
                ASSERT_TRUE(std::holds_alternative<std::optional<double>>(read));
                EXPECT_EQ(std::get<std::optional<double>>(read), *expected);
            } else {
                ASSERT_TRUE(std::holds_alternative<QString>(read)) << "refused, never read as another number";
                EXPECT_TRUE(std::get<QString>(read).contains("without a thousands separator"));
            }
        }
    }
    QLocale::setDefault(before);
}

// A recording with two alarms leaves them beside it, in order, and the
// readings file's columns as they were.
TEST_F(Alarms, ARecordingKeepsItsAlarmsBesideIt)
{
    const auto file = folder / "run.csv";
    ASSERT_TRUE(form->startRecording(QString::fromStdString(file.string()), CsvRecorder::Interval(0)));
    std::vector<LimitSetting> limits = form->session().limits();
    for (LimitSetting& limit : limits) {
        if (limit.reading == Poll::Reading::Local)
            limit = {Poll::Reading::Local, std::nullopt, 30.0, true};
        if (limit.reading == Poll::Reading::Fan4)
            limit = {Poll::Reading::Fan4, 100.0, std::nullopt, true};
    }
    form->session().setLimits(limits);
    ticks(10);
    bus.chip().write(0x26, 0x14); // local 20 °C: back inside
    ticks(10);
    form->session().recording().stop();
    std::ifstream in(file.string() + ".alarms.csv");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "time,reading,bound,value,event\r");
    EXPECT_TRUE(lines[1].ends_with(",local_c,<=30,39,start\r")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with(",fan4_rpm,>=100,0,start\r")) << lines[2];
    EXPECT_TRUE(lines[3].ends_with(",local_c,<=30,20,end\r")) << lines[3];
    EXPECT_TRUE(lines[4].ends_with(",fan4_rpm,>=100,,end (recording ended)\r")) << "still on: ended with the recording";
    std::ifstream readings(file);
    std::string header;
    std::getline(readings, header);
    EXPECT_EQ(header, CsvRecorder::header().substr(0, CsvRecorder::header().size() - 1));
    EXPECT_EQ(status().left(6), "Alarm:") << "Fan4 still below";
}

// Every setting goes out and comes back: limits, windows and where they
// were, the recording's folder and interval, the Trends series and span,
// the register map's watch interval and the fan test's rules.
TEST_F(Alarms, SettingsComeBackNextRun)
{
    const QString path = QString::fromStdString((folder / "corvane-bench.conf").string());
    form->useSettings(std::make_shared<BenchSettings>(path));
    std::vector<LimitSetting> limits = form->session().limits();
    limits[3] = {Poll::Reading::Fan1, 1200.0, std::nullopt, true};
    limits[7] = {Poll::Reading::Vcc, 3.1, 3.5, true};
    form->session().setLimits(limits);
    auto* map = qobject_cast<RegisterMapWindow*>(form->showRegisterMap());
    map->findChild<QComboBox*>(QStringLiteral("watchRate"))->setCurrentIndex(3);
    map->move(120, 80);
    auto* fanTest = qobject_cast<FanTestWindow*>(form->showFanTest());
    fanTest->findChild<QComboBox*>(QStringLiteral("fanTestStep"))->setCurrentIndex(0);
    fanTest->findChild<QDoubleSpinBox*>(QStringLiteral("fanTestTolerance"))->setValue(3.5);
    fanTest->findChild<QSpinBox*>(QStringLiteral("fanTestReadings"))->setValue(4);
    fanTest->findChild<QSpinBox*>(QStringLiteral("fanTestLimit"))->setValue(20);
    fanTest->close(); // closed by the user: not open next time
    TrendsView* trends = form->showTrends();
    ASSERT_NE(trends, nullptr);
    trends->setHiddenSeries({QStringLiteral("Fan3")});
    trends->setSpan(120'000);
    form->session().settings().setValue(QStringLiteral("recording/folder"), QString::fromStdString(folder.string()));
    form->session().settings().setValue(QStringLiteral("recording/intervalMs"), 10000);
    const QByteArray mapGeometry = map->saveGeometry();
    form->close(); // the program quits with the map and Trends open

    form = std::make_unique<Form1>(bus);
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->session().hasStarted(); }, 5000));
    form->useSettings(std::make_shared<BenchSettings>(path));
    EXPECT_EQ(form->session().limits()[3].low, 1200.0);
    EXPECT_TRUE(form->session().limits()[3].on);
    EXPECT_EQ(form->session().limits()[7].high, 3.5);
    EXPECT_EQ(form->session().alarms().watch().limits().size(), 3u);
    auto* reopened = form->findChild<RegisterMapWindow*>();
    ASSERT_NE(reopened, nullptr) << "open at exit, open again";
    EXPECT_TRUE(reopened->isVisible());
    EXPECT_EQ(reopened->saveGeometry(), mapGeometry);
    EXPECT_EQ(reopened->findChild<QComboBox*>(QStringLiteral("watchRate"))->currentIndex(), 3);
    EXPECT_EQ(form->findChild<FanTestWindow*>(), nullptr) << "closed before exit, not reopened";
    auto* fan = qobject_cast<FanTestWindow*>(form->showFanTest());
    EXPECT_EQ(fan->settings().stepPercent, 1);
    EXPECT_DOUBLE_EQ(fan->settings().tolerancePercent, 3.5);
    EXPECT_EQ(fan->settings().settleReadings, 4);
    EXPECT_EQ(fan->settings().stepLimitSeconds, 20);
    TrendsView* again = form->showTrends();
    EXPECT_EQ(again->hiddenSeries(), QStringList{"Fan3"});
    EXPECT_EQ(again->span(), 120'000);
    EXPECT_EQ(form->session().settings().value(QStringLiteral("recording/intervalMs")).toInt(), 10000);
}

TEST_F(Alarms, ADamagedSettingsFileGivesTheDefaultsAndOneNote)
{
    const auto path = folder / "corvane-bench.conf";
    std::ofstream(path, std::ios::binary) << "[limits\x01\xff\n\0\0garbage=\"unterminated\n[[[";
    ::chmod(path.c_str(), 0644);
    form->useSettings(std::make_shared<BenchSettings>(QString::fromStdString(path.string())));
    EXPECT_TRUE(status().contains("damaged") || status().contains("cannot be read")) << status().toStdString();
    EXPECT_TRUE(form->session().alarms().watch().limits().empty());

    const auto unreadable = folder / "unreadable.conf";
    std::ofstream(unreadable) << "[limits]\nfan1_rpm\\low=1200\n";
    ::chmod(unreadable.c_str(), 0);
    const BenchSettings shut(QString::fromStdString(unreadable.string()));
    if (::geteuid() != 0) { // root reads any file
        EXPECT_FALSE(shut.problem().isEmpty());
    }
}

// Without a file (--no-settings) the window changes what it likes and
// writes nothing anywhere.
TEST_F(Alarms, WithoutSettingsNothingIsWritten)
{
    const auto home = folder / "config";
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.string()));
    form->useSettings(std::make_shared<BenchSettings>());
    std::vector<LimitSetting> limits = form->session().limits();
    limits[0] = {Poll::Reading::Local, std::nullopt, 80.0, true};
    form->session().setLimits(limits);
    form->showRegisterMap()->close();
    form->close();
    EXPECT_FALSE(std::filesystem::exists(home)) << "no settings file, no folder for one";
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
