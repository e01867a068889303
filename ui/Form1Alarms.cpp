// Limits in the window: the Limits dialog, and the alarms the poll finds.
// An alarm frames its reading in red and says in words what it is (the
// tooltip, the accessible description, the status line), sends one desktop
// notification, and goes into the recording's alarms file. It never writes
// to the chip.

#include "Form1.h"
#include "LimitsDialog.h"
#include "chip/ValueText.h"
#include "recording/CsvText.h"

#include <QDateTime>

using Poll::Reading;

namespace {

QString clockText(std::chrono::system_clock::time_point time)
{
    return QDateTime::fromMSecsSinceEpoch(
               std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count())
        .toString(QStringLiteral("HH:mm:ss"));
}

QString unitOf(Reading reading)
{
    if (reading <= Reading::Remote2)
        return QStringLiteral("°C");
    if (reading <= Reading::Fan4)
        return QStringLiteral("rpm");
    return reading == Reading::Duty ? QStringLiteral("%") : QStringLiteral("V");
}

QString amount(double value, Reading reading)
{
    return QString::fromStdString(csvNumber(value)) + QLatin1Char(' ') + unitOf(reading);
}

} // namespace

void Form1::showLimitsDialog()
{
    LimitsDialog dialog(limitSettings_, this);
    if (dialog.exec() == QDialog::Accepted)
        setLimits(dialog.limits());
}

void Form1::setLimits(const std::vector<LimitSetting>& limits)
{
    settings_->setLimits(limits);
    applyLimits(limits);
}

void Form1::applyLimits(const std::vector<LimitSetting>& limits)
{
    limitSettings_ = limits;
    // Alarms start afresh on the new limits: any shown ends here.
    for (std::size_t i = 0; i < alarms_.limits().size(); ++i) {
        if (alarms_.alarmed(i))
            showAlarmOn(alarms_.limits()[i].reading, QString());
    }
    alarms_ = AlarmWatch(limitsOn(limits));
    health_.alarm({});
    refreshStatus();
}

QString Form1::readingTip(Reading reading, const QString& noReading) const
{
    const QString& alarm = alarmTips_[static_cast<std::size_t>(reading)];
    return alarm.isEmpty() ? noReading : noReading.isEmpty() ? alarm : alarm + QLatin1Char('\n') + noReading;
}

QLabel* Form1::labelOf(Reading reading) const
{
    QLabel* const labels[Poll::ReadingCount] = {c_.lblTemp[0],     c_.lblTemp[1],     c_.lblTemp[2],
                                                c_.lblFanSpeed[0], c_.lblFanSpeed[1], c_.lblFanSpeed[2],
                                                c_.lblFanSpeed[3], c_.lblVcc,         c_.lblVccp,
                                                c_.lblDutyCycle};
    return labels[static_cast<int>(reading)];
}

void Form1::checkAlarms(const PollResult& poll)
{
    if (alarms_.limits().empty())
        return;
    const std::vector<AlarmWatch::Event> events = alarms_.check(poll, TempOffsetMode);
    if (events.empty())
        return;
    for (const AlarmWatch::Event& event : events) {
        const Limit& limit = alarms_.limits()[event.limit];
        const QString bound = amount(limit.bound, limit.reading);
        if (event.started) {
            const QString words = QStringLiteral("%1 %2 since %3")
                                      .arg(limit.atMost ? QStringLiteral("Above") : QStringLiteral("Below"), bound,
                                           clockText(event.time));
            showAlarmOn(limit.reading, words);
            const bool stalled = alarms_.stalled(event.limit);
            notifier_.notify(QStringLiteral("%1 %2").arg(alarmName(event.limit), stalled        ? QStringLiteral("stalled")
                                                                             : limit.atMost ? QStringLiteral("too high")
                                                                                            : QStringLiteral("too low")),
                             alarmWords(event.limit) + QStringLiteral(", device %1 on %2.")
                                                           .arg(QString::fromStdString(deviceText(poll.device)),
                                                                QString::fromStdString(controllerName_)),
                             stalled);
        } else {
            // Another limit on the same reading may still be breached.
            bool still = false;
            for (std::size_t i = 0; i < alarms_.limits().size(); ++i)
                still = still || (alarms_.alarmed(i) && alarms_.limits()[i].reading == limit.reading);
            if (!still)
                showAlarmOn(limit.reading, QString());
        }
        if (alarmLog_) {
            if (const auto problem = alarmLog_->add(event.time, limit, event.value, event.started))
                announce(QStringLiteral("Alarms are not recorded: %1").arg(QString::fromStdString(*problem)), true);
        }
    }
    showNewestAlarm();
}

QString Form1::alarmName(std::size_t limit) const
{
    const auto caption = Poll::caption(alarms_.limits()[limit].reading);
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QString Form1::alarmWords(std::size_t limit) const
{
    const Limit& l = alarms_.limits()[limit];
    const auto value = alarms_.lastValue(limit);
    return QStringLiteral("%1 %2 %3 %4 since %5")
        .arg(alarmName(limit), value ? amount(*value, l.reading) : QStringLiteral("\u2014"),
             l.atMost ? QStringLiteral("above") : QStringLiteral("below"), amount(l.bound, l.reading),
             clockText(alarms_.since(limit)));
}

void Form1::showNewestAlarm()
{
    std::optional<std::size_t> newest;
    int count = 0;
    for (std::size_t i = 0; i < alarms_.limits().size(); ++i) {
        if (!alarms_.alarmed(i))
            continue;
        ++count;
        if (!newest || alarms_.since(i) >= alarms_.since(*newest))
            newest = i;
    }
    health_.alarm(newest ? QStringLiteral("Alarm: %1%2%3")
                               .arg(alarmWords(*newest),
                                    count > 1 ? QStringLiteral(" (%1 alarms)").arg(count) : QString(),
                                    notificationsMissing_.isEmpty() ? QString()
                                                                    : QStringLiteral("; ") + notificationsMissing_)
                               .toStdString()
                         : std::string());
    refreshStatus();
}

void Form1::showAlarmOn(Reading reading, const QString& words)
{
    QLabel* label = labelOf(reading);
    const auto r = static_cast<std::size_t>(reading);
    alarmTips_[r] = words;
    // In words, not by colour alone: the tooltip and what a screen reader
    // says of the label.
    label->setAccessibleDescription(words.isEmpty() ? descriptions_[r] : descriptions_[r] + QStringLiteral(": ") + words);
    label->setToolTip(readingTip(reading, QString()));
    if (words.isEmpty()) {
        label->setStyleSheet(QString());
        return;
    }
    // A red frame around the box, its designed colours kept.
    const QPalette colours = label->palette();
    label->setStyleSheet(QStringLiteral("QLabel { border: 2px solid rgb(210, 0, 0); background-color: %1; color: %2; }")
                             .arg(colours.color(QPalette::Window).name(), colours.color(QPalette::WindowText).name()));
}
