// Reads behind a kernel driver's back. The driver reads its device in
// ordered pairs, and a read of ours between them can split a pair on
// either side; so nothing goes there until the user says so, once in a
// run for each controller and address. A No holds until the user points
// the window at the device again, or asks from the Tools menu.

#include "ui/main/Form1.h"
#include "ui/widgets/MessageBoxes.h"

bool Form1::mayReadBehindDriver(std::uint8_t device)
{
    if (!guard_.readHeldBack(device))
        return true;
    if (askingAboutDriver_ || !guard_.mustAskBeforeReadingBehindDriver(device))
        return false;
    const int controller = guard_.controller();
    askingAboutDriver_ = true;
    const bool yes = confirmReadBehindDriver(this, device, controller, guard_.driverOf(device));
    askingAboutDriver_ = false;
    if (!yes) {
        guard_.declineReadBehindDriver(device);
        return false;
    }
    guard_.consentToReadBehindDriver(device);
    // Queued ahead of whatever the caller sends next.
    jobs_.run(
        [controller, device](CorvaneProtocol& chip) {
            chip.permitReadBehindDriver(controller, device);
            return 0;
        },
        this, [](int) {});
    if (device == module_.DeviceAddress) {
        // The settings were never read: read them with the next poll.
        followPending_ = true;
        health_.pollRefused({});
        refreshStatus();
    }
    return true;
}

bool Form1::readAgainBehindDriver(const BusOutcome& read, std::uint8_t device, std::uint64_t choice)
{
    if (!read.heldBackByDriver() || choice != controllerChoice_)
        return false;
    learnDriverFrom(read, device, choice);
    return mayReadBehindDriver(device);
}

void Form1::learnDriverFrom(const BusOutcome& outcome, std::uint8_t device, std::uint64_t choice)
{
    // A result from before a controller click is about the other bus.
    if (outcome.driver.empty() || choice != controllerChoice_ || guard_.driverOf(device) == outcome.driver)
        return;
    guard_.learnDriver(device, outcome.driver);
    showDriverTip();
}

void Form1::showDriverTip()
{
    const std::uint8_t device = module_.DeviceAddress;
    const std::string driver = guard_.driverOf(device);
    const std::string client = driver.empty() ? std::string() : busNames_.kernelClientName(guard_.controller(), device);
    const QString tip = client.empty() ? QString() : QString::fromStdString(unbindDriverText(client, driver));
    if (statusLine_->toolTip() != tip)
        statusLine_->setToolTip(tip);
}

void Form1::readPastKernelDriver()
{
    const std::uint8_t device = module_.DeviceAddress;
    // sysfs says, without a transaction; the device may never have been
    // read, and a driver may have been unbound or bound since.
    recheckOwnership();
    const std::string driver = guard_.driverOf(device);
    const QString where = QString::fromStdString("device " + deviceText(device) + " on " +
                                                 controllerText(guard_.controller()));
    if (driver.empty()) {
        announce(QStringLiteral("No kernel driver holds %1: it is read without going past one.").arg(where));
        return;
    }
    if (!guard_.readHeldBack(device)) {
        announce(QStringLiteral("Reads of %1 already go past the kernel's %2 driver.")
                     .arg(where, QString::fromStdString(driver)));
        return;
    }
    guard_.askAgain(device);
    mayReadBehindDriver(device);
}
