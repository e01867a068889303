#include "LimitWatch.h"

#include "CsvRecorder.h"
#include "CsvText.h"
#include "protocol/BusHealth.h"

#include <charconv>
#include <cmath>

std::string Limit::text() const
{
    return std::string(Poll::name(reading)) + (atMost ? "<=" : ">=") + csvNumber(bound);
}

std::variant<Limit, std::string> parseLimit(std::string_view text)
{
    const std::string usage = "a limit is KEY<=VALUE or KEY>=VALUE, e.g. local_c<=80";
    const auto at = text.find_first_of("<>");
    if (at == std::string_view::npos || at + 1 >= text.size() || text[at + 1] != '=')
        return "'" + std::string(text) + "': " + usage + ".";
    Limit limit;
    limit.atMost = text[at] == '<';
    const std::string_view key = text.substr(0, at);
    const auto reading = Poll::readingNamed(key);
    if (!reading) {
        return "'" + std::string(key) + "' is not a reading; the readings are " + Poll::namesText() + ".";
    }
    limit.reading = *reading;
    const std::string_view value = text.substr(at + 2);
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), limit.bound);
    if (error != std::errc{} || end != value.data() + value.size() || !std::isfinite(limit.bound))
        return "'" + std::string(text) + "': '" + std::string(value) + "' is not a number.";
    return limit;
}

LimitCheck checkLimit(const Limit& limit, const PollResult& poll, bool offsetCoded)
{
    const auto value = readingValue(poll, limit.reading, offsetCoded);
    if (readingFailed(poll, limit.reading))
        return {Against::NotRead, std::nullopt};
    if (!value)
        return {Against::NotKnown, std::nullopt};
    const bool beyond = limit.atMost ? *value > limit.bound : *value < limit.bound;
    return {beyond ? Against::Beyond : Against::Within, value};
}

LimitWatch::LimitWatch(std::vector<Limit> limits) : limits_(std::move(limits)), passed_(limits_.size(), false) {}

std::vector<std::string> LimitWatch::check(const PollResult& poll, bool offsetCoded)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < limits_.size(); ++i) {
        const Limit& limit = limits_[i];
        const LimitCheck check = checkLimit(limit, poll, offsetCoded);
        if (check.against == Against::NotKnown)
            continue;
        const bool passed = check.against == Against::Beyond || check.against == Against::NotRead;
        if (passed == passed_[i])
            continue;
        passed_[i] = passed;
        everPassed_ = everPassed_ || passed;
        std::string line = isoUtcText(poll.time) + " " + limit.text() + (passed ? " passed: " : " holds again: ");
        line += check.value ? csvNumber(*check.value) : "no reading (" + errorText(poll.outcome.error) + ")";
        lines.push_back(std::move(line));
    }
    return lines;
}
