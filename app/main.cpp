// Opens the bench window on the bus the command line asks for and runs
// until it closes, or runs the command the command line gives.

#include "BusOpening.h"
#include "CommandLine.h"
#include "CommandMain.h"
#include "NoDisplay.h"
#include "RunWindow.h"
#include "ui/Form1.h"
#include "ui/ApplicationTitle.h"
#include "ui/BenchStyle.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <cstdio>
#include <ext/stdio_filebuf.h>
#include <ostream>

namespace {

QStringList argumentList(int argc, char* argv[])
{
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments << QString::fromLocal8Bit(argv[index]);
    return arguments;
}

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QString::fromUtf8(ApplicationTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_BENCH_VERSION));

    const auto parsed = parseCommandLine(argumentList(argc, argv));
    if (const auto* exit = std::get_if<EarlyExit>(&parsed)) {
        print(exit->status == 0 ? stdout : stderr, exit->text);
        return exit->status;
    }
    if (const auto* command = std::get_if<CommandRequest>(&parsed)) {
        QCoreApplication app(argc, argv);
        // Streams made here rather than <iostream>'s, whose set-up every
        // start of the window would pay for.
        __gnu_cxx::stdio_filebuf<char> outBuffer(stdout, std::ios::out), errBuffer(stderr, std::ios::out);
        std::ostream out(&outBuffer), err(&errBuffer);
        err.setf(std::ios::unitbuf); // in order with whatever else goes to stderr
        const int status = runCommandLine(*command, out, err);
        out.flush();
        err.flush();
        return status;
    }
    const BusRequest& request = std::get<BusRequest>(parsed);

    auto opened = openBus(request);
    const auto* problem = std::get_if<SmbusAccessProblem>(&opened);
    // Adapters named on the command line are a deliberate choice: no window
    // and no offer of the simulated chip when they can't be used.
    if (problem && request.kind == BusRequest::Kind::NamedAdapters) {
        print(stderr, QStringLiteral("corvane-bench: %1\n").arg(QString::fromStdString(describe(*problem))));
        return BadCommandLineStatus;
    }

    if (noDisplayNamed()) {
        std::fputs(NoDisplayText, stderr);
        return ExitStatus::BadCommandLine;
    }
    endQuietlyIfTheDisplayFails();
    QApplication app(argc, argv);
    displayReached();
    applyBenchStyle(app);
    if (problem) {
        if (!askToRunSimulated(nullptr, QString::fromStdString(describe(*problem))))
            return ExitStatus::NoSmbus;
        opened = simulatedBus();
    }
    OpenedBus& bus = std::get<OpenedBus>(opened);
    return runWindow(*bus.bus, bus.titleSuffix, [&request](Form1& window) {
        window.useSettings(request.noSettings ? std::make_shared<BenchSettings>()
                                              : std::make_shared<BenchSettings>(BenchSettings::userFile()));
        if (!request.recordPath.isEmpty())
            window.startRecording(request.recordPath, CsvRecorder::Interval(0));
    });
}
