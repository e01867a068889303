// The menu bar above the designed client area and what its items open:
// the program's other windows, the About box; and what closing asks.

#include "ui/main/Form1.h"
#include "ui/widgets/MessageBoxes.h"
#include "ui/dialogs/RecordDialog.h"
#include "ui/busscan/BusScanWindow.h"
#include "ui/fantest/FanTestWindow.h"
#include "ui/registermap/RegisterMapWindow.h"
#include "ui/recorded/RecordedRun.h"
#include "ui/trends/TrendsLoader.h"
#include "ui/widgets/WindowKeys.h"

#include <QCloseEvent>
#include <QDeadlineTimer>
#include <cstdio>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
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
    add(file, "actionOpenRecording", QStringLiteral("&Open Recording…"), QKeySequence(Qt::CTRL | Qt::Key_O),
        [this] { chooseRecordingToOpen(); });
    file->addSeparator();
    add(file, "actionRecord", QStringLiteral("&Record Readings…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
        [this] { showRecordDialog(); });
    stopRecordingAction_ =
        add(file, "actionStopRecording", QStringLiteral("&Stop Recording"), {}, [this] { session_.recording().stop(); });
    stopRecordingAction_->setEnabled(false);
    file->addSeparator();
    add(file, "actionQuit", QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    QMenu* view = menuBar_->addMenu(QStringLiteral("&View"));
    add(view, "actionTrends", QStringLiteral("&Trends"), QKeySequence(Qt::CTRL | Qt::Key_T), [this] { showTrends(); });
    add(view, "actionRegisterMap", QStringLiteral("&Register Map"), QKeySequence(Qt::CTRL | Qt::Key_R),
        [this] { showRegisterMap(); });
    // What sends traffic of its own, or writes to the chip.
    QMenu* tools = menuBar_->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("menuTools"));
    add(tools, "actionBusScan", QStringLiteral("&Bus Scan"), QKeySequence(Qt::CTRL | Qt::Key_B),
        [this] { showBusScan(); });
    add(tools, "actionFanTest", QStringLiteral("&Fan Test"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
        [this] { showFanTest(); });
    add(tools, "actionReadPastKernelDriver", QStringLiteral("&Read Past Kernel Driver…"), {},
        [this] { session_.readPastKernelDriver(); });
    tools->addSeparator();
    add(tools, "actionLimits", QStringLiteral("&Limits…"), QKeySequence(Qt::CTRL | Qt::Key_L),
        [this] { showLimitsDialog(); });
    tools_ = tools;
    QMenu* help = menuBar_->addMenu(QStringLiteral("&Help"));
    add(help, "actionAbout", QStringLiteral("&About Corvane Bench"), {}, [this] { showAbout(); });
}

void Form1::closeEvent(QCloseEvent* event)
{
    closingProgram_ = true;
    // Quitting ends a recording and puts PWM1 back from a fan test: said
    // first, and No keeps both going.
    const bool recording = session_.recording().isRecording();
    const bool fanTest = session_.fanTestRunning();
    if (!session_.leaving() && (recording || fanTest) && !confirmQuit(this, recording, fanTest)) {
        event->ignore();
        closingProgram_ = false;
        return;
    }
    session_.settings().setValue(QStringLiteral("windows/main/geometry"), saveGeometry());
    session_.recording().stop();
    // The fan test's window puts PWM1 back as it closes.
    for (QWidget* window : {trendsWindow_.data(), registerMap_.data(), busScan_.data(), fanTest_.data()}) {
        if (window)
            window->close();
    }
    QWidget::closeEvent(event);
}

void Form1::showAbout()
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About Corvane Bench"),
                    QStringLiteral("<b>Corvane Bench %1</b>").arg(QCoreApplication::applicationVersion()),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setIconPixmap(windowIcon().pixmap(48, 48));
    box.setTextFormat(Qt::RichText);
    box.setInformativeText(
        QStringLiteral("<p>A bench tool for the Corvane hardware monitor and fan controller.</p>"
                       "<p>Copyright © 2026 the Corvane Bench developers.</p>"
                       "<p>This program is free software: you can redistribute it and/or modify it under the terms "
                       "of the <a href=\"https://www.gnu.org/licenses/gpl-3.0.html\">GNU General Public License, "
                       "version 3</a> or (at your option) any later version. It comes with ABSOLUTELY NO WARRANTY. "
                       "It uses Qt and Qt Charts under the GPL version 3.</p>"
                       "<p>Bus in use: %1, device %2</p>")
            .arg(QString::fromStdString(session_.controllerName()).toHtmlEscaped(),
                 QString::fromStdString(deviceText(session_.shared().DeviceAddress))));
    box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    box.exec();
}

TrendsView* Form1::showTrends()
{
    if (!trendsWindow_) {
        QString error;
        trends_ = openTrendsView(session_.history(), this, &error);
        if (!trends_) {
            showCannotOpen(this, QStringLiteral("The Trends window cannot be opened:\n%1").arg(error));
            return nullptr;
        }
        trendsWindow_ = trends_->window();
        trendsWindow_->setAttribute(Qt::WA_DeleteOnClose);
        addWindowKeys(*trendsWindow_, *this);
        connect(&session_.recording(), &BenchRecording::historyGrew, trendsWindow_, [this] { trends_->historyGrew(); });
        trends_->setHiddenSeries(session_.settings().value(QStringLiteral("trends/hidden")).toStringList());
        if (const auto span = session_.settings().value(QStringLiteral("trends/span")).toLongLong(); span > 0)
            trends_->setSpan(span);
        remember(trendsWindow_, QStringLiteral("trends"));
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
QWidget* bringUp(QPointer<QWidget>& held, Form1& form, const QString& name)
{
    if (!held) {
        held = new Window(form.session(), form);
        held->setAttribute(Qt::WA_DeleteOnClose);
        held->setAttribute(Qt::WA_QuitOnClose, false);
        addWindowKeys(*held, form);
        form.remember(held, name);
    }
    held->show();
    held->raise();
    held->activateWindow();
    return held;
}

} // namespace

QWidget* Form1::showRegisterMap()
{
    return bringUp<RegisterMapWindow>(registerMap_, *this, QStringLiteral("registerMap"));
}

QWidget* Form1::showBusScan()
{
    return bringUp<BusScanWindow>(busScan_, *this, QStringLiteral("busScan"));
}

QWidget* Form1::showFanTest()
{
    return bringUp<FanTestWindow>(fanTest_, *this, QStringLiteral("fanTest"));
}

void Form1::finishBeforeLeaving(std::chrono::milliseconds limit)
{
    session_.beginLeaving();
    // Closing a fan test's window puts PWM1 back; the session waits for it.
    for (FanTestWindow* fanTest : findChildren<FanTestWindow*>(Qt::FindDirectChildrenOnly))
        fanTest->close();
    if (!session_.finishLeaving(limit))
        std::fprintf(stderr, "corvane-bench: the fan test's restore of PWM1 did not finish in time: "
                             "check PWM1's behaviour and duty before leaving the fan.\n");
}

void Form1::chooseRecordingToOpen()
{
    BenchSettings& settings = session_.settings();
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Recording"), settings.value(QStringLiteral("recording/folder")).toString(),
        QStringLiteral("Recordings (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    settings.setValue(QStringLiteral("recording/folder"), QFileInfo(path).absolutePath());
    openRecording(path);
}

void Form1::openRecording(const QString& path)
{
    if (TrendsView* view = openRecordedRun(path, this))
        addWindowKeys(*view->window(), *this);
}
