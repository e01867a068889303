// The readings as the window shows them. A label is rewritten only when
// the bytes behind it changed since it was last written: with steady
// readings a poll builds no text and repaints nothing, which is most polls
// of a bench left open all day.

#include "ui/main/Form1.h"
#include "chip/Conversions.h"

using Poll::Reading;

bool Form1::PolledBytes::changed(Reading reading, int bytes)
{
    int& shown = shown_[static_cast<std::size_t>(reading)];
    if (shown == bytes)
        return false;
    shown = bytes;
    return true;
}

void Form1::showReadings(const PollResult& poll, const std::string& whyNot)
{
    // The key of a reading whose read failed: no byte value has it.
    constexpr int Failed = -2;
    const QString noReading =
        whyNot.empty() ? QString() : QStringLiteral("No reading: ") + QString::fromStdString(whyNot);
    for (int i = 0; i < Poll::ReadingCount; ++i) {
        const auto reading = static_cast<Reading>(i);
        QLabel* label = labelOf(reading);
        if (readingFailed(poll, reading)) {
            // 0xFF decoded is no measurement: a dash, and why in the tooltip.
            if (polled_.changed(reading, Failed))
                label->setText(QString::fromUtf8(Poll::NoReading.data(), Poll::NoReading.size()));
            if (const QString tip = readingTip(reading, noReading); label->toolTip() != tip)
                label->setToolTip(tip);
            continue;
        }
        if (!polled_.changed(reading, readingKey(poll, reading, session_.tempOffsetMode())))
            continue;
        if (const auto text = readingText(poll, reading, session_.tempOffsetMode())) {
            label->setText(QString::fromStdString(*text));
            if (const QString tip = readingTip(reading, QString()); label->toolTip() != tip)
                label->setToolTip(tip);
        }
    }
}
