// The readings poll: every tick hands the bus thread one job that reads
// fourteen registers of the chip in use (after reading its settings again,
// when the controller or the device changed), and says what came back.

#include "session/BenchSession.h"
#include "chip/Conversions.h"

namespace rm = RegisterMap;
using Poll::Reading;

namespace {

struct Tick {
    std::optional<ChipSettings> settings;
    // Read with the settings, once they are whole.
    std::optional<std::array<std::uint8_t, 3>> identification;
    PollResult poll;
};

} // namespace

void BenchSession::Timer1_Timer()
{
    skippedTicks_ += tickLedger_.came(std::chrono::steady_clock::now());
    recording_.tick();
    // A tick that comes while the last poll is still on the bus is dropped,
    // not queued: a slow bus must not build a backlog of polls.
    if (pollOnBus_) {
        ++skippedTicks_;
        return;
    }
    ++pollCount_;
    const std::uint8_t device = module_.DeviceAddress;
    // A read there would first write its register number where that
    // number is a command: the poll sends nothing, and says why.
    if (readIsGuarded(device)) {
        showRefusedPoll(device, pollRefusalText(device));
        return;
    }
    // A kernel driver owns it: asked once; after a No, nothing is sent.
    if (!mayReadBehindDriver(device)) {
        showRefusedPoll(device, notReadBehindDriverText(device, guard_.driverOf(device)));
        return;
    }
    health_.pollRefused({});
    pollOnBus_ = true;
    const bool follow = std::exchange(followPending_, false);
    const std::uint64_t choice = controllerChoice_;
    jobs_.run(
        [device, follow](CorvaneProtocol& chip) {
            Tick tick;
            if (follow) {
                tick.settings = chip.readSettings(device);
                if (tick.settings->complete())
                    tick.identification = chip.readIdentification(device);
            }
            tick.poll = chip.poll(device);
            return tick;
        },
        this,
        [this, choice](const Tick& tick) {
            pollOnBus_ = false;
            if (tick.settings) {
                // Until the device answers, its coding is not known: read
                // again at the next tick rather than keep the old device's.
                if (!tick.settings->complete() && tick.poll.device == module_.DeviceAddress)
                    followPending_ = true;
                learnDriverFrom(tick.settings->outcome, tick.poll.device, choice);
                if (!tick.settings->outcome.heldBackByDriver())
                    health_.observe(tick.settings->outcome, tick.poll.device, now());
                // A device that does not answer leaves the lists and the
                // coding as they were.
                showSettings(*tick.settings);
            }
            const bool current = choice == controllerChoice_ && tick.poll.device == module_.DeviceAddress;
            if (tick.identification && current)
                showIdentification(*tick.identification);
            learnDriverFrom(tick.poll.outcome, tick.poll.device, choice);
            // Nothing went out: the next tick asks whether to go past the
            // driver. A refusal about the target before the last change is
            // news of nothing read now.
            if (tick.poll.outcome.heldBackByDriver() && !current)
                return;
            if (tick.poll.outcome.heldBackByDriver())
                showRefusedPoll(tick.poll.device, notReadBehindDriverText(tick.poll.device, tick.poll.outcome.driver));
            else
                showPoll(tick.poll, current);
        });
}

void BenchSession::showRefusedPoll(std::uint8_t device, const std::string& why)
{
    PollResult nothing;
    nothing.time = now();
    nothing.steadyTime = std::chrono::steady_clock::now();
    nothing.device = device;
    nothing.controller = guard_.controller();
    nothing.failedReads = (1u << Poll::Registers.size()) - 1;
    emit polled(nothing, why);
    // A gap in the history and the recording, as for a device that does
    // not answer.
    recording_.add(nothing, TempOffsetMode);
    // Read again once the target is a device that may be read.
    followPending_ = true;
    // Nothing is known of its readings while it is not read: the alarms
    // about them end.
    alarms_.endAll(now(), BenchAlarms::EndCause::NotRead);
    health_.pollRefused(why);
    refreshStatus();
}

void BenchSession::showPoll(const PollResult& poll, bool current)
{
    if (!readingFailed(poll, Reading::Duty))
        module_.DutyPercent = rm::dutyPercent(poll.bytes.back());
    emit polled(poll, poll.failedReads ? doesNotAnswerText(poll.device, poll.outcome) : std::string());
    recording_.add(poll, TempOffsetMode);
    // A poll of the device or bus before the last change is no longer
    // about what the limits watch.
    if (current)
        alarms_.check(poll, TempOffsetMode);
    health_.observe(poll.outcome, poll.device, now());
    health_.pollTook(poll.seconds);
    refreshStatus();
}
