// Opens the bench window on the bus the command line asks for and runs
// until it closes, or runs the command the command line gives.

#include "CommandLine.h"
#include "CommandsEntry.h"
#include "WindowEntry.h"
#include "session/ApplicationTitle.h"
#include "session/ModuleLoader.h"

#include <QCoreApplication>
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
        QString loadError;
        const auto run =
            reinterpret_cast<CommandsEntry>(resolveInModule("corvane-commands", CommandsEntrySymbol, &loadError));
        if (!run) {
            print(stderr, QStringLiteral("corvane-bench: the commands module cannot be loaded: %1\n").arg(loadError));
            return ExitStatus::BadCommandLine;
        }
        const int status = run(*command, out, err);
        out.flush();
        err.flush();
        return status;
    }
    // The window, from its module: a command never loads it.
    QString loadError;
    const auto window = reinterpret_cast<WindowEntry>(resolveInModule("corvane-window", WindowEntrySymbol, &loadError));
    if (!window) {
        print(stderr, QStringLiteral("corvane-bench: the window module cannot be loaded: %1\n").arg(loadError));
        return ExitStatus::BadCommandLine;
    }
    return window(argc, argv, std::get<BusRequest>(parsed));
}
