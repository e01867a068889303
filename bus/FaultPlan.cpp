#include "FaultPlan.h"

#include "ErrnoName.h"
#include "chip/DurationText.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

namespace {

using namespace std::chrono_literals;

// The errors a plan may give: those the kernel's I2C drivers give.
constexpr int PlannableErrors[] = {EIO, EAGAIN, ETIMEDOUT, ENXIO, EREMOTEIO, EPROTO, EBUSY};

constexpr auto LongestDelay = 10s;
constexpr auto ShortestSpan = 100ms;

// "2%" or "0.02": a share from 0 to 1.
std::optional<double> shareOf(std::string_view text)
{
    const bool percent = text.ends_with('%');
    if (percent)
        text.remove_suffix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || text.front() == '-' ||
        text.front() == '+')
        return std::nullopt;
    if (percent)
        value /= 100;
    if (!(value >= 0 && value <= 1))
        return std::nullopt;
    return value;
}

std::optional<long long> wholeOf(std::string_view text)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// "A/B" split at its slash; B empty when there is none.
std::pair<std::string_view, std::string_view> halves(std::string_view text)
{
    const auto slash = text.find('/');
    if (slash == std::string_view::npos)
        return {text, {}};
    return {text.substr(0, slash), text.substr(slash + 1)};
}

std::string quoted(std::string_view item)
{
    return "'" + std::string(item) + "'";
}

// One NAME=VALUE of the plan into plan; why not, when it is not one.
std::optional<std::string> take(FaultPlan& plan, std::string_view name, std::string_view value, std::string_view item)
{
    const std::string where = quoted(item) + ": ";
    if (name == "fail") {
        const auto [share, burst] = halves(value);
        const auto fraction = shareOf(share);
        if (!fraction)
            return where + "a share is 0 to 100 % (fail=2% or fail=2%/10)";
        plan.failShare = *fraction;
        if (!burst.empty()) {
            const auto length = wholeOf(burst);
            if (!length || *length < 1 || *length > 1000)
                return where + "a burst is 1 to 1000 transactions";
            plan.burst = static_cast<int>(*length);
        }
        return std::nullopt;
    }
    if (name == "errors") {
        plan.errors.clear();
        std::string_view rest = value;
        while (true) {
            const auto plus = rest.find('+');
            const std::string_view one = rest.substr(0, plus);
            const auto known = std::ranges::find(PlannableErrors, one, errnoName);
            if (known == std::end(PlannableErrors)) {
                std::string names;
                for (const int e : PlannableErrors)
                    names += (names.empty() ? "" : ", ") + errnoName(e);
                return where + quoted(one) + " is not an error the bus gives; they are " + names;
            }
            plan.errors.push_back(*known);
            if (plus == std::string_view::npos)
                break;
            rest.remove_prefix(plus + 1);
        }
        return std::nullopt;
    }
    if (name == "silent" || name == "gone") {
        const auto [span, every] = halves(value);
        const auto length = durationOf(span);
        const auto interval = durationOf(every);
        if (!length || !interval)
            return where + "a span in every interval, both times (" + std::string(name) + "=20s/2m)";
        if (*length < ShortestSpan || *length >= *interval)
            return where + "the span is at least 100 ms and shorter than the interval";
        (name == "silent" ? plan.silent : plan.gone) = {*length, *interval};
        return std::nullopt;
    }
    if (name == "slow") {
        const auto [delay, share] = halves(value);
        const auto length = durationOf(delay);
        const auto fraction = shareOf(share);
        if (!length || !fraction)
            return where + "a delay and a share of transactions (slow=50ms/1%)";
        if (*length > LongestDelay)
            return where + "a transaction takes at most 10 s";
        plan.slowDelay = *length;
        plan.slowShare = *fraction;
        return std::nullopt;
    }
    if (name == "seed") {
        const auto number = wholeOf(value);
        if (!number || *number < 0 || *number > 0xFFFFFFFFLL)
            return where + "a seed is a whole number, 0 to 4294967295";
        plan.seed = static_cast<std::uint32_t>(*number);
        return std::nullopt;
    }
    if (name == "log") {
        if (value.empty())
            return where + "the log needs a file name";
        plan.log = std::string(value);
        return std::nullopt;
    }
    return where + "not a fault; the plan takes fail, errors, silent, slow, gone, seed and log";
}

} // namespace

bool FaultPlan::Spans::at(Clock::time_point time) const
{
    if (!any())
        return false;
    const auto into = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()) % every;
    return into >= every - span;
}

FaultPlan::Clock::time_point FaultPlan::Spans::nextChange(Clock::time_point time) const
{
    if (!any())
        return Clock::time_point::max();
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    const auto start = now - now % every;
    const auto begins = start + every - span;
    const auto next = now < begins ? begins : start + every;
    return Clock::time_point(next);
}

std::variant<FaultPlan, std::string> parseFaultPlan(std::string_view text)
{
    FaultPlan plan;
    std::vector<std::string_view> seen;
    std::string_view rest = text;
    while (!rest.empty() || seen.empty()) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const auto equals = item.find('=');
        if (item.empty())
            return std::string(text.empty() ? "the plan is empty; say what is to go wrong, as fail=2%"
                                            : "an empty item in the plan (two commas, or one at an end)");
        if (equals == std::string_view::npos)
            return quoted(item) + ": each item is NAME=VALUE, as fail=2%";
        const std::string_view name = item.substr(0, equals);
        if (std::ranges::find(seen, name) != seen.end())
            return quoted(name) + " is given twice";
        seen.push_back(name);
        if (auto why = take(plan, name, item.substr(equals + 1), item))
            return *why;
        if (comma != std::string_view::npos && rest.empty())
            return std::string("an empty item in the plan (two commas, or one at an end)");
    }
    if (plan.errors.empty())
        plan.errors = {EIO, EAGAIN, ETIMEDOUT};
    return plan;
}
