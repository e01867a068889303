#include "session/BenchSession.h"
#include "chip/Conversions.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cstdio>

namespace rm = RegisterMap;

BenchSession::BenchSession(BusAdapter& bus, QObject* parent)
    : QObject(parent), recording_(alarms_), busNames_(bus), Timer1(this), jobs_(bus)
{
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(PollIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &BenchSession::Timer1_Timer);
    connect(&alarms_, &BenchAlarms::statusChanged, this, [this](const QString& text) {
        health_.alarm(text.toStdString());
        refreshStatus();
    });
    connect(&recording_, &BenchRecording::problem, this, [this](const QString& text) { announce(text, true); });
    // Until start-up's reads come back, which on a slow bus takes seconds.
    // Controller 2 first, or the one controller where there is no second.
    const std::string firstTried = bus.nameOfController(1).empty() ? bus.nameOfController(0) : bus.nameOfController(1);
    shownStatus_ = QStringLiteral("Reading device %1 on %2…")
                       .arg(QString::fromStdString(deviceText(rm::DefaultDeviceAddress)),
                            QString::fromStdString(firstTried));
}

BenchSession::~BenchSession()
{
    // The settings may outlive the session; failures are no longer its to say.
    settings_->onWriteFailure({});
}

void BenchSession::start()
{
    if (starting_)
        return;
    starting_ = true;
    module_.DeviceAddress = rm::DefaultDeviceAddress;
    readStartup(std::nullopt);
}

void BenchSession::readStartup(std::optional<int> controller)
{
    const std::uint8_t device = module_.DeviceAddress;
    const std::uint64_t choice = controllerChoice_;
    using Identification = std::optional<std::array<std::uint8_t, 3>>;
    jobs_.run(
        [device, controller](CorvaneProtocol& chip) {
            std::pair<Startup, Identification> found{chip.startUp(device, controller), std::nullopt};
            if (found.first.answered && found.first.settings.complete())
                found.second = chip.readIdentification(device);
            return found;
        },
        this,
        [this, device, choice](const std::pair<Startup, Identification>& found) {
            showStartup(found.first, found.second, device, choice);
        });
}

void BenchSession::showStartup(const Startup& startup, const std::optional<std::array<std::uint8_t, 3>>& identification,
                               std::uint8_t device, std::uint64_t choice)
{
    // Start-up reads while the views are up: a controller picked meanwhile
    // is already queued behind it and shows its own result; a device typed
    // meanwhile is followed at the next tick, and 0x2E's bytes are not its.
    if (choice == controllerChoice_) {
        controllerName_ = startup.controllerName;
        controllerBase_ = startup.base;
        guard_.setController(startup.controller);
        emit controllerShown(startup.controller, startup.base);
    }
    health_.setBus(controllerName_, module_.DeviceAddress);
    alarms_.setOrigin(originText());
    if (device != module_.DeviceAddress) {
        followPending_ = true;
    } else if (startup.answered) {
        learnDriverFrom(startup.outcome, device, choice);
        health_.observe(startup.settings.outcome, module_.DeviceAddress, now());
        showSettings(startup.settings);
        if (identification && choice == controllerChoice_)
            showIdentification(*identification);
    } else if (startup.outcome.heldBackByDriver()) {
        // Nothing was sent: the first tick asks whether to read past the
        // driver, and reads the settings once the user agrees.
        learnDriverFrom(startup.outcome, device, choice);
        followPending_ = true;
        health_.pollRefused(notReadBehindDriverText(device, startup.outcome.driver));
    } else {
        health_.answeredNowhere(startup.outcome, module_.DeviceAddress, now(), startup.triedBoth);
        // Read the chip's settings at each tick until it answers.
        followPending_ = true;
    }
    showGone();
    // Start-up's reads run again when an adapter comes back: the poll
    // runs on as it was.
    if (started_)
        return;
    started_ = true;
    Timer1.start();
    emit started();
}

void BenchSession::showSettings(const ChipSettings& settings)
{
    if (settings.offsetCoded)
        TempOffsetMode = *settings.offsetCoded;
    if (settings.duty.ok())
        module_.DutyPercent = rm::dutyPercent(settings.duty.value);
    emit settingsRead(settings);
}

void BenchSession::showIdentification(const std::array<std::uint8_t, 3>& bytes)
{
    const bool chip = rm::identifiesAsChip(bytes[0], bytes[1]);
    alarms_.setApplies(chip, now());
    char identification[16];
    std::snprintf(identification, sizeof identification, "%02X %02X %02X", bytes[0], bytes[1], bytes[2]);
    health_.notTheChip(chip ? std::string()
                            : "is not a Corvane (identification " + std::string(identification) +
                                  "): no limits apply");
}

QString BenchSession::originText() const
{
    return QStringLiteral("device %1 on %2")
        .arg(QString::fromStdString(deviceText(module_.DeviceAddress)), QString::fromStdString(controllerName_));
}

void BenchSession::endTarget()
{
    alarms_.endAll(now(), BenchAlarms::EndCause::TargetChanged);
    // Not known to be another device until its identification is read.
    alarms_.setApplies(true, now());
    alarms_.setOrigin(originText());
    emit targetChanged();
}

void BenchSession::setDevice(std::uint8_t device)
{
    if (device > 0x7F) {
        deviceUnnamed();
        return;
    }
    if (device == module_.DeviceAddress)
        return;
    module_.DeviceAddress = device;
    // Read once at the next tick, however many keystrokes land before it.
    followPending_ = true;
    // Pointed at it again: a No to reading past its driver is asked again,
    // about the driver that owns it now.
    guard_.askAgain(device);
    recheckOwnership();
    health_.setBus(controllerName_, device);
    endTarget();
    refreshStatus();
}

