// The exporter's metrics poll by poll: a reading whose read failed leaves
// the scrape and comes back when read, a fan with no new count keeps what
// it showed, and failures are counted by their errno.

#include "exporter/ExporterMetrics.h"

#include <gtest/gtest.h>
#include <prometheus/text_serializer.h>

#include <cerrno>
#include <sstream>

namespace {

PollResult pollOf(std::uint16_t failedReads, std::uint8_t fanLow = 0x18, std::uint8_t fanHigh = 0x15)
{
    PollResult poll;
    // remote1 46, local 39, remote2 31 °C; Fan1 1000 rpm; Vcc 3.3 V, Vccp 1.2 V, duty 60 %.
    poll.bytes = {46, 39, 31, fanLow, fanHigh, 0, 0, 0, 0, 0, 0, 192, 102, 0x99};
    poll.failedReads = failedReads;
    poll.outcome = failedReads ? BusOutcome{EIO, {}} : BusOutcome{};
    poll.seconds = 0.004;
    return poll;
}

std::string scrape(prometheus::Registry& registry)
{
    std::ostringstream text;
    prometheus::TextSerializer().Serialize(text, registry.Collect());
    return text.str();
}

TEST(ExporterMetrics, AFailedReadingLeavesTheScrapeAndAFanWithNoCountKeepsItsValue)
{
    prometheus::Registry registry;
    ExporterMetrics metrics(registry, {0x2E, 1, "test bus"});
    const std::string local = "corvane_temperature_celsius{bus=\"test bus\",controller=\"2\",device=\"0x2E\",sensor=\"local\"}";
    const std::string fan1 = "corvane_fan_speed_rpm{bus=\"test bus\",controller=\"2\",device=\"0x2E\",fan=\"1\"}";
    const struct {
        const char* what;
        PollResult poll;
        std::optional<int> behaviour;
        std::vector<std::string> present, absent;
        std::optional<bool> offsetCoded = false;
    } steps[] = {
        // Until the coding is read, the bytes say no temperature: none is exported.
        {"coding not known yet", pollOf(0), 6, {fan1 + " 1000", "corvane_voltage_volts{"},
         {"corvane_temperature_celsius{"}, std::nullopt},
        {"all read", pollOf(0), 6, {local + " 39", fan1 + " 1000", "corvane_up{", "corvane_pwm_duty_ratio{"}, {}},
        {"local's read failed", pollOf(1u << 1), 6, {fan1 + " 1000", "corvane_up{bus=\"test bus\",controller=\"2\",device=\"0x2E\"} 0"},
         {local}},
        {"read again; Fan1's pair says no new count", pollOf(0, 0, 0), 6, {local + " 39", fan1 + " 1000"}, {}},
        {"nothing read, no behaviour", pollOf(0x3FFF), std::nullopt,
         {"corvane_poll_errors_total{bus=\"test bus\",controller=\"2\",device=\"0x2E\",error=\"EIO\"} 2"},
         {local, fan1, "corvane_pwm_behaviour{", "corvane_voltage_volts{"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        metrics.showPoll(step.poll, step.offsetCoded, step.behaviour);
        const std::string text = scrape(registry);
        for (const std::string& line : step.present)
            EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
        for (const std::string& line : step.absent)
            EXPECT_EQ(text.find(line), std::string::npos) << line << "\n" << text;
    }
    EXPECT_NE(scrape(registry).find("corvane_polls_total{bus=\"test bus\",controller=\"2\",device=\"0x2E\"} 5"),
              std::string::npos);
}

} // namespace
