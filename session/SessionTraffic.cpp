// What the user sends by hand, and what must be asked first. Reads behind
// a kernel driver's back: the driver reads its device in ordered pairs,
// and a read of ours between them can split a pair on either side; so
// nothing goes there until the user says so, once in a run for each
// controller and address. A No holds until the target is that device
// again, or the user asks from the Tools menu.

#include "session/BenchSession.h"
#include "chip/Conversions.h"

namespace rm = RegisterMap;

bool BenchSession::askBeforeWriting(std::uint8_t device)
{
    for (const WriteQuestion& question : guard_.questionsFor(device)) {
        if (!host_)
            return false;
        if (question.kind == WriteQuestion::Kind::DangerousAddress) {
            if (!host_->confirmDangerousWrite(device, question.risk))
                return false;
        } else {
            if (!host_->confirmWriteBehindDriver(device, question.driver))
                return false;
            permitBehindDriver(device);
        }
    }
    return true;
}

bool BenchSession::mayRead(std::uint8_t device)
{
    if (guard_.mustAskBeforeReading(device)) {
        if (!host_ || !host_->confirmGuardedRead(device))
            return false;
        guard_.consentToRead(device);
    }
    return mayReadBehindDriver(device);
}

bool BenchSession::mayReadBehindDriver(std::uint8_t device)
{
    if (!guard_.readHeldBack(device))
        return true;
    // With no one to ask, nothing is sent, and no answer is taken as given.
    if (!host_ || askingAboutDriver_ || !guard_.mustAskBeforeReadingBehindDriver(device))
        return false;
    const int controller = guard_.controller();
    askingAboutDriver_ = true;
    const bool yes = host_->confirmReadBehindDriver(device, controller, guard_.driverOf(device));
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

bool BenchSession::readAgainBehindDriver(const BusOutcome& read, std::uint8_t device, std::uint64_t choice)
{
    if (!read.heldBackByDriver() || choice != controllerChoice_)
        return false;
    learnDriverFrom(read, device, choice);
    return mayReadBehindDriver(device);
}

bool BenchSession::agreedAfterDriverRefusal(const BusOutcome& write, std::uint8_t device, std::uint64_t choice)
{
    // Not when the controller was chosen again since the write was made:
    // the answer would send it to another bus.
    if (!write.heldBackByDriver() || choice != controllerChoice_)
        return false;
    learnDriverFrom(write, device, choice);
    if (!host_ || !host_->confirmWriteBehindDriver(device, write.driver))
        return false;
    permitBehindDriver(device);
    return true;
}

void BenchSession::permitBehindDriver(std::uint8_t device)
{
    // A Yes to writing there is a Yes to reading there too.
    guard_.consent(device);
    if (device == module_.DeviceAddress) {
        followPending_ = true;
        health_.pollRefused({});
    }
    jobs_.run([device](CorvaneProtocol& chip) { chip.permitWriteBehindDriver(device); return 0; }, this, [](int) {});
}

void BenchSession::learnDriverFrom(const BusOutcome& outcome, std::uint8_t device, std::uint64_t choice)
{
    // A result from before a controller choice is about the other bus.
    if (outcome.driver.empty() || choice != controllerChoice_ || guard_.driverOf(device) == outcome.driver)
        return;
    guard_.learnDriver(device, outcome.driver);
    showDriverTip();
}

void BenchSession::showDriverTip()
{
    const std::uint8_t device = module_.DeviceAddress;
    const std::string driver = guard_.driverOf(device);
    const std::string client = driver.empty() ? std::string() : busNames_.kernelClientName(guard_.controller(), device);
    const QString tip = client.empty() ? QString() : QString::fromStdString(unbindDriverText(client, driver));
    if (tip == driverTip_)
        return;
    driverTip_ = tip;
    emit driverTipChanged(tip);
}

void BenchSession::readPastKernelDriver()
{
    const std::uint8_t device = module_.DeviceAddress;
    // sysfs says, without a transaction; the device may never have been
    // read, and a driver may have been unbound or bound since.
    recheckOwnership();
    const std::string driver = guard_.driverOf(device);
    const QString where =
        QString::fromStdString("device " + deviceText(device) + " on " + controllerText(guard_.controller()));
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

bool BenchSession::write(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    if (!askBeforeWriting(device))
        return false;
    queueWrite(device, reg, data);
    return true;
}

void BenchSession::queueWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    const std::uint64_t choice = controllerChoice_;
    jobs_.run([=](CorvaneProtocol& chip) { return chip.writeRegister(device, reg, data); }, this,
              [=, this](const BusOutcome& write) {
                  if (write.ok())
                      return;
                  if (agreedAfterDriverRefusal(write, device, choice)) {
                      queueWrite(device, reg, data);
                      return;
                  }
                  health_.writeFailed(reg, device, write, now());
                  refreshStatus();
              });
}

bool BenchSession::writeChecked(std::uint8_t device, std::uint8_t reg, std::uint8_t data, QObject* receiver,
                                std::function<void(const CheckedWrite&)> done)
{
    if (!askBeforeWriting(device))
        return false;
    queueCheckedWrite(device, reg, data, receiver, std::move(done));
    return true;
}

void BenchSession::queueCheckedWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t data, QObject* receiver,
                                     std::function<void(const CheckedWrite&)> done)
{
    const std::uint64_t choice = controllerChoice_;
    jobs_.run([=](CorvaneProtocol& chip) { return chip.writeAndReadBack(device, reg, data); }, receiver,
              [=, this](const CheckedWrite& result) {
                  if (agreedAfterDriverRefusal(result.write, device, choice)) {
                      queueCheckedWrite(device, reg, data, receiver, done);
                      return;
                  }
                  if (!result.write.ok()) {
                      health_.writeFailed(reg, device, result.write, now());
                      refreshStatus();
                  }
                  done(result);
              });
}

