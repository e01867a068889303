// Opens the bench window on the simulated chip and runs until it closes.

#include "bus/SimulatedBus.h"
#include "ui/ApplicationTitle.h"
#include "ui/BenchStyle.h"
#include "ui/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(ApplicationTitle));
    applyBenchStyle(app);

    SimulatedBus bus;
    // Simulated readings must never pass for a real chip's.
    Form1 window(bus, QStringLiteral(" (simulated)"));
    window.show();
    return QApplication::exec();
}
