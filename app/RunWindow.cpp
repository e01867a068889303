#include "RunWindow.h"
#include "KeyLatency.h"

#include "session/FreedMemoryReturn.h"
#include "session/QuitOnSignal.h"
#include "ui/main/Form1.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

// Off unless asked for (QT_LOGGING_RULES="corvane.stats.info=true"): how
// many polls ran, said once at exit, for long unattended runs.
Q_LOGGING_CATEGORY(runStatistics, "corvane.stats", QtWarningMsg)

int runWindow(BusAdapter& bus, const QString& titleSuffix, const std::function<void(Form1&)>& prepare)
{
    // The bench run itself, shown by the window and the windows it opens;
    // it outlives them all.
    BenchSession session(bus);
    Form1 window(session, titleSuffix);
    // A window left running for days holds no more than it uses.
    FreedMemoryReturn memoryReturn;
    // Before anything that may ask a question: a logout ends that too.
    quitOnTerminationSignals(window);
    if (prepare)
        prepare(window);
    QObject::connect(&session.recording(), &BenchRecording::recordingEnded, &session,
                     [](const QString& path, quint64 rows, const QString& problem, const QString& loss) {
                         qCInfo(runStatistics, "recorded %llu rows to %s%s%s%s%s", static_cast<unsigned long long>(rows),
                                qPrintable(path), loss.isEmpty() ? "" : "; ", qPrintable(loss),
                                problem.isEmpty() ? "" : "; stopped: ", qPrintable(problem));
                     });
    // Shown at once: start-up's reads run on the bus thread, and a slow bus
    // must not keep the window off the screen. Until they are back the
    // status line says what is being read and the lists stay empty.
    window.show();
    logKeyLatencyWhenAsked();

    const int status = QApplication::exec();
    // A signal ends the loop without closing the window: the recording's
    // last row goes out here, and a fan test puts PWM1 back, before
    // anything may leave in a hurry.
    window.finishBeforeLeaving(RestoreLimit);
    qCInfo(runStatistics, "%llu readings polls, %llu ticks skipped (%llu of them never came: the program was stopped "
                          "or held up)",
           static_cast<unsigned long long>(session.pollCount()), static_cast<unsigned long long>(session.skippedTicks()),
           static_cast<unsigned long long>(session.missedTicks()));
    if (!session.stopBus(BusStopLimit)) {
        // A transaction is stuck in the kernel and may stay there for the
        // adapter's timeout. Nothing of ours waits on it: leave now.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
