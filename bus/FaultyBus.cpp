#include "FaultyBus.h"
#include "ErrnoName.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

std::string hex(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

} // namespace

FaultyBus::FaultyBus(FaultPlan plan, std::unique_ptr<SimulatedBus> bus, Time time)
    : plan_(std::move(plan)), bus_(std::move(bus)), time_(std::move(time)),
      random_(plan_.seed ? *plan_.seed : std::random_device{}())
{
    if (!time_.now)
        time_.now = [] { return Clock::now(); };
    if (!time_.sleep)
        time_.sleep = [](std::chrono::milliseconds delay) { std::this_thread::sleep_for(delay); };
    if (!plan_.log.empty()) {
        const int fd = openLog(plan_.log);
        if (fd < 0)
            logProblem_ = "Cannot write the fault log " + plan_.log + ": " + std::strerror(-fd);
        logFd_ = fd;
    }
    // Outside a burst each transaction starts one at this chance, so that
    // in the long run the planned share of transactions fails.
    const double share = plan_.failShare;
    burstStart_ = share >= 1 ? 1 : share / (plan_.burst * (1 - share) + share);
}

int FaultyBus::openLog(const std::string& path)
{
    // Appending, so that programs running the same plan share one log.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return fd < 0 ? -errno : fd;
}

FaultyBus::~FaultyBus()
{
    if (logFd_ >= 0) {
        const Counts c = counts();
        log("end transactions " + std::to_string(c.transactions) + " failed " + std::to_string(c.failed) + " slow " +
            std::to_string(c.slow) + " writes " + std::to_string(c.writes) + " writes-after-failed-read " +
            std::to_string(c.writesAfterFailedRead));
        ::close(logFd_);
    }
}

FaultyBus::Counts FaultyBus::counts() const
{
    std::lock_guard lock(mutex_);
    return counts_;
}

std::optional<FaultyBus::Clock::time_point> FaultyBus::nextAdapterChange() const
{
    if (!plan_.gone.any())
        return std::nullopt;
    return plan_.gone.nextChange(time_.now());
}

bool FaultyBus::adapterGone(std::int32_t controllerIndex) const
{
    return controllerIndex == PlannedController && plan_.gone.at(time_.now());
}

void FaultyBus::log(const std::string& line)
{
    if (logFd_ < 0)
        return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time_.now().time_since_epoch()).count();
    const std::string text = std::to_string(ms) + " " + std::to_string(::getpid()) + " " + line + "\n";
    // One write, so that programs sharing the log never split a line.
    [[maybe_unused]] const auto written = ::write(logFd_, text.data(), text.size());
}

void FaultyBus::noteState(bool silent, bool gone)
{
    if (silent != wasSilent_)
        log(silent ? "silent" : "answers");
    if (gone != wasGone_)
        log(gone ? "gone" : "back");
    wasSilent_ = silent;
    wasGone_ = gone;
}

int FaultyBus::faultFor(std::uint8_t device, const char* what, int reg)
{
    const auto now = time_.now();
    const bool onPlanned = controller_ == PlannedController;
    const bool goneNow = plan_.gone.at(now);
    const bool silentNow = plan_.silent.at(now);
    const bool gone = onPlanned && goneNow;
    const bool silent = onPlanned && device == SimulatedBus::ChipAddress && silentNow;
    int error = 0;
    bool slow = false;
    {
        std::lock_guard lock(mutex_);
        ++counts_.transactions;
        noteState(silentNow, goneNow);
        std::uniform_real_distribution<double> chance(0, 1);
        if (gone) {
            // The kernel fails at once what it has no adapter for.
            error = ENODEV;
        } else {
            slow = plan_.slowShare > 0 && chance(random_) < plan_.slowShare;
            if (burstLeft_ > 0) {
                --burstLeft_;
                error = burstError_;
            } else if (burstStart_ > 0 && chance(random_) < burstStart_) {
                const auto pick = std::uniform_int_distribution<std::size_t>(0, plan_.errors.size() - 1)(random_);
                burstError_ = plan_.errors[pick];
                burstLeft_ = plan_.burst - 1;
                error = burstError_;
            } else if (silent) {
                error = ENXIO;
            }
        }
        counts_.slow += slow;
        if (error) {
            ++counts_.failed;
            log("failed " + std::string(what) + " " + hex(device) + (reg >= 0 ? " " + hex(reg) : std::string()) +
                " " + errnoName(error));
        }
    }
    if (slow)
        time_.sleep(plan_.slowDelay);
    return error;
}

int FaultyBus::registerKey(std::uint8_t device, std::uint8_t reg) const
{
    return controller_ << 16 | device << 8 | reg;
}

std::uint16_t FaultyBus::DetectSmbus(std::int32_t controllerIndex)
{
    controller_ = controllerIndex;
    return bus_->DetectSmbus(controllerIndex);
}

ByteRead FaultyBus::ReadSmbus(std::uint8_t device, std::uint8_t reg)
{
    const int error = faultFor(device, "read", reg);
    const ByteRead read = error ? ByteRead::failed(error) : bus_->ReadSmbus(device, reg);
    std::lock_guard lock(mutex_);
    lastReadFailed_[registerKey(device, reg)] = !read.ok();
    return read;
}

BusOutcome FaultyBus::WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    {
        std::lock_guard lock(mutex_);
        ++counts_.writes;
        const auto last = lastReadFailed_.find(registerKey(device, reg));
        const bool afterFailedRead = last != lastReadFailed_.end() && last->second;
        counts_.writesAfterFailedRead += afterFailedRead;
        log("write " + hex(device) + " " + hex(reg) + " " + hex(data) +
            (afterFailedRead ? " after-failed-read" : ""));
    }
    const int error = faultFor(device, "write", reg);
    return error ? BusOutcome{error, {}} : bus_->WriteSmbus(device, reg, data);
}

ByteRead FaultyBus::ReceiveByte(std::uint8_t device)
{
    const int error = faultFor(device, "receive", -1);
    return error ? ByteRead::failed(error) : bus_->ReceiveByte(device);
}
