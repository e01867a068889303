#include "ui/fantest/FanTestRun.h"

#include "session/BenchSession.h"
#include "chip/Conversions.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"
#include "protocol/BusHealth.h"
#include "protocol/AddressGuard.h"

#include <QPointer>
#include <QTimer>
#include <chrono>

namespace rm = RegisterMap;

namespace {

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void timerWait(double seconds, QObject* context, std::function<void()> then)
{
    QTimer::singleShot(std::chrono::milliseconds(static_cast<long long>(seconds * 1000)), Qt::PreciseTimer, context,
                       std::move(then));
}

QString failure(const BusOutcome& outcome)
{
    return QString::fromStdString(errorText(outcome.error));
}

struct SavedPwm {
    ByteRead configuration = NotRead;
    ByteRead duty = NotRead;
};

} // namespace

FanTestRun::FanTestRun(BenchSession& session, Clock clock, Wait wait, QObject* parent)
    : QObject(parent), session_(session), clock_(clock ? std::move(clock) : steadySeconds),
      wait_(wait ? std::move(wait) : timerWait)
{
}

FanTestRun::~FanTestRun()
{
    // Put back all the same; only the session hears of it now.
    blockSignals(true);
    cancel();
}

bool FanTestRun::start(const FanSweepSettings& settings)
{
    if (running())
        return false;
    const std::uint8_t device = session_.shared().DeviceAddress;
    if (!session_.askBeforeWriting(device))
        return false;
    device_ = device;
    session_.lockForFanTest(true);
    sweep_ = FanSweep(settings);
    savedConfiguration_.reset();
    savedDuty_.reset();
    stage_ = Stage::Saving;
    const std::uint64_t generation = ++generation_;
    const std::uint64_t choice = session_.controllerChoice();
    session_.runOnBus(
        [device](CorvaneProtocol& chip) {
            SavedPwm saved;
            saved.configuration = chip.readRegister(device, rm::Pwm1Configuration);
            if (saved.configuration.ok())
                saved.duty = chip.readDuty(device);
            return saved;
        },
        this,
        [this, generation, choice](const SavedPwm& pwm) {
            if (generation != generation_)
                return;
            const ByteRead& failed = pwm.configuration.ok() ? pwm.duty : pwm.configuration;
            if (!failed.ok()) {
                stage_ = Stage::Idle;
                session_.lockForFanTest(false);
                // A driver found only now: nothing went out, and the test
                // starts over once the user agrees, asking about writes then.
                if (session_.readAgainBehindDriver(failed, device_, choice)) {
                    if (!start(sweep_.settings()))
                        emit finished(QStringLiteral("Fan test: not started; nothing was written."));
                    return;
                }
                emit finished(failed.heldBackByDriver()
                                  ? QStringLiteral("Fan test: %1; nothing was written.")
                                        .arg(QString::fromStdString(notReadBehindDriverText(device_, failed.driver)))
                                  : QStringLiteral("Fan test: device %1 does not answer (%2); nothing was written.")
                                        .arg(QString::fromStdString(deviceText(device_)), failure(failed)));
                return;
            }
            saved(pwm.configuration.value, pwm.duty.value);
        });
    return true;
}

void FanTestRun::saved(std::uint8_t configuration, std::uint8_t duty)
{
    savedConfiguration_ = configuration;
    savedDuty_ = duty;
    stage_ = Stage::Sweeping;
    const std::uint8_t device = device_;
    const std::uint64_t generation = generation_;
    session_.runOnBus(
        [device](CorvaneProtocol& chip) { return chip.changeSetting(Setting::Behaviour, device, rm::ManualBehaviour); },
        this, [this, generation](const SettingChange& change) {
            if (generation == generation_)
                inManualMode(change);
        });
}

void FanTestRun::inManualMode(const SettingChange& change)
{
    session_.reportSettingChange(Setting::Behaviour, rm::ManualBehaviour, change);
    if (!change.read.ok())
        return stop(QStringLiteral("Fan test stopped: device %1 does not answer (%2)")
                        .arg(QString::fromStdString(deviceText(device_)), failure(change.read)));
    if (!change.write->ok())
        return stop(QStringLiteral("Fan test stopped: the switch to Manual Mode failed (%1)").arg(failure(*change.write)));
    if (!change.duty.ok())
        return stop(QStringLiteral("Fan test stopped: device %1 stopped answering (%2)")
                        .arg(QString::fromStdString(deviceText(device_)), failure(change.duty)));
    nextStep();
}

void FanTestRun::nextStep()
{
    const auto duty = sweep_.currentDuty();
    if (!duty)
        return stop(QStringLiteral("Fan test finished"));
    emit stepStarted(static_cast<int>(sweep_.steps().size()), *duty, sweep_.goingDown());
    const std::uint8_t device = device_;
    const std::uint8_t byte = rm::dutyByte(*duty);
    const std::uint64_t generation = generation_;
    session_.runOnBus([device, byte](CorvaneProtocol& chip) { return chip.writeAndReadBack(device, rm::Pwm1Duty, byte); },
                   this, [this, generation](const CheckedWrite& write) {
                       if (generation == generation_)
                           dutyWritten(write);
                   });
}

