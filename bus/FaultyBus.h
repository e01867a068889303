#pragma once
// The simulated bus doing wrong to a plan: transactions failing in bursts,
// the chip silent for spans, slow transactions, and controller 2's adapter
// gone for spans, each as the kernel's bus would show it (EIO, ENXIO,
// ENODEV, a transaction that takes its time). What it did wrong, and every
// write, may go to a log of its own, so that a run can be checked against
// what the bus really did.

#include "BusAdapter.h"
#include "FaultPlan.h"
#include "SimulatedBus.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>

class FaultyBus : public BusAdapter {
public:
    using Clock = FaultPlan::Clock;
    // Time and waiting, for tests to drive; the steady clock and a real
    // sleep when empty.
    struct Time {
        std::function<Clock::time_point()> now;
        std::function<void(std::chrono::milliseconds)> sleep;
    };
    struct Counts {
        std::uint64_t transactions = 0;
        std::uint64_t failed = 0; // by the plan: bursts, silence, gone
        std::uint64_t slow = 0;
        std::uint64_t writes = 0;
        // Writes to a register whose last read failed: what a program must
        // never send, as it would write back a byte it never had.
        std::uint64_t writesAfterFailedRead = 0;
    };

    // The plan's log is opened for appending.
    FaultyBus(FaultPlan plan, std::unique_ptr<SimulatedBus> bus, Time time = {});
    // The log opened for appending, made where missing: a descriptor, or -errno.
    static int openLog(const std::string& path);
    ~FaultyBus() override;
    FaultyBus(const FaultyBus&) = delete;
    FaultyBus& operator=(const FaultyBus&) = delete;

    SimulatedBus& simulated() { return *bus_; }
    const FaultPlan& plan() const { return plan_; }
    // Why the plan's log cannot be written; empty when it can, or when
    // there is none. The faults go on without it.
    const std::string& logProblem() const { return logProblem_; }
    Counts counts() const;

    // When the adapter next goes or comes back, if it ever does, and the
    // bus's time now, on the same clock.
    std::optional<Clock::time_point> nextAdapterChange() const;
    Clock::time_point now() const { return time_.now(); }

    std::uint16_t DetectSmbus(std::int32_t controllerIndex) override;
    ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) override;
    BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override;
    ByteRead ReceiveByte(std::uint8_t device) override;
    bool adapterGone(std::int32_t controllerIndex) const override;
    std::string controllerName() const override { return bus_->controllerName(); }
    std::string nameOfController(std::int32_t index) const override { return bus_->nameOfController(index); }

    // The controller whose adapter the plan removes: the one with the chip.
    static constexpr std::int32_t PlannedController = 1;

private:
    // The plan's error for a transaction to device on the chosen
    // controller, if it is to fail; counted, logged, and slowed as planned.
    int faultFor(std::uint8_t device, const char* what, int reg);
    void log(const std::string& line);
    // A register on the chosen controller, for what was last read of it.
    int registerKey(std::uint8_t device, std::uint8_t reg) const;
    void noteState(bool silent, bool gone);

    FaultPlan plan_;
    std::unique_ptr<SimulatedBus> bus_;
    Time time_;
    int logFd_ = -1;
    std::string logProblem_;
    // Only the bus thread chooses and reads it, as every transaction runs there.
    std::int32_t controller_ = 1;

    mutable std::mutex mutex_; // the counts, read from any thread
    Counts counts_;
    std::mt19937 random_;
    double burstStart_ = 0; // the chance a transaction outside a burst starts one
    int burstLeft_ = 0;
    int burstError_ = EIO;
    std::map<int, bool> lastReadFailed_; // by registerKey()
    bool wasSilent_ = false;
    bool wasGone_ = false;
};
