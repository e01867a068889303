// The menu bar above the designed client area, and what its items open:
// recording to CSV, the Trends window, the About box.

#include "Form1.h"
#include "MessageBoxes.h"
#include "RecordDialog.h"
#include "BusScanWindow.h"
#include "FanTestWindow.h"
#include "RegisterMapWindow.h"
#include "TrendsLoader.h"

#include <QCloseEvent>
#include <QDeadlineTimer>
#include <cstdio>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>

void Form1::buildMenus()
{
    const auto add = [this](QMenu* menu, const char* name, const QString& text, QKeySequence key, auto slot) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QMenu* file = menuBar_->addMenu(QStringLiteral("&File"));
    add(file, "actionRecord", QStringLiteral("&Record Readings…"), {}, [this] { showRecordDialog(); });
    stopRecordingAction_ =
        add(file, "actionStopRecording", QStringLiteral("&Stop Recording"), {}, [this] { stopRecording(); });
    stopRecordingAction_->setEnabled(false);
    file->addSeparator();
    add(file, "actionQuit", QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    QMenu* view = menuBar_->addMenu(QStringLiteral("&View"));
    add(view, "actionTrends", QStringLiteral("&Trends"), QKeySequence(Qt::CTRL | Qt::Key_T), [this] { showTrends(); });
    add(view, "actionRegisterMap", QStringLiteral("&Register Map"), QKeySequence(Qt::CTRL | Qt::Key_R),
        [this] { showRegisterMap(); });
    add(view, "actionBusScan", QStringLiteral("&Bus Scan"), {}, [this] { showBusScan(); });
    add(view, "actionFanTest", QStringLiteral("&Fan Test"), {}, [this] { showFanTest(); });
    QMenu* help = menuBar_->addMenu(QStringLiteral("&Help"));
    add(help, "actionAbout", QStringLiteral("&About Corvane Bench"), {}, [this] { showAbout(); });
}

void Form1::closeEvent(QCloseEvent* event)
{
    stopRecording();
    // The fan test's window puts PWM1 back as it closes.
    for (QWidget* window : {trendsWindow_.data(), registerMap_.data(), busScan_.data(), fanTest_.data()}) {
        if (window)
            window->close();
    }
    QWidget::closeEvent(event);
}

void Form1::showAbout()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("About Corvane Bench"),
                    QStringLiteral("Corvane Bench %1").arg(QCoreApplication::applicationVersion()),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setInformativeText(
        QStringLiteral("A bench tool for the Corvane hardware monitor and fan controller.\n\n"
                       "Licence: GPL-3.0-or-later. This program comes with ABSOLUTELY NO WARRANTY; it is free "
                       "software, and you may redistribute it under the terms of the GNU General Public License, "
                       "version 3 or later. It uses Qt and Qt Charts under the GPL version 3.\n\n"
                       "Bus in use: %1, device %2")
            .arg(QString::fromStdString(controllerName_), QString::fromStdString(deviceText(module_.DeviceAddress))));
    box.exec();
}

void Form1::showRecordDialog()
{
    RecordDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        startRecording(dialog.path(), dialog.interval());
}

bool Form1::startRecording(const QString& path, CsvRecorder::Interval interval)
{
    // Asked before the recording in hand ends: No leaves it running.
    const QFileInfo file(path);
    const bool exists = file.exists();
    // A FIFO or a device is refused before anything is asked about it.
    if (exists && !file.isFile()) {
        showCannotRecord(this, QStringLiteral("Cannot record to %1: it is not a regular file (a FIFO, a device or a "
                                              "folder); record to a file")
                                   .arg(path));
        return false;
    }
    if (exists && !confirmReplaceFile(this, path)) {
        // Said where the recording would be, so a run that was meant to
        // record is not mistaken for one that does.
        if (!recorder_)
            showRecording(QStringLiteral("Not recording: %1 exists and was kept").arg(QFileInfo(path).fileName()));
        return false;
    }
    stopRecording();
    auto started = CsvRecorder::start(path.toStdString(), interval, exists);
    if (auto* problem = std::get_if<std::string>(&started)) {
        showRecording(QStringLiteral("Not recording"));
        showCannotRecord(this, QString::fromStdString(*problem));
        return false;
    }
    recorder_ = std::move(std::get<std::unique_ptr<CsvRecorder>>(started));
    stopRecordingAction_->setEnabled(true);
    recordingShownAt_ = 0;
    showRecording(QStringLiteral("Recording %1: 0 rows").arg(QFileInfo(path).fileName()));
    return true;
}

