#include "ExporterMetrics.h"

#include "chip/RegisterMap.h"
#include "protocol/AddressGuard.h"

#include <cerrno>
#include <cstring>

using Poll::Reading;
namespace rm = RegisterMap;

namespace {

// What every series carries: which device, on which controller and bus.
prometheus::Labels originLabels(const ExporterMetrics::Origin& origin)
{
    return {{"device", deviceText(origin.device)},
            {"controller", std::to_string(origin.controller + 1)},
            {"bus", origin.bus}};
}

// Families registered under the origin's labels.
prometheus::Family<prometheus::Gauge>& gauges(prometheus::Registry& registry, const ExporterMetrics::Origin& origin,
                                              const char* name, const char* help)
{
    return prometheus::BuildGauge().Name(name).Help(help).Labels(originLabels(origin)).Register(registry);
}

prometheus::Family<prometheus::Counter>& counters(prometheus::Registry& registry,
                                                  const ExporterMetrics::Origin& origin, const char* name,
                                                  const char* help)
{
    return prometheus::BuildCounter().Name(name).Help(help).Labels(originLabels(origin)).Register(registry);
}

} // namespace

void ExporterMetrics::Series::show(std::optional<double> value)
{
    if (!value) {
        if (gauge_)
            family_.Remove(gauge_);
        gauge_ = nullptr;
        return;
    }
    if (!gauge_)
        gauge_ = &family_.Add(labels_);
    gauge_->Set(*value);
}

ExporterMetrics::ExporterMetrics(prometheus::Registry& registry, const Origin& origin)
    : errorsFamily_(counters(registry, origin, "corvane_poll_errors_total",
                             "Polls whose reads failed, by the error of the first that failed.")),
      up_(gauges(registry, origin, "corvane_up", "1 when the last poll read the chip, else 0.").Add({})),
      polls_(counters(registry, origin, "corvane_polls_total", "Polls of the chip since the exporter started.").Add({})),
      duration_(gauges(registry, origin, "corvane_poll_duration_seconds", "How long the last poll's reads took.").Add({}))
{
    const auto family = [&](const char* name, const char* help) -> prometheus::Family<prometheus::Gauge>& {
        return gauges(registry, origin, name, help);
    };
    auto& temperatures = family("corvane_temperature_celsius", "The chip's temperatures, in degrees Celsius.");
    auto& fans = family("corvane_fan_speed_rpm", "The fans' speeds, in revolutions per minute; 0 for a stalled fan.");
    auto& voltages = family("corvane_voltage_volts", "The supplies the chip measures, in volts.");
    auto& duty = family("corvane_pwm_duty_ratio", "The PWM1 duty, 0 to 1.");
    auto& behaviour = family("corvane_pwm_behaviour", "1 for the PWM1 behaviour the chip is in, 0 for the others.");
    for (int i = 0; i < Poll::ReadingCount; ++i) {
        const auto reading = static_cast<Reading>(i);
        const Poll::ReadingInfo& metric = Poll::info(reading);
        auto& into = metric.kind == Poll::Kind::Temperature ? temperatures
                     : metric.kind == Poll::Kind::Fan       ? fans
                     : metric.kind == Poll::Kind::Duty      ? duty
                                                            : voltages;
        readings_[static_cast<std::size_t>(i)] = std::make_unique<Series>(
            into, prometheus::Labels{{std::string(metric.metricLabel), std::string(metric.metricValue)}});
    }
    for (std::size_t k = 0; k < behaviours_.size(); ++k)
        behaviours_[k] = std::make_unique<Series>(
            behaviour, prometheus::Labels{{"pwm", "1"}, {"behaviour", std::string(rm::BehaviourNames[k])}});
}

void ExporterMetrics::showPoll(const PollResult& poll, std::optional<bool> offsetCoded, std::optional<int> behaviour)
{
    polls_.Increment();
    duration_.Set(poll.seconds);
    up_.Set(poll.answered() ? 1 : 0);
    if (!poll.answered()) {
        const int error = poll.outcome.error;
        auto found = errors_.find(error);
        if (found == errors_.end())
            found = errors_.emplace(error, &errorsFamily_.Add({{"error", errnoName(error)}})).first;
        found->second->Increment();
    }
    for (int i = 0; i < Poll::ReadingCount; ++i) {
        const auto reading = static_cast<Reading>(i);
        Series& series = *readings_[static_cast<std::size_t>(i)];
        // A temperature's bytes mean nothing until the coding is known.
        if (readingFailed(poll, reading) || (Poll::isTemperature(reading) && !offsetCoded)) {
            series.show(std::nullopt);
            continue;
        }
        const auto value = readingValue(poll, reading, offsetCoded.value_or(false));
        if (value) // a fan with no new count keeps what it showed
            series.show(reading == Reading::Duty ? *value / 100 : *value);
    }
    for (std::size_t k = 0; k < behaviours_.size(); ++k)
        behaviours_[k]->show(behaviour ? std::optional<double>(static_cast<int>(k) == *behaviour ? 1 : 0)
                                       : std::nullopt);
}
