// The bench window as a Wayland client, under a compositor the runner
// started: it opens, shows the simulated chip's readings, opens Trends by
// its shortcut and the Limits dialog, and quits, while every message Qt's
// Wayland platform says is caught. Prints one line per check; exits 1 when
// any failed.
//
//   wayland-window-check        (QT_QPA_PLATFORM=wayland, WAYLAND_DISPLAY set)

#include "bus/SimulatedBus.h"
#include "ui/main/Form1.h"
#include "ui/trends/TrendsView.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

// What Qt's platform plugins said; shown as they come, and counted.
std::vector<std::string>& platformMessages()
{
    static std::vector<std::string> said;
    return said;
}

void catchMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const std::string category = context.category ? context.category : "";
    std::fprintf(stderr, "%s: %s\n", category.c_str(), text.toLocal8Bit().constData());
    if (category.starts_with("qt.qpa") || type >= QtWarningMsg)
        platformMessages().push_back(category + ": " + text.toStdString());
}

int failures = 0;

void check(bool ok, const std::string& what, const std::string& detail = {})
{
    std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
    std::fflush(stdout);
    failures += ok ? 0 : 1;
}

template <typename Condition>
bool waitFor(Condition condition, int milliseconds = 5000)
{
    for (int waited = 0; waited < milliseconds && !condition(); waited += 20)
        QTest::qWait(20);
    return condition();
}

} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(catchMessages);
    QApplication app(argc, argv);
    check(QGuiApplication::platformName() == QLatin1String("wayland"), "the window is a Wayland client",
          QGuiApplication::platformName().toStdString());

    SimulatedBus bus;
    BenchSession session(bus);
    auto settings = std::make_shared<BenchSettings>(QDir::temp().filePath(QStringLiteral("wayland-check.ini")));
    Form1 window(session, QStringLiteral(" (simulated)"));
    window.useSettings(settings);
    window.show();
    check(QTest::qWaitForWindowExposed(&window), "the compositor shows it");
    const auto temperatures = window.findChildren<QLabel*>(QRegularExpression(QStringLiteral("^lblTemp_")));
    const auto shown = [&temperatures] {
        for (QLabel* label : temperatures) {
            if (label->text().contains(QStringLiteral("°C")))
                return label->text().trimmed().toStdString();
        }
        return std::string();
    };
    const bool readings = waitFor([&] { return !shown().empty(); });
    check(readings, "it shows the chip's readings", shown());
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(&window);
    check(tree && tree->childCount() > 0, "its accessibility tree is there",
          tree ? std::to_string(tree->childCount()) + " children" : "none");

    // A headless compositor has no keyboard, so it never gives the window
    // focus; made active in Qt itself, which asks nothing of the compositor,
    // the keys below go where a user's would.
    QApplication::setActiveWindow(&window);
    // Trends by its shortcut, as a second window.
    QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
    QMainWindow* trends = nullptr;
    check(waitFor([&] {
              trends = window.findChild<QMainWindow*>(QStringLiteral("trendsWindow"));
              return trends && trends->isVisible();
          }),
          "Ctrl+T opens Trends");
    if (trends)
        check(QTest::qWaitForWindowExposed(trends), "and the compositor shows it");

    // The Limits dialog, closed by Escape once it is up.
    QApplication::setActiveWindow(&window);
    bool dialogShown = false;
    QTimer::singleShot(0, &window, [&] {
        waitFor([&] { return QApplication::activeModalWidget() != nullptr; });
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            dialogShown = QTest::qWaitForWindowExposed(dialog);
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
    });
    QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
    check(dialogShown, "Ctrl+L opens the Limits dialog, and Escape closes it");

    // Closed with Trends open, as a user leaves it: both are opened again,
    // at their sizes, wherever the compositor puts them.
    const QSize size = window.size();
    window.close();
    QTest::qWait(200);
    window.finishBeforeLeaving(std::chrono::milliseconds(2000));
    session.stopBus(std::chrono::milliseconds(1000));
    {
        SimulatedBus again;
        BenchSession second(again);
        Form1 reopened(second, QStringLiteral(" (simulated)"));
        reopened.useSettings(settings);
        reopened.show();
        check(QTest::qWaitForWindowExposed(&reopened) && reopened.size() == size,
              "opened again, it keeps its size and leaves its place to the compositor");
        check(waitFor([&] {
                  auto* shownAgain = reopened.findChild<QMainWindow*>(QStringLiteral("trendsWindow"));
                  return shownAgain && shownAgain->isVisible();
              }),
              "and Trends opens again with it");
        reopened.close();
        QTest::qWait(200);
        reopened.finishBeforeLeaving(std::chrono::milliseconds(2000));
        second.stopBus(std::chrono::milliseconds(1000));
    }
    QFile::remove(QDir::temp().filePath(QStringLiteral("wayland-check.ini")));

    std::string said;
    for (const std::string& message : platformMessages())
        said += "\n  " + message;
    check(platformMessages().empty(), "nothing from Qt's platform, from start to quit", said);
    std::printf("%s: %d failed\n", failures ? "SOME CHECKS FAILED" : "ALL CHECKS PASSED", failures);
    return failures ? 1 : 0;
}
