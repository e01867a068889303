#include "NoDisplay.h"

#include "ExitStatus.h"

#include <QString>
#include <QtGlobal>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

const char* const NoDisplayText = "corvane-bench: the window needs a display, and none can be reached (DISPLAY or "
                                  "WAYLAND_DISPLAY); the commands need none: see corvane-bench --help.\n";

namespace {

// Each platform plugin's complaint on the way to the fatal one is a line
// the user can do nothing with; the fatal one becomes the sentence.
void onStartingMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fputs(NoDisplayText, stderr);
        std::fflush(stderr);
        ::_exit(ExitStatus::BadCommandLine);
    }
    const char* category = context.category ? context.category : "";
    if (std::strncmp(category, "qt.qpa", 6) != 0)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

bool noDisplayNamed()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

void endQuietlyIfTheDisplayFails()
{
    qInstallMessageHandler(onStartingMessage);
}

void displayReached()
{
    qInstallMessageHandler(nullptr);
}
