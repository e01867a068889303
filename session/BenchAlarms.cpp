#include "BenchAlarms.h"

#include "AlarmNotices.h"
#include "recording/CsvText.h"

#include <QDateTime>

using Poll::Reading;

namespace {

QString fromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

const char* causeText(BenchAlarms::EndCause cause)
{
    switch (cause) {
    case BenchAlarms::EndCause::LimitsChanged: return "limits changed";
    case BenchAlarms::EndCause::TargetChanged: return "device changed";
    case BenchAlarms::EndCause::NotRead: return "not read";
    case BenchAlarms::EndCause::NotTheChip: return "not the chip";
    case BenchAlarms::EndCause::RecordingEnded: break;
    }
    return "recording ended";
}

} // namespace

QString clockText(std::chrono::system_clock::time_point time)
{
    return QDateTime::fromMSecsSinceEpoch(
               std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count())
        .toString(QStringLiteral("HH:mm:ss"));
}

QString amountText(double value, Reading reading)
{
    return QString::fromStdString(csvNumber(value)) + QLatin1Char(' ') + fromView(Poll::unit(reading));
}

BenchAlarms::BenchAlarms(AlarmNotices* notices, QObject* parent) : QObject(parent), notices_(notices) {}

BenchAlarms::~BenchAlarms() = default;

int BenchAlarms::keyOf(const Alarm& alarm)
{
    return (alarm.kind == AlarmWatch::Kind::Bound ? 0 : 1000) + static_cast<int>(alarm.index);
}

QString BenchAlarms::name(const Alarm& alarm) const { return fromView(Poll::caption(watch_.readingOf(alarm))); }

QString BenchAlarms::words(const Alarm& alarm) const
{
    const Reading reading = watch_.readingOf(alarm);
    const QString since = clockText(watch_.since(alarm));
    if (alarm.kind == AlarmWatch::Kind::NoReading)
        return QStringLiteral("%1 not read since %2").arg(name(alarm), since);
    const Limit& limit = watch_.limits()[alarm.index];
    const auto value = watch_.lastValue(alarm);
    return QStringLiteral("%1 %2 %3 %4 since %5")
        .arg(name(alarm), value ? amountText(*value, reading) : QStringLiteral("\u2014"),
             limit.atMost ? QStringLiteral("above") : QStringLiteral("below"), amountText(limit.bound, reading), since);
}

QString BenchAlarms::wordsOn(Reading reading) const
{
    QStringList said;
    for (const Alarm& alarm : watch_.active()) {
        if (watch_.readingOf(alarm) != reading)
            continue;
        const QString since = clockText(watch_.since(alarm));
        if (alarm.kind == AlarmWatch::Kind::NoReading) {
            said << QStringLiteral("Not read since %1").arg(since);
            continue;
        }
        const Limit& limit = watch_.limits()[alarm.index];
        said << QStringLiteral("%1 %2 since %3")
                    .arg(limit.atMost ? QStringLiteral("Above") : QStringLiteral("Below"),
                         amountText(limit.bound, reading), since);
    }
    return said.join(QStringLiteral("; "));
}

void BenchAlarms::setLimits(const std::vector<LimitSetting>& limits, Time now)
{
    settings_ = limits;
    endAll(now, EndCause::LimitsChanged);
    watch_ = AlarmWatch(limitsOn(limits));
}

void BenchAlarms::endAll(Time now, EndCause cause)
{
    const auto ended = watch_.endAll(now);
    handle(ended, &cause);
}

void BenchAlarms::setApplies(bool applies, Time now)
{
    if (applies == applies_)
        return;
    applies_ = applies;
    if (!applies)
        endAll(now, EndCause::NotTheChip);
}

void BenchAlarms::check(const PollResult& poll, bool offsetCoded)
{
    if (!applies_ || watch_.limits().empty())
        return;
    const auto events = watch_.check(poll, offsetCoded);
    if (!events.empty())
        handle(events, nullptr);
}

void BenchAlarms::handle(const std::vector<AlarmWatch::Event>& events, EndCause* cause)
{
    std::array<bool, Poll::ReadingCount> touched{};
    for (const AlarmWatch::Event& event : events) {
        const Alarm& alarm = event.alarm;
        touched[static_cast<std::size_t>(watch_.readingOf(alarm))] = true;
        if (notices_ && event.started) {
            const bool stalled = watch_.stalled(alarm);
            const Limit* limit = alarm.kind == AlarmWatch::Kind::Bound ? &watch_.limits()[alarm.index] : nullptr;
            const QString what = !limit        ? QStringLiteral("not read")
                                 : stalled      ? QStringLiteral("stalled")
                                 : limit->atMost ? QStringLiteral("too high")
                                                 : QStringLiteral("too low");
            notices_->show(keyOf(alarm), name(alarm) + QLatin1Char(' ') + what,
                           words(alarm) + (origin_.isEmpty() ? QString() : QStringLiteral(", ") + origin_) +
                               QLatin1Char('.'),
                           stalled);
        } else if (notices_) {
            notices_->withdraw(keyOf(alarm));
        }
        emit rowDue(rowOf(event, cause ? QString::fromLatin1(causeText(*cause)) : QString()));
    }
    for (std::size_t r = 0; r < touched.size(); ++r) {
        if (!touched[r])
            continue;
        const QString now = wordsOn(static_cast<Reading>(r));
        if (now != shownWords_[r]) {
            shownWords_[r] = now;
            emit readingChanged(static_cast<Reading>(r), now);
        }
    }
    refreshStatus();
}

AlarmRow BenchAlarms::rowOf(const AlarmWatch::Event& event, const QString& cause) const
{
    return alarmRowOf(watch_, event, cause.toStdString());
}

std::vector<AlarmRow> BenchAlarms::rowsOfActive(bool starting, Time now) const
{
    return activeAlarmRows(watch_, starting, now);
}

void BenchAlarms::noticesFailed(const QString& why)
{
    const QString failing = QStringLiteral("no desktop notifications (%1)").arg(why);
    if (failing == noticesFailing_)
        return;
    noticesFailing_ = failing;
    refreshStatus();
}

void BenchAlarms::noticesWork()
{
    if (noticesFailing_.isEmpty())
        return;
    noticesFailing_.clear();
    refreshStatus();
}

void BenchAlarms::refreshStatus()
{
    std::optional<Alarm> newest;
    int count = 0;
    for (const Alarm& alarm : watch_.active()) {
        ++count;
        if (!newest || watch_.since(alarm) >= watch_.since(*newest))
            newest = alarm;
    }
    const QString text = newest ? QStringLiteral("Alarm: %1%2%3")
                                      .arg(words(*newest),
                                           count > 1 ? QStringLiteral(" (%1 alarms)").arg(count) : QString(),
                                           noticesFailing_.isEmpty() ? QString() : QStringLiteral("; ") + noticesFailing_)
                                : QString();
    if (text == status_)
        return;
    status_ = text;
    emit statusChanged(text);
}
