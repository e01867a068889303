// The readings poll: every tick hands the bus thread one job that reads
// fourteen registers of the monitored chip (after reading its settings
// again, when the controller or the device changed), and brings the value
// labels in line with the bytes when they come back.
//
// A label is rewritten only when the bytes behind it changed since it was
// last written: with steady readings a tick builds no text and repaints
// nothing, which is most ticks of a bench left open all day.

#include "Form1.h"
#include "chip/Conversions.h"

namespace rm = RegisterMap;
using Poll::Reading;

namespace {

struct Tick {
    std::optional<ChipSettings> settings;
    PollResult poll;
};

} // namespace

bool Form1::PolledBytes::changed(Reading reading, int bytes)
{
    int& shown = shown_[static_cast<std::size_t>(reading)];
    if (shown == bytes)
        return false;
    shown = bytes;
    return true;
}

void Form1::Timer1_Timer()
{
    recordDueRow();
    // A tick that comes while the last poll is still on the bus is dropped,
    // not queued: a slow bus must not build a backlog of polls.
    if (pollOnBus_) {
        ++skippedTicks_;
        return;
    }
    ++pollCount_;
    pollOnBus_ = true;
    const std::uint8_t device = module_.DeviceAddress;
    const bool follow = std::exchange(followPending_, false);
    jobs_.run(
        [device, follow](CorvaneProtocol& chip) {
            Tick tick;
            if (follow)
                tick.settings = chip.readSettings(device);
            tick.poll = chip.poll(device);
            return tick;
        },
        this,
        [this](const Tick& tick) {
            pollOnBus_ = false;
            if (tick.settings) {
                // Until the device answers, its coding is not known: read
                // again at the next tick rather than keep the old device's.
                if (!tick.settings->complete() && tick.poll.device == module_.DeviceAddress)
                    followPending_ = true;
                health_.observe(tick.settings->outcome, tick.poll.device, now());
                guard_.learnDriver(tick.poll.device, tick.settings->outcome.driver);
                // A device that does not answer leaves the lists and the
                // coding as they were.
                showSettings(*tick.settings);
            }
            showPoll(tick.poll);
        });
}

void Form1::showPoll(const PollResult& poll)
{
    static constexpr std::size_t DutyByte = Poll::Registers.size() - 1;
    QLabel* const labels[Poll::ReadingCount] = {c_.lblTemp[0],     c_.lblTemp[1],     c_.lblTemp[2],
                                                c_.lblFanSpeed[0], c_.lblFanSpeed[1], c_.lblFanSpeed[2],
                                                c_.lblFanSpeed[3], c_.lblVcc,         c_.lblVccp,
                                                c_.lblDutyCycle};
    for (int i = 0; i < Poll::ReadingCount; ++i) {
        const auto reading = static_cast<Reading>(i);
        if (!polled_.changed(reading, readingKey(poll, reading, TempOffsetMode)))
            continue;
        if (const auto text = readingText(poll, reading, TempOffsetMode))
            labels[i]->setText(QString::fromStdString(*text));
    }
    if (!(poll.failedReads & (1u << DutyByte)))
        module_.DutyPercent = rm::dutyPercent(poll.bytes[DutyByte]);

    recordPoll(poll);
    guard_.learnDriver(poll.device, poll.outcome.driver);
    health_.observe(poll.outcome, poll.device, now());
    health_.pollTook(poll.seconds);
    refreshStatus();
}