void Form1::stopRecording()
{
    if (!recorder_)
        return;
    if (const auto problem = recorder_->finish()) {
        recordingFailed(*problem);
        return;
    }
    const QString name = QFileInfo(QString::fromStdString(recorder_->path())).fileName();
    const auto rows = recorder_->rows();
    recorder_.reset();
    stopRecordingAction_->setEnabled(false);
    showRecording(QStringLiteral("Recorded %1 rows to %2").arg(rows).arg(name));
}

void Form1::recordingFailed(const std::string& problem)
{
    const QString name = QFileInfo(QString::fromStdString(recorder_->path())).fileName();
    const auto rows = recorder_->rows();
    recorder_.reset();
    stopRecordingAction_->setEnabled(false);
    showRecording(QStringLiteral("Recording stopped: %1. %2 rows are in %3.")
                      .arg(QString::fromStdString(problem))
                      .arg(rows)
                      .arg(name));
}

void Form1::recordDueRow()
{
    if (!recorder_)
        return;
    if (const auto problem = recorder_->tick(std::chrono::steady_clock::now()))
        recordingFailed(*problem);
}

void Form1::recordPoll(const PollResult& poll)
{
    history_.add(poll, TempOffsetMode);
    if (trendsWindow_)
        trends_->historyGrew();
    if (!recorder_)
        return;
    if (const auto problem = recorder_->add(poll, TempOffsetMode)) {
        recordingFailed(*problem);
        return;
    }
    // The count is rewritten at most once a second: a label repainted every
    // tick would cost more than the recording.
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    if (nowMs - recordingShownAt_ < 1000)
        return;
    recordingShownAt_ = nowMs;
    showRecording(QStringLiteral("Recording %1: %2 rows")
                      .arg(QFileInfo(QString::fromStdString(recorder_->path())).fileName())
                      .arg(recorder_->rows()));
}

void Form1::showRecording(const QString& text)
{
    if (recordingLine_->text() != text)
        recordingLine_->setText(text);
    recordingLine_->setVisible(!text.isEmpty());
}

TrendsView* Form1::showTrends()
{
    if (!trendsWindow_) {
        QString error;
        trends_ = openTrendsView(history_, this, &error);
        if (!trends_) {
            showCannotOpen(this, QStringLiteral("The Trends window cannot be opened:\n%1").arg(error));
            return nullptr;
        }
        trendsWindow_ = trends_->window();
        trendsWindow_->setAttribute(Qt::WA_DeleteOnClose);
        // Closing the main window ends the program whatever else is open.
        trendsWindow_->setAttribute(Qt::WA_QuitOnClose, false);
    }
    trendsWindow_->show();
    trendsWindow_->raise();
    trendsWindow_->activateWindow();
    return trends_;
}

namespace {

// Brings a window of the program's up, made on first use; closing the main
// window ends the program whatever else is open.
template <typename Window>
QWidget* bringUp(QPointer<QWidget>& held, Form1& form)
{
    if (!held) {
        held = new Window(form);
        held->setAttribute(Qt::WA_DeleteOnClose);
        held->setAttribute(Qt::WA_QuitOnClose, false);
    }
    held->show();
    held->raise();
    held->activateWindow();
    return held;
}

} // namespace

QWidget* Form1::showRegisterMap()
{
    return bringUp<RegisterMapWindow>(registerMap_, *this);
}

QWidget* Form1::showBusScan()
{
    return bringUp<BusScanWindow>(busScan_, *this);
}

QWidget* Form1::showFanTest()
{
    return bringUp<FanTestWindow>(fanTest_, *this);
}

void Form1::finishBeforeLeaving(std::chrono::milliseconds limit)
{
    stopRecording();
    // No more polls queued ahead of what must still be done.
    Timer1.stop();
    leaving_ = true;
    // Closing a fan test's window puts PWM1 back.
    for (FanTestWindow* fanTest : findChildren<FanTestWindow*>(Qt::FindDirectChildrenOnly))
        fanTest->close();
    // A restore's job is queued: let it run, and its result show, before
    // the bus thread is told to stop.
    QDeadlineTimer deadline(limit);
    while (leavingHeld_ > 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (leavingHeld_ > 0)
        std::fprintf(stderr, "corvane-bench: the fan test's restore of PWM1 did not finish in time: "
                             "check PWM1's behaviour and duty before leaving the fan.\n");
}
