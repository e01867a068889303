// gtest main for the widget tests: one QApplication on the offscreen
// platform, styled like the real program. It is made only when tests run,
// so listing the tests needs no display.

#include "session/ApplicationTitle.h"
#include "ui/widgets/BenchStyle.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The offscreen platform says so each time a popup asks for what it lacks
// (raise, keyboard grab); those notices bury real failures.
void quietOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    qt_message_output(type, context, message);
}

class QtEnvironment : public testing::Environment {
public:
    QtEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietOffscreenNotices);
        app_ = std::make_unique<QApplication>(argc_, argv_);
        QApplication::setApplicationName(QString::fromUtf8(ApplicationTitle));
        applyBenchStyle(*app_);
    }

    void TearDown() override { app_.reset(); }

private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> app_;
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new QtEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