void FanTestRun::dutyWritten(const CheckedWrite& write)
{
    session_.reportDutyWrite(write);
    if (!write.write.ok())
        return stop(QStringLiteral("Fan test stopped: the duty write failed (%1)").arg(failure(write.write)));
    if (!write.readBack.ok())
        return stop(QStringLiteral("Fan test stopped: device %1 stopped answering (%2)")
                        .arg(QString::fromStdString(deviceText(device_)), failure(write.readBack)));
    // A duty that does not read back means the chip is not in Manual Mode
    // after all: every reading would belong to some other duty.
    if (!write.took())
        return stop(QStringLiteral("Fan test stopped: the duty register reads %1 after the write of %2")
                        .arg(write.readBack.value, 2, 16, QLatin1Char('0'))
                        .arg(write.wanted, 2, 16, QLatin1Char('0')));
    stepStartedAt_ = clock_();
    readSoon();
}

void FanTestRun::readSoon()
{
    const std::uint64_t generation = generation_;
    wait_(sweep_.settings().readingSeconds, this, [this, generation] {
        if (generation != generation_)
            return;
        const std::uint8_t device = device_;
        session_.runOnBus([device](CorvaneProtocol& chip) { return chip.readFanSpeed(device, 0); }, this,
                       [this, generation](const FanSpeedRead& read) {
                           if (generation == generation_)
                               fanRead(read);
                       });
    });
}

void FanTestRun::fanRead(const FanSpeedRead& read)
{
    if (!read.outcome.ok())
        return stop(QStringLiteral("Fan test stopped: device %1 stopped answering (%2)")
                        .arg(QString::fromStdString(deviceText(device_)), failure(read.outcome)));
    // A pair of 0x00 0x00 is no new count: wait for the next one, as long
    // as a step may take.
    if (!read.rpm) {
        if (clock_() - stepStartedAt_ < sweep_.settings().stepLimitSeconds)
            return readSoon();
        return stop(QStringLiteral("Fan test stopped: Fan1 gave no tach count for %1 s").arg(sweep_.settings().stepLimitSeconds));
    }
    if (!sweep_.addReading(clock_() - stepStartedAt_, *read.rpm, std::chrono::system_clock::now()))
        return readSoon();
    emit stepDone(sweep_.steps().back());
    // A slot may have cancelled the test.
    if (stage_ == Stage::Sweeping)
        nextStep();
}

void FanTestRun::cancel()
{
    if (stage_ == Stage::Saving || stage_ == Stage::Sweeping)
        stop(QStringLiteral("Fan test cancelled"));
}

void FanTestRun::stop(const QString& ended)
{
    ++generation_;
    if (!savedConfiguration_ || !savedDuty_) {
        stage_ = Stage::Idle;
        session_.lockForFanTest(false);
        emit finished(ended + QStringLiteral(" before anything was written."));
        return;
    }
    stage_ = Stage::Restoring;
    const std::uint8_t device = device_;
    const int behaviour = rm::behaviour(*savedConfiguration_);
    const std::uint8_t duty = *savedDuty_;
    // Reported to the session, which outlives this run: the restore is
    // shown even when the Fan Test window has closed meanwhile.
    BenchSession& session = session_;
    QPointer<FanTestRun> self(this);
    session.holdLeaving();
    session_.runOnBus([device, behaviour, duty](CorvaneProtocol& chip) { return chip.restorePwm(device, behaviour, duty); },
                   &session_, [&session, self, ended, behaviour, duty](const PwmRestore& restore) {
                       session.releaseLeaving();
                       session.lockForFanTest(false);
                       session.reportSettingChange(Setting::Behaviour, behaviour, restore.behaviour);
                       if (restore.took() && behaviour == rm::ManualBehaviour)
                           session.reportDutyWrite(restore.duty);
                       const QString put =
                           restore.took()
                               ? QStringLiteral("PWM1 put back to %1, duty %2 %.")
                                     .arg(QString::fromUtf8(rm::BehaviourEntries[static_cast<std::size_t>(behaviour)].data()),
                                          QString::fromStdString(rm::trimmedNumberText(rm::dutyPercent(duty))))
                               : QStringLiteral("PWM1 could NOT be put back (%1): check it before leaving the fan.")
                                     .arg(failure(restore.outcome()));
                       const QString text = ended + QStringLiteral("; ") + put;
                       session.announce(text);
                       if (self)
                           self->restored(text);
                   });
}

void FanTestRun::restored(const QString& text)
{
    stage_ = Stage::Idle;
    savedConfiguration_.reset();
    savedDuty_.reset();
    emit finished(text);
}
