// The bench window on an i2c-dev where every transaction takes a second, as
// on an SMBus whose adapter times out on a device that holds the clock: for
// showing that the window never waits on the bus.
//
//   slow-bus-window [--key-latency FILE]
//
// With --key-latency it writes, for each key press in the device-address
// field, the milliseconds from the press (as the X server stamped it) to
// the field painting its new text, one per line.

#include "app/KeyLatency.h"
#include "app/RunWindow.h"
#include "bus/LinuxSmbus.h"
#include "support/FakeI2cDev.h"
#include "ui/widgets/BenchStyle.h"
#include "ui/main/Form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTextStream>
#include <thread>

namespace {

class SlowI2cDev : public FakeI2cDev {
public:
    int readByteData(int fd, std::uint8_t reg) override
    {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return FakeI2cDev::readByteData(fd, reg);
    }
    int writeByteData(int fd, std::uint8_t reg, std::uint8_t data) override
    {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return FakeI2cDev::writeByteData(fd, reg, data);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    applyBenchStyle(app);
    const QStringList arguments = QApplication::arguments();
    const qsizetype latencyAt = arguments.indexOf(QStringLiteral("--key-latency"));

    auto dev = std::make_unique<SlowI2cDev>();
    dev->files = {"/dev/i2c-slow"};
    dev->addDevice("/dev/i2c-slow", 0x2E);
    LinuxSmbus bus({std::nullopt, SmbusAdapter{9, "Slow SMBus adapter at 0b00", "/dev/i2c-slow", 0x0b00, true, "/sys/devices/pci0000:00/0000:00:1f.3"}},
                   std::move(dev), "/nonexistent");
    return runWindow(bus, QStringLiteral(" (slow bus)"), [&](Form1& window) {
        if (latencyAt >= 0 && latencyAt + 1 < arguments.size()) {
            QLineEdit* field = window.controls().txtDevAddr;
            auto* file = new QFile(arguments[latencyAt + 1], field);
            file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
            field->installEventFilter(new KeyLatency(
                [file](double ms) {
                    QTextStream(file) << ms << '\n';
                    file->flush();
                },
                field));
        }
    });
}
