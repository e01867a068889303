#include "ChipReport.h"

#include "chip/Conversions.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"
#include "protocol/AddressGuard.h"
#include "recording/CsvRecorder.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace rm = RegisterMap;

namespace {

QString qText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string line(std::string_view caption, const std::string& value)
{
    return std::string(caption) + " " + value + "\n";
}

template <typename Names>
std::string entry(const std::optional<int>& field, const Names& entries)
{
    return field ? std::string(entries[static_cast<std::size_t>(*field)]) : "not read";
}

} // namespace

std::string settingsText(const ChipSettings& settings, std::string_view dutyNotRead)
{
    std::string text = line("PWM1 Control", entry(settings.behaviour, rm::BehaviourEntries));
    text += line("3/4 Wire Fan", entry(settings.frequency, rm::FrequencyEntries));
    text += line("Fan1 Pulses/Rev", entry(settings.pulses, rm::PulsesEntries));
    text += line(Poll::caption(Poll::Reading::Duty),
                 settings.duty.ok() ? rm::trimmedNumberText(rm::dutyPercent(settings.duty.value)) : std::string(dutyNotRead));
    return text;
}

std::string readingsText(const PollResult& poll, const ChipSettings& settings)
{
    std::string text;
    const bool offsetCoded = settings.offsetCoded.value_or(false);
    for (const Poll::Reading reading : Poll::ListedOrder) {
        if (reading == Poll::Reading::Duty)
            continue; // with the settings, as the window groups it
        const auto shown = readingText(poll, reading, offsetCoded);
        // A failed read is no number: the window's dash.
        text += line(Poll::caption(reading), readingFailed(poll, reading) ? std::string(Poll::NoReading)
                                             : shown                      ? *shown
                                                                          : "no reading");
    }
    ChipSettings withPolledDuty = settings;
    withPolledDuty.duty = readingFailed(poll, Poll::Reading::Duty) ? NotRead : ByteRead::of(poll.bytes.back());
    return text + settingsText(withPolledDuty, Poll::NoReading);
}

QJsonObject settingsJson(const ReportOrigin& origin, const ChipSettings& settings)
{
    QJsonObject object;
    object[QStringLiteral("device")] = QString::fromStdString(deviceText(origin.device));
    object[QStringLiteral("bus")] = QString::fromStdString(origin.controllerName);
    object[QStringLiteral("controller")] = origin.controller + 1;
    const auto name = [](const std::optional<int>& field, const auto& names) {
        return field ? QJsonValue(qText(names[static_cast<std::size_t>(*field)])) : QJsonValue(QJsonValue::Null);
    };
    object[QStringLiteral("behaviour")] = name(settings.behaviour, rm::BehaviourNames);
    object[QStringLiteral("frequency")] = name(settings.frequency, rm::FrequencyNames);
    object[QStringLiteral("pulses")] = settings.pulses ? QJsonValue(*settings.pulses + 1) : QJsonValue(QJsonValue::Null);
    object[qText(Poll::name(Poll::Reading::Duty))] =
        settings.duty.ok() ? QJsonValue(rm::dutyPercent(settings.duty.value)) : QJsonValue(QJsonValue::Null);
    return object;
}

QJsonObject readingsJson(const ReportOrigin& origin, const PollResult& poll, const ChipSettings& settings)
{
    QJsonObject object = settingsJson(origin, settings);
    object[QStringLiteral("time")] = QString::fromStdString(isoUtcText(poll.time));
    const bool offsetCoded = settings.offsetCoded.value_or(false);
    // null means either; "failed" tells a failed read from a fan's count
    // that has not changed.
    QJsonArray failed;
    for (const Poll::Reading reading : Poll::ListedOrder) {
        const auto value = readingValue(poll, reading, offsetCoded);
        object[qText(Poll::name(reading))] = value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
        if (readingFailed(poll, reading))
            failed.append(qText(Poll::name(reading)));
    }
    object[QStringLiteral("failed")] = failed;
    return object;
}

std::string jsonText(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}
