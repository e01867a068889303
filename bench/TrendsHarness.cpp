// The bench window on the simulated chip with its readings held, the Trends
// window open on ten minutes of history, following: what a tick costs with
// both windows up.
//
//   trends-window

#include "HistoryFill.h"
#include "app/RunWindow.h"
#include "ui/widgets/BenchStyle.h"
#include "ui/main/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    applyBenchStyle(app);
    SimulatedBus bus;
    bus.holdReadings();
    return runWindow(bus, QStringLiteral(" (simulated)"), [](Form1& window) {
        const auto now = std::chrono::system_clock::now();
        fillHistory(window.session().history(), now - std::chrono::minutes(10), std::chrono::minutes(10));
        window.showTrends();
    });
}
