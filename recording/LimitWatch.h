#pragma once
// Bounds on readings, checked poll by poll while recording: "local_c<=80",
// "fan1_rpm>=500". A bound is passed when the reading lies beyond it. A
// recording also counts a read behind the reading that failed as passed: a
// reading nobody saw is not a reading within bounds, and its line says
// "no reading".

#include "protocol/PollReadings.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct Limit {
    Poll::Reading reading = Poll::Reading::Local;
    bool atMost = true; // "<=" when true, ">=" when false
    double bound = 0;

    std::string text() const; // "local_c<=80"
};

// A limit from its text, or why the text is not one.
std::variant<Limit, std::string> parseLimit(std::string_view text);

// Where one poll puts a reading against a limit: within it, beyond it, not
// read (a read behind the reading failed), or not known (a fan whose pair
// reads 0x00 0x00 has no new count, and its limit stands as it stood).
enum class Against { Within, Beyond, NotRead, NotKnown };
struct LimitCheck {
    Against against;
    std::optional<double> value; // nothing when the read failed
};
LimitCheck checkLimit(const Limit& limit, const PollResult& poll, bool offsetCoded);

class LimitWatch {
public:
    explicit LimitWatch(std::vector<Limit> limits);

    // Checks one poll. Returns a line for each limit passed or back within
    // its bound since the last poll: "2026-12-09T10:00:00.100Z local_c<=80
    // passed: 81". A fan whose count has not changed (its pair reads
    // 0x00 0x00) leaves its limit as it stood.
    std::vector<std::string> check(const PollResult& poll, bool offsetCoded);

    // Any limit was passed at any time.
    bool everPassed() const { return everPassed_; }

private:
    std::vector<Limit> limits_;
    std::vector<bool> passed_;
    bool everPassed_ = false;
};
