#pragma once
// What the simulated bus is to do wrong, and when: bursts of failed
// transactions, a chip that answers nothing for a while, slow transactions,
// and an adapter that goes and comes back. Written by the user as
// "fail=2%/10,silent=20s/2m,slow=50ms/1%,gone=10s/5m".
//
// The silent and gone spans are laid on the steady clock from the machine's
// start, not the program's: every program that runs the same plan sees the
// same chip fall silent at the same moments, as programs sharing one real
// chip would.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct FaultPlan {
    using Clock = std::chrono::steady_clock;

    // A span in every interval, at the interval's end: "20s/2m" is 100 s
    // well, then 20 s of the fault, and again.
    struct Spans {
        std::chrono::milliseconds span{0};
        std::chrono::milliseconds every{0};

        bool any() const { return span.count() > 0; }
        bool at(Clock::time_point time) const;
        // The next moment the fault begins or ends after time.
        Clock::time_point nextChange(Clock::time_point time) const;
    };

    double failShare = 0; // 0..1 of transactions
    int burst = 8;        // failed transactions in a row
    std::vector<int> errors; // errnos the bursts take turns at random
    Spans silent;         // the chip answers nothing (ENXIO)
    Spans gone;           // controller 2's adapter is removed (ENODEV)
    std::chrono::milliseconds slowDelay{0};
    double slowShare = 0;
    std::optional<std::uint32_t> seed;
    std::string log; // a file the bus appends what it did wrong to

    bool operator==(const FaultPlan&) const = default;
};

// The plan, or why the text is not one ("'fail=150%': a share is 0 to 100 %").
std::variant<FaultPlan, std::string> parseFaultPlan(std::string_view text);