bool BenchSession::readRegister(std::uint8_t device, std::uint8_t reg, QObject* receiver,
                                std::function<void(const ByteRead&)> done)
{
    if (!mayRead(device)) {
        const bool heldBack = guard_.readHeldBack(device);
        announce(QString::fromStdString(heldBack ? notReadBehindDriverText(device, guard_.driverOf(device))
                                                 : "Nothing was sent to device " + deviceText(device) + "."),
                 heldBack);
        return false;
    }
    queueRead(device, reg, receiver, std::move(done));
    return true;
}

void BenchSession::queueRead(std::uint8_t device, std::uint8_t reg, QObject* receiver,
                             std::function<void(const ByteRead&)> done)
{
    const std::uint64_t choice = controllerChoice_;
    jobs_.run([device, reg](CorvaneProtocol& chip) { return chip.readRegister(device, reg); }, receiver,
              [=, this](const ByteRead& read) {
                  // Held back, so nothing went out: once the user agrees, read.
                  if (readAgainBehindDriver(read, device, choice)) {
                      queueRead(device, reg, receiver, done);
                      return;
                  }
                  learnDriverFrom(read, device, choice);
                  if (read.heldBackByDriver()) {
                      announce(QString::fromStdString(notReadBehindDriverText(device, read.driver)), true);
                  } else if (!read.ok()) {
                      health_.readFailed(reg, device, read, now());
                      refreshStatus();
                  }
                  done(read);
              });
}

bool BenchSession::changeSetting(Setting setting, int k)
{
    const std::uint8_t device = module_.DeviceAddress;
    // Asked before any traffic: the read and the write are one job, made
    // only after the answer.
    if (!askBeforeWriting(device))
        return false;
    queueSettingChange(setting, k, device);
    return true;
}

void BenchSession::queueSettingChange(Setting setting, int k, std::uint8_t device)
{
    const std::uint64_t choice = controllerChoice_;
    jobs_.run([=](CorvaneProtocol& chip) { return chip.changeSetting(setting, device, k); }, this,
              [=, this](const SettingChange& change) {
                  if (!change.read.ok()) {
                      health_.readFailed(change.reg, device, change.read, now());
                      refreshStatus();
                  } else if (!change.write->ok()) {
                      if (agreedAfterDriverRefusal(*change.write, device, choice)) {
                          queueSettingChange(setting, k, device);
                          return;
                      }
                      health_.writeFailed(change.reg, device, *change.write, now());
                      refreshStatus();
                  }
                  reportSettingChange(setting, k, change);
              });
}

void BenchSession::reportSettingChange(Setting setting, int k, const SettingChange& change)
{
    if (change.read.ok() && change.write && change.write->ok() && setting == Setting::Behaviour && change.duty.ok())
        module_.DutyPercent = rm::dutyPercent(change.duty.value);
    emit settingChanged(setting, k, change);
}

void BenchSession::reportDutyWrite(const CheckedWrite& write)
{
    if (write.write.ok())
        module_.DutyPercent = rm::dutyPercent(write.wanted);
    emit dutyWritten(write);
}
