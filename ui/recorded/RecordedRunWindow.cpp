// The recorded run's window, in the Trends module with the plots it shows:
// the main window's library pays nothing for it until a recording is opened.

#include "ui/recorded/RecordedRun.h"

#include "recording/RecordedSeries.h"
#include "recording/RecordingSummary.h"
#include "ui/trends/TrendsWindow.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <ctime>
#include <thread>

using Poll::Reading;

namespace {

// What the reading thread hands over.
struct Opened {
    RecordingRead recording = RecordingError{};
    std::variant<AlarmsRead, RecordingError> alarms = AlarmsRead{};
};

// Reads on a thread while the dialog shows how far it got; Cancel stops it
// at the next megabyte. Nothing here waits without the event loop running.
std::optional<Opened> readWithProgress(const QString& path, QWidget* parent)
{
    std::atomic<std::uint64_t> done{0}, total{0};
    std::atomic<bool> cancelled{false}, finished{false};
    Opened opened;
    std::thread reader([&] {
        opened.recording = readRecordingFile(path.toStdString(), [&](std::uint64_t d, std::uint64_t t) {
            done = d;
            total = t;
            return !cancelled.load();
        });
        if (const auto* recording = std::get_if<Recording>(&opened.recording))
            opened.alarms = readAlarmsFile(path.toStdString(), recording->rows() ? recording->times.back() : 0);
        finished = true;
    });
    // On the heap, watched: the window it sits over may close meanwhile,
    // and take it along.
    const QPointer<QWidget> over(parent);
    QPointer<QProgressDialog> progress = new QProgressDialog(
        QStringLiteral("Opening %1…").arg(QFileInfo(path).fileName()), QStringLiteral("Cancel"), 0, 1000, parent);
    progress->setObjectName(QStringLiteral("openingRecording"));
    progress->setWindowTitle(QStringLiteral("Open Recording"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    while (!finished) {
        if (!progress || progress->wasCanceled()) {
            cancelled = true;
        } else if (total > 0) {
            progress->setValue(static_cast<int>(done * 1000 / total));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 30);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    reader.join();
    delete progress.data();
    // Nothing to show it in once the window it was for has gone.
    if (cancelled || (parent && !over))
        return std::nullopt;
    return opened;
}

QString timeText(Recording::Milliseconds ms)
{
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    return QString::fromLatin1(text, static_cast<int>(std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc)));
}

QString durationText(Recording::Milliseconds ms)
{
    const qint64 s = ms / 1000;
    if (s < 60)
        return QStringLiteral("%1 s").arg(static_cast<double>(ms) / 1000, 0, 'f', 1);
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
}

QString figure(float value, Reading reading)
{
    return QString::number(static_cast<double>(value), 'g', 6) + QLatin1Char(' ') +
           QString::fromUtf8(Poll::unit(reading).data(), static_cast<int>(Poll::unit(reading).size()));
}

QString captionOf(Reading reading)
{
    return QString::fromUtf8(Poll::caption(reading).data(), static_cast<int>(Poll::caption(reading).size()));
}

// The summary and the alarms, beside the plots.
QWidget* sidePanel(const Recording& recording, const std::vector<AlarmSpan>& alarms, const QString& alarmsProblem,
                   const Recording* compared = nullptr, const QString& comparedName = {})
{
    const RecordingSummary summary = summarize(recording, alarms);
    auto* panel = new QWidget;
    // Wide enough for the summary's six columns and an alarm's line.
    panel->setMinimumWidth(460);
    auto* column = new QVBoxLayout(panel);
    auto* facts = new QLabel(panel);
    facts->setObjectName(QStringLiteral("recordingFacts"));
    facts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    facts->setWordWrap(true);
    QString said = summary.rows == 0 ? QStringLiteral("No rows.")
                                     : QStringLiteral("%1 to %2 UTC (%3), %4 rows.")
                                           .arg(timeText(summary.first), timeText(summary.last),
                                                durationText(summary.last - summary.first))
                                           .arg(summary.rows);
    if (summary.damagedRows)
        said += QStringLiteral(" %1 damaged rows skipped; the first: %2.")
                    .arg(summary.damagedRows)
                    .arg(QString::fromStdString(recording.firstDamage));
    if (!alarmsProblem.isEmpty())
        said += QLatin1Char(' ') + alarmsProblem;
    facts->setText(said);
    column->addWidget(facts);

    auto* table = new QTableWidget(Poll::ReadingCount, 7, panel);
    table->setObjectName(QStringLiteral("recordingSummary"));
    table->setAccessibleName(QStringLiteral("Summary"));
    table->setHorizontalHeaderLabels({QStringLiteral("Minimum"), QStringLiteral("Mean"), QStringLiteral("Maximum"),
                                      QStringLiteral("Gaps"), QStringLiteral("Longest gap"),
                                      QStringLiteral("Beyond a bound"), QStringLiteral("First – last value (UTC)")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    int row = 0;
    for (const Reading reading : Poll::ListedOrder) {
        const ReadingSummary& s = summary.readings[static_cast<std::size_t>(reading)];
        table->setVerticalHeaderItem(row, new QTableWidgetItem(captionOf(reading)));
        const QStringList cells = {
            s.values ? figure(s.minimum, reading) : QStringLiteral("not read"),
            s.values ? figure(s.mean, reading) : QString(),
            s.values ? figure(s.maximum, reading) : QString(),
            QString::number(s.gaps),
            s.gaps ? durationText(s.longestGap) : QString(),
            [&s] {
                QStringList beyond;
                for (const auto& b : s.beyond)
                    beyond << QStringLiteral("%1: %2").arg(QString::fromStdString(b.bound), durationText(b.time));
                return beyond.join(QStringLiteral("; "));
            }(),
            s.values ? timeText(s.first) + QStringLiteral(" – ") + timeText(s.last) : QString(),
        };
        for (int c = 0; c < cells.size(); ++c)
            table->setItem(row, c, new QTableWidgetItem(cells[c]));
        ++row;
    }
    table->resizeColumnsToContents();
    column->addWidget(table, 2);

    if (compared) {
        // The compared run beside this one, reading by reading.
        const RecordingSummary other = summarize(*compared, {});
        auto* versus = new QTableWidget(Poll::ReadingCount, 4, panel);
        versus->setObjectName(QStringLiteral("comparedSummary"));
        versus->setAccessibleName(QStringLiteral("Compared run"));
        versus->setHorizontalHeaderLabels({QStringLiteral("Minimum (%1)").arg(comparedName),
                                           QStringLiteral("Mean (%1)").arg(comparedName),
                                           QStringLiteral("Maximum (%1)").arg(comparedName),
                                           QStringLiteral("Mean, compared less this")});
        versus->setEditTriggers(QAbstractItemView::NoEditTriggers);
        int line = 0;
        for (const Reading reading : Poll::ListedOrder) {
            const ReadingSummary& mine = summary.readings[static_cast<std::size_t>(reading)];
            const ReadingSummary& theirs = other.readings[static_cast<std::size_t>(reading)];
            versus->setVerticalHeaderItem(line, new QTableWidgetItem(captionOf(reading)));
            const QStringList cells = {
                theirs.values ? figure(theirs.minimum, reading) : QStringLiteral("not read"),
                theirs.values ? figure(theirs.mean, reading) : QString(),
                theirs.values ? figure(theirs.maximum, reading) : QString(),
                mine.values && theirs.values ? figure(theirs.mean - mine.mean, reading) : QString(),
            };
            for (int c = 0; c < cells.size(); ++c)
                versus->setItem(line, c, new QTableWidgetItem(cells[c]));
            ++line;
        }
        versus->resizeColumnsToContents();
        column->addWidget(versus, 2);
    }

    auto* heading = new QLabel(QStringLiteral("&Alarms"), panel);
    auto* list = new QListWidget(panel);
    list->setObjectName(QStringLiteral("recordingAlarms"));
    list->setAccessibleName(QStringLiteral("Alarms"));
    heading->setBuddy(list);
    for (const AlarmSpan& alarm : alarms) {
        list->addItem(QStringLiteral("%1 %2: %3 to %4 (%5)")
                          .arg(captionOf(alarm.reading), QString::fromStdString(alarm.bound), timeText(alarm.start),
                               timeText(alarm.end), durationText(alarm.end - alarm.start)));
    }
    if (alarms.empty())
        list->addItem(QStringLiteral("None recorded."));
    column->addWidget(heading);
    column->addWidget(list, 1);
    return panel;
}

// The data goes with the window, after it: a child is deleted once the
// window itself is gone.
struct RunKeeper : QObject {
    std::unique_ptr<RecordedSeries> source, compared;
    std::vector<AlarmSpan> alarms;
    QString alarmsProblem;
};

bool compareWith(TrendsView& view, const QString& path, bool atStarts, CannotOpen say)
{
    QMainWindow* window = view.window();
    // Found by its name: without a meta-object of its own, a cast could not tell it.
    auto* keeper = static_cast<RunKeeper*>(window->findChild<QObject*>(QStringLiteral("recordedRunData"),
                                                                         Qt::FindDirectChildrenOnly));
    auto* dock = window->findChild<QDockWidget*>(QStringLiteral("recordingSide"));
    if (!keeper || !dock)
        return false;
    auto opened = readWithProgress(path, window);
    if (!opened)
        return false;
    if (const auto* problem = std::get_if<RecordingError>(&opened->recording)) {
        say(window, QString::fromStdString(problem->message));
        return false;
    }
    auto compared = std::make_unique<RecordedSeries>(std::move(std::get<Recording>(opened->recording)));
    const QString name = QFileInfo(path).fileName();
    const History::Milliseconds shift =
        atStarts && !compared->empty() && !keeper->source->empty() ? keeper->source->first() - compared->first() : 0;
    view.compareWith(compared.get(), shift, name);
    // The old compared run is drawn no more: it may go.
    keeper->compared = std::move(compared);
    QWidget* old = dock->widget();
    dock->setWidget(sidePanel(keeper->source->recording(), keeper->alarms, keeper->alarmsProblem,
                              &keeper->compared->recording(), name));
    delete old;
    window->setWindowTitle(QStringLiteral("%1 compared with %2 — Corvane Bench")
                               .arg(window->property("recordingName").toString(), name));
    return true;
}

TrendsView* openRun(const QString& path, QWidget* parent, CannotOpen say)
{
    auto opened = readWithProgress(path, parent);
    if (!opened)
        return nullptr;
    if (const auto* problem = std::get_if<RecordingError>(&opened->recording)) {
        say(parent, QString::fromStdString(problem->message));
        return nullptr;
    }
    std::vector<AlarmSpan> alarms;
    QString alarmsProblem;
    if (const auto* problem = std::get_if<RecordingError>(&opened->alarms))
        alarmsProblem = QString::fromStdString(problem->message);
    else
        alarms = std::get<AlarmsRead>(opened->alarms).spans;

    auto source = std::make_unique<RecordedSeries>(std::move(std::get<Recording>(opened->recording)));
    auto* trends = new TrendsWindow(*source, parent);
    TrendsView* view = trends;
    QMainWindow* window = trends;
    auto* keeper = new RunKeeper;
    keeper->setObjectName(QStringLiteral("recordedRunData"));
    keeper->setParent(window);
    keeper->alarms = alarms;
    keeper->alarmsProblem = alarmsProblem;
    window->setProperty("recordingName", QFileInfo(path).fileName());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setObjectName(QStringLiteral("recordedRun"));
    window->setWindowTitle(QStringLiteral("%1 — Corvane Bench").arg(QFileInfo(path).fileName()));
    std::vector<TrendsView::ShadedSpan> shaded;
    for (const AlarmSpan& alarm : alarms) {
        shaded.push_back({alarm.reading, alarm.start, alarm.end,
                          QStringLiteral("%1 %2 from %3 to %4")
                              .arg(captionOf(alarm.reading), QString::fromStdString(alarm.bound), timeText(alarm.start),
                                   timeText(alarm.end))});
    }
    auto* dock = new QDockWidget(QStringLiteral("Summary and alarms"), window);
    dock->setObjectName(QStringLiteral("recordingSide"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(sidePanel(source->recording(), alarms, alarmsProblem));
    window->addDockWidget(Qt::RightDockWidgetArea, dock);
    keeper->source = std::move(source);
    // File > Compare With…: another recording over this one.
    QMenu* file = window->menuBar()->actions().isEmpty() ? nullptr : window->menuBar()->actions().front()->menu();
    if (file) {
        QAction* compare = file->addAction(QStringLiteral("&Compare With…"));
        compare->setObjectName(QStringLiteral("actionCompareWith"));
        QObject::connect(compare, &QAction::triggered, window, [window, view, say] {
            const QString other = QFileDialog::getOpenFileName(window, QStringLiteral("Compare With"), QString(),
                                                               QStringLiteral("Recordings (*.csv);;All files (*)"));
            if (other.isEmpty())
                return;
            const QStringList ways = {QStringLiteral("At their starts"), QStringLiteral("By clock time")};
            bool chosen = false;
            const QString way = QInputDialog::getItem(window, QStringLiteral("Compare With"),
                                                      QStringLiteral("Line the two runs up:"), ways, 0, false, &chosen);
            if (chosen)
                compareWith(*view, other, way == ways[0], say);
        });
    }
    // Room for the plots and the summary beside them.
    window->resize(std::max(window->width(), 1320), std::max(window->height(), 700));
    window->show();
    view->showWholeRun();
    view->setShadedSpans(std::move(shaded));
    window->raise();
    window->activateWindow();
    return view;
}

} // namespace

extern "C" Q_DECL_EXPORT TrendsView* corvaneOpenRecordedRun(const QString& path, QWidget* parent, CannotOpen say)
{
    return openRun(path, parent, say);
}

extern "C" Q_DECL_EXPORT bool corvaneCompareRecordedRun(TrendsView& view, const QString& path, bool atStarts,
                                                          CannotOpen say)
{
    return compareWith(view, path, atStarts, say);
}
