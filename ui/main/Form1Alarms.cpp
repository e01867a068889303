// Limits in the window: the Limits dialog, and the alarms as the window
// shows them. An alarm frames its reading in red and says in words what it
// is (the tooltip, the accessible description, the status line); the rest
// (its patience, its notice, its rows beside a recording) is the bench
// session's alarms'.

#include "ui/main/Form1.h"
#include "ui/dialogs/LimitsDialog.h"

using Poll::Reading;

void Form1::showLimitsDialog()
{
    LimitsDialog dialog(session_.limits(), this);
    if (dialog.exec() == QDialog::Accepted)
        session_.setLimits(dialog.limits());
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
