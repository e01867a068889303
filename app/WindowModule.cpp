// The window's half of the program: the display, the application object,
// the question where the SMBus cannot be used, and the window itself.

#include "BusOpening.h"
#include "session/AdapterFollower.h"
#include "NoDisplay.h"
#include "RunWindow.h"
#include "WindowEntry.h"
#include "ui/widgets/BenchStyle.h"
#include "ui/main/Form1.h"
#include "ui/widgets/MessageBoxes.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

extern "C" Q_DECL_EXPORT int corvaneWindow(int& argc, char** argv, const BusRequest& request)
{
    auto opened = openBus(request);
    const auto* problem = std::get_if<SmbusAccessProblem>(&opened);
    // Adapters named on the command line are a deliberate choice: no window
    // and no offer of the simulated chip when they can't be used.
    if (problem && request.kind == BusRequest::Kind::NamedAdapters) {
        std::fprintf(stderr, "corvane-bench: %s\n", describe(*problem).c_str());
        return ExitStatus::BadCommandLine;
    }

    if (noDisplayNamed()) {
        std::fputs(NoDisplayText, stderr);
        return ExitStatus::BadCommandLine;
    }
    endQuietlyIfTheDisplayFails();
    // The menu bar stays in the window, above the designed client area, on
    // every desktop. Qt then never asks the session bus whether a global
    // menu is offered: a call made while the menu bar is built, which held
    // the window's start-up until the bus answered (or, with none, until
    // an attempt to start one had failed).
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication app(argc, argv);
    displayReached();
    applyBenchStyle(app);
    if (problem) {
        if (!askToRunSimulated(nullptr, QString::fromStdString(describe(*problem))))
            return ExitStatus::NoSmbus;
        opened = simulatedBus();
    }
    OpenedBus& bus = std::get<OpenedBus>(opened);
    return runWindow(*bus.bus, bus.titleSuffix, [&request, &bus](Form1& window) {
        followAdaptersOf(window.session(), *bus.bus);
        window.useSettings(request.noSettings ? std::make_shared<BenchSettings>()
                                              : std::make_shared<BenchSettings>(BenchSettings::userFile()));
        if (!request.recordPath.isEmpty())
            window.startRecording(request.recordPath, CsvRecorder::Interval(0));
        // Once the main window is up, so each recording's window opens over it.
        for (const QString& path : request.recordingsToOpen)
            QTimer::singleShot(0, &window, [&window, path] { window.openRecording(path); });
    });
}