void BenchSession::deviceUnnamed()
{
    health_.dropDeviceNotes();
    refreshStatus();
}

void BenchSession::chooseDevice(std::uint8_t device, const std::string& driver)
{
    learnDriverFrom(BusOutcome{EBUSY, driver}, device, controllerChoice_);
    setDevice(device);
    emit deviceChosen(device);
}

void BenchSession::selectController(int index)
{
    // Chosen again while its adapter is gone: what came in its place, at
    // another place, is taken now, as the user asked.
    if (index >= 0 && index < static_cast<int>(gone_.size()) && gone_[static_cast<std::size_t>(index)] &&
        takeStranger_ && takeStranger_(index)) {
        gone_[static_cast<std::size_t>(index)].reset();
        health_.note(controllerText(index, busNames_.nameOfController(index)) +
                         " is now the adapter that came in its place",
                     now());
    }
    // What is learnt about drivers from now on, and agreed to, is about
    // this bus; pointed at the device again, a No there is asked again.
    guard_.setController(index);
    guard_.askAgain(module_.DeviceAddress);
    recheckOwnership();
    ++controllerChoice_;
    followPending_ = true;
    endTarget();
    jobs_.run(
        [index](CorvaneProtocol& chip) { return std::make_pair(chip.selectController(index), chip.controllerName()); },
        this,
        [this, index](const std::pair<std::uint16_t, std::string>& chosen) {
            // The plots mark where the readings start to come from another bus.
            recording_.mark(controllerText(index));
            controllerName_ = chosen.second;
            controllerBase_ = chosen.first;
            emit controllerShown(index, chosen.first);
            health_.setBus(controllerName_, module_.DeviceAddress);
            alarms_.setOrigin(originText());
            showGone();
        });
}

void BenchSession::adapterGone(int controller)
{
    if (controller < 0 || controller >= static_cast<int>(gone_.size()))
        return;
    gone_[static_cast<std::size_t>(controller)] = Gone{busNames_.nameOfController(controller), now(), {}};
    showGone();
}

void BenchSession::adapterBack(int controller)
{
    if (controller < 0 || controller >= static_cast<int>(gone_.size()) || !gone_[static_cast<std::size_t>(controller)])
        return;
    gone_[static_cast<std::size_t>(controller)].reset();
    health_.note(BusHealth::adapterBackText(controller, busNames_.nameOfController(controller), now()), now());
    showGone();
    if (controller != guard_.controller())
        return; // read when the user chooses it
    // Start-up's reads again, reads only: the chip may have been reset.
    readStartup(controller);
}

void BenchSession::strangerWaiting(int controller, const std::string& text)
{
    if (controller < 0 || controller >= static_cast<int>(gone_.size()) || !gone_[static_cast<std::size_t>(controller)])
        return;
    gone_[static_cast<std::size_t>(controller)]->stranger = text;
    showGone();
}

void BenchSession::showGone()
{
    const int controller = guard_.controller();
    const auto& gone = controller >= 0 && controller < static_cast<int>(gone_.size())
                           ? gone_[static_cast<std::size_t>(controller)]
                           : std::nullopt;
    health_.adapterGone(!gone ? std::string()
                              : BusHealth::adapterGoneText(controller, gone->name, gone->since) +
                                    (gone->stranger.empty() ? std::string() : "; " + gone->stranger));
    refreshStatus();
}

void BenchSession::recheckOwnership()
{
    const std::uint8_t device = module_.DeviceAddress;
    const std::string driver = busNames_.kernelDriverOn(guard_.controller(), device);
    if (guard_.ownedBy(device, driver) && driver.empty()) {
        // Unbound since: the poll reads it again, and nothing asks about it.
        followPending_ = true;
        health_.pollRefused({});
    }
    showDriverTip();
}

void BenchSession::announce(const QString& text, bool problem)
{
    if (leaving_)
        std::fprintf(stderr, "corvane-bench: %s\n", text.toLocal8Bit().constData());
    health_.note(text.toStdString(), now(), problem);
    refreshStatus();
}

void BenchSession::refreshStatus()
{
    const Time at = now();
    const QString text = QString::fromStdString(health_.text(at));
    const bool troubled = health_.troubled(at);
    if (text == shownStatus_ && troubled == shownTroubled_)
        return;
    shownStatus_ = text;
    shownTroubled_ = troubled;
    emit statusChanged(text, troubled);
}

void BenchSession::lockForFanTest(bool locked)
{
    fanTestRunning_ = locked;
    health_.activity(locked ? "Fan test running: PWM1 is held in Manual Mode" : std::string());
    refreshStatus();
    emit fanTestLocked(locked);
}

void BenchSession::beginLeaving()
{
    // From here on the status line may never be seen again: its notes go
    // to stderr too, the recording's own last words among them.
    leaving_ = true;
    recording_.stop();
    // No more polls queued ahead of what must still be done.
    Timer1.stop();
}

bool BenchSession::finishLeaving(std::chrono::milliseconds limit)
{
    // A restore's job is queued: let it run, and its result show, before
    // the bus thread is told to stop.
    QDeadlineTimer deadline(limit);
    while (leavingHeld_ > 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // Window places and the like are set as windows close: written now,
    // where a failure can still be said.
    settings_->flush();
    return leavingHeld_ == 0;
}

void BenchSession::useSettings(std::shared_ptr<BenchSettings> settings)
{
    settings_ = std::move(settings);
    settings_->onWriteFailure([this](const QString& why) { announce(why, true); });
    if (!settings_->problem().isEmpty())
        announce(settings_->problem(), true);
    alarms_.setLimits(settings_->limits(), now());
}

void BenchSession::setLimits(const std::vector<LimitSetting>& limits)
{
    settings_->setLimits(limits);
    alarms_.setLimits(limits, now());
}
