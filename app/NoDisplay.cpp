#include "NoDisplay.h"

#include "protocol/ExitStatus.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

const char* const NoDisplayText = "corvane-bench: the window needs a display, and none can be reached (DISPLAY or "
                                  "WAYLAND_DISPLAY); the commands need none: see corvane-bench --help.\n";

namespace {

// The platform plugin's own warnings say why it failed ("could not connect
// to display :5") and go out as they come; its fatal message, which would
// abort with advice to reinstall, becomes the sentence and the status.
void onStartingMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fputs(NoDisplayText, stderr);
        std::fflush(stderr);
        ::_exit(ExitStatus::BadCommandLine);
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
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
