#include "History.h"

#include "protocol/AddressGuard.h"

#include <algorithm>
#include <cmath>
#include <limits>

using Poll::Reading;

namespace {

History::Milliseconds millisecondsOf(std::chrono::system_clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

History::Milliseconds secondOf(History::Milliseconds time)
{
    return time - ((time % 1000) + 1000) % 1000;
}

} // namespace

std::optional<float> History::value(const Sample& sample, Reading reading)
{
    PollResult poll;
    poll.bytes = sample.bytes;
    poll.failedReads = sample.failedReads();
    const auto value = readingValue(poll, reading, sample.offsetCoded());
    return value ? std::optional<float>(static_cast<float>(*value)) : std::nullopt;
}

void History::add(const PollResult& poll, bool offsetCoded)
{
    // Times never go back, though the wall clock may be set back: the
    // stores are searched as sorted.
    Milliseconds time = millisecondsOf(poll.time);
    if (!recent_.empty())
        time = std::max(time, timeOf(recent_.back()));
    rebaseFor(time);
    if (lastDevice_ && *lastDevice_ != poll.device)
        mark(time, "Device " + deviceText(poll.device));
    lastDevice_ = poll.device;
    recent_.push_back({static_cast<std::uint32_t>(time - base_), poll.bytes,
                       static_cast<std::uint16_t>(poll.failedReads | (offsetCoded ? Sample::OffsetCoded : 0))});
    ++polls_;
    while (recent_.back().sinceBase - recent_.front().sinceBase > FullRateSpan) {
        fold(recent_.front());
        recent_.pop_front();
    }
}

void History::rebaseFor(Milliseconds time)
{
    constexpr Milliseconds MostSinceBase = std::numeric_limits<std::int32_t>::max();
    if (recent_.empty()) {
        base_ = time;
        return;
    }
    if (time - base_ <= MostSinceBase)
        return;
    // What the new time leaves older than the hour is folded as it would
    // be after it; the rest count from the oldest kept.
    while (!recent_.empty() && time - timeOf(recent_.front()) > FullRateSpan) {
        fold(recent_.front());
        recent_.pop_front();
    }
    const Milliseconds base = recent_.empty() ? time : timeOf(recent_.front());
    const auto shift = static_cast<std::uint32_t>(base - base_);
    recent_.changeEach([shift](Sample& sample) { sample.sinceBase -= shift; });
    base_ = base;
}

void History::mark(Milliseconds time, std::string text)
{
    marks_.push_back({time, std::move(text)});
    if (marks_.size() > MarksKept)
        marks_.pop_front();
}

void History::fold(const Sample& sample)
{
    const Milliseconds second = secondOf(timeOf(sample));
    if (folding_ && folding_->start != second) {
        seconds_.push_back(*folding_);
        folding_.reset();
        while (seconds_.back().start - seconds_.front().start > PerSecondSpan) {
            foldIntoMinute(seconds_.front());
            seconds_.pop_front();
        }
    }
    if (!folding_) {
        folding_ = Second{second, {}, {}, {}, 0};
        foldCounts_.fill(0);
    }
    for (int r = 0; r < Poll::ReadingCount; ++r) {
        const auto v = value(sample, static_cast<Reading>(r));
        if (!v)
            continue;
        auto& s = *folding_;
        const int n = ++foldCounts_[static_cast<std::size_t>(r)];
        const auto i = static_cast<std::size_t>(r);
        s.min[i] = n == 1 ? *v : std::min(s.min[i], *v);
        s.max[i] = n == 1 ? *v : std::max(s.max[i], *v);
        s.mean[i] = n == 1 ? *v : s.mean[i] + (*v - s.mean[i]) / static_cast<float>(n);
        s.present = static_cast<std::uint16_t>(s.present | (1u << r));
    }
}

void History::foldIntoMinute(const Second& second)
{
    const Milliseconds minute = second.start - ((second.start % 60000) + 60000) % 60000;
    if (minutes_.empty() || minutes_.back().start != minute) {
        minutes_.push_back(Second{minute, {}, {}, {}, 0});
        minuteCounts_.fill(0);
    }
    Second& m = minutes_.back();
    for (std::size_t r = 0; r < Poll::ReadingCount; ++r) {
        if (!(second.present & (1u << r)))
            continue;
        const int n = ++minuteCounts_[r];
        m.min[r] = n == 1 ? second.min[r] : std::min(m.min[r], second.min[r]);
        m.max[r] = n == 1 ? second.max[r] : std::max(m.max[r], second.max[r]);
        m.mean[r] = n == 1 ? second.mean[r] : m.mean[r] + (second.mean[r] - m.mean[r]) / static_cast<float>(n);
        m.present = static_cast<std::uint16_t>(m.present | (1u << r));
    }
}

History::Milliseconds History::first() const
{
    if (!minutes_.empty())
        return minutes_.front().start;
    if (!seconds_.empty())
        return seconds_.front().start;
    if (folding_)
        return folding_->start;
    return recent_.empty() ? 0 : timeOf(recent_.front());
}

History::Milliseconds History::last() const
{
    return recent_.empty() ? first() : timeOf(recent_.back());
}

std::vector<History::Point> History::series(Reading reading, Milliseconds from, Milliseconds to,
                                            Milliseconds step) const
{
    step = std::max<Milliseconds>(step, 1);
    const auto r = static_cast<std::size_t>(reading);
    std::vector<Point> points;
    Milliseconds bucket = 0;
    double sum = 0;
    int count = 0;
    bool open = false;
    const auto take = [&](Milliseconds time, float value) {
        if (time < from || time > to)
            return;
        const Milliseconds b = from + (time - from) / step * step;
        if (open && b != bucket && count > 0) {
            points.push_back({bucket + step / 2, static_cast<float>(sum / count)});
            sum = 0;
            count = 0;
        }
        bucket = b;
        open = true;
        sum += value;
        ++count;
    };
    const auto firstMinute = std::lower_bound(minutes_.begin(), minutes_.end(), from - 59'999,
                                              [](const Second& s, Milliseconds t) { return s.start < t; });
    for (auto m = firstMinute; m != minutes_.end() && m->start <= to; ++m) {
        if (m->present & (1u << r))
            take(m->start + 30'000, m->mean[r]);
    }
    const auto firstSecond = std::lower_bound(seconds_.begin(), seconds_.end(), from - 999,
                                              [](const Second& s, Milliseconds t) { return s.start < t; });
    for (auto s = firstSecond; s != seconds_.end() && s->start <= to; ++s) {
        if (s->present & (1u << r))
            take(s->start + 500, s->mean[r]);
    }
    // Steps of a second or more take the recent polls as per-second means
    // too, so every second weighs the same whichever store holds it; the
    // second being folded is completed by the recent polls of that second.
    const bool perSecond = step >= 1000;
    Milliseconds second = 0;
    double secondSum = 0;
    int secondCount = 0;
    if (folding_ && (folding_->present & (1u << r))) {
        if (perSecond) {
            second = folding_->start;
            secondCount = foldCounts_[r];
            secondSum = static_cast<double>(folding_->mean[r]) * secondCount;
        } else {
            take(folding_->start + 500, folding_->mean[r]);
        }
    }
    const auto takeSecond = [&] {
        // The second in hand may not have reached its middle yet.
        if (secondCount > 0 && second + 999 >= from && second <= to)
            take(std::clamp(second + 500, from, to), static_cast<float>(secondSum / secondCount));
        secondSum = 0;
        secondCount = 0;
    };
    for (auto s = recentFrom(from); s != recent_.end() && timeOf(*s) <= to; ++s) {
        const auto v = value(*s, reading);
        if (!v)
            continue;
        if (!perSecond) {
            take(timeOf(*s), *v);
            continue;
        }
        if (secondOf(timeOf(*s)) != second)
            takeSecond();
        second = secondOf(timeOf(*s));
        secondSum += *v;
        ++secondCount;
    }
    takeSecond();
    if (count > 0)
        points.push_back({bucket + step / 2, static_cast<float>(sum / count)});
    return points;
}

SlidingSpan<History::Sample>::const_iterator History::recentFrom(Milliseconds time) const
{
    return std::lower_bound(recent_.begin(), recent_.end(), time,
                            [this](const Sample& s, Milliseconds t) { return timeOf(s) < t; });
}

std::optional<History::Values> History::at(Milliseconds time, Milliseconds maxDistance) const
{
    const auto sample = recentFrom(time);
    const Sample* nearest = nullptr;
    for (auto candidate : {sample, sample == recent_.begin() ? recent_.end() : sample - 1}) {
        if (candidate == recent_.end())
            continue;
        if (!nearest || std::llabs(timeOf(*candidate) - time) < std::llabs(timeOf(*nearest) - time))
            nearest = &*candidate;
    }
    if (nearest && std::llabs(timeOf(*nearest) - time) <= maxDistance) {
        Values values{timeOf(*nearest), {}};
        for (int r = 0; r < Poll::ReadingCount; ++r)
            values.readings[static_cast<std::size_t>(r)] = value(*nearest, static_cast<Reading>(r));
        return values;
    }
    // A summary: the second, or before the last day the minute, holding time.
    const auto summaryAt = [time](const std::deque<Second>& store, Milliseconds length) -> const Second* {
        const Milliseconds start = time - ((time % length) + length) % length;
        const auto found = std::lower_bound(store.begin(), store.end(), start,
                                            [](const Second& s, Milliseconds t) { return s.start < t; });
        return found != store.end() && found->start == start ? &*found : nullptr;
    };
    const Second* second = summaryAt(seconds_, 1000);
    const Milliseconds length = second ? 1000 : 60'000;
    if (!second)
        second = summaryAt(minutes_, 60'000);
    if (!second)
        return std::nullopt;
    Values values{second->start + length / 2, {}};
    for (int r = 0; r < Poll::ReadingCount; ++r) {
        if (second->present & (1u << r))
            values.readings[static_cast<std::size_t>(r)] = second->mean[static_cast<std::size_t>(r)];
    }
    return values;
}

std::size_t History::bytes() const
{
    return recent_.size() * sizeof(Sample) + (seconds_.size() + minutes_.size()) * sizeof(Second);
}
