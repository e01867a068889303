#include "BusHealth.h"

#include "AddressGuard.h"

#include <cmath>
#include <cstring>
#include <ctime>

namespace {

std::string clockText(BusHealth::Time time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

// One decimal with a point, whatever the locale.
std::string secondsText(double seconds)
{
    const long tenths = std::lround(seconds * 10);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

std::string failureText(const BusOutcome& outcome)
{
    std::string text = errorText(outcome.error);
    if (!outcome.driver.empty())
        text += " (driven by the kernel's " + outcome.driver + " driver)";
    return text;
}

} // namespace

std::string errorText(int error)
{
    char buffer[128];
    // The GNU strerror_r returns the text, which may not be in the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

std::string doesNotAnswerText(std::uint8_t device, const BusOutcome& outcome)
{
    return "Device " + deviceText(device) + " does not answer (" + failureText(outcome) + ")";
}

void BusHealth::setBus(std::string controllerName, std::uint8_t device)
{
    if (device != device_ || controllerName != controllerName_) {
        driver_.clear();
        notTheChip_.clear();
    }
    controllerName_ = std::move(controllerName);
    device_ = device;
    if (note_ && note_->about && *note_->about != std::make_pair(controllerName_, device_))
        note_.reset();
}

void BusHealth::dropDeviceNotes()
{
    if (note_ && note_->about)
        note_.reset();
}

void BusHealth::observe(const BusOutcome& outcome, std::uint8_t device, Time now)
{
    if (outcome.ok()) {
        failing_.reset();
        if (device == device_)
            driver_ = outcome.driver;
        return;
    }
    if (!failing_ || failing_->device != device || failing_->error != outcome.error)
        failing_ = Failing{device, outcome.error, failing_ && failing_->device == device ? failing_->since : now, false};
}

void BusHealth::answeredNowhere(const BusOutcome& outcome, std::uint8_t device, Time now, bool triedBoth)
{
    failing_ = Failing{device, outcome.error, now, triedBoth};
}

void BusHealth::writeFailed(std::uint8_t reg, std::uint8_t device, const BusOutcome& outcome, Time now)
{
    note_ = Note{"Write to register " + deviceText(reg) + " of device " + deviceText(device) + " failed: " +
                     failureText(outcome),
                 now + NoteLasts, true, std::make_pair(controllerName_, device)};
}

void BusHealth::readFailed(std::uint8_t reg, std::uint8_t device, const BusOutcome& outcome, Time now)
{
    note_ = Note{"Read of register " + deviceText(reg) + " of device " + deviceText(device) + " failed: " +
                     failureText(outcome),
                 now + NoteLasts, true, std::make_pair(controllerName_, device)};
}

bool BusHealth::troubled(Time now) const
{
    // As text() ranks them.
    const bool noteFresh = note_ && now < note_->until;
    if (noteFresh && note_->problem)
        return true;
    if (!gone_.empty() || !alarm_.empty())
        return true;
    if (noteFresh)
        return false;
    return !refusal_.empty() || failing_ || lastPollSeconds_ > SlowPollSeconds;
}

std::string BusHealth::text(Time now) const
{
    // A fresh note that something failed, then an alarm, then a fresh note
    // of anything else: an alarm outlasts a note, and outranks all but a
    // failure the user just caused.
    const bool noteFresh = note_ && now < note_->until;
    if (noteFresh && note_->problem)
        return note_->text;
    // The adapter's going is why every reading and alarm says nothing.
    if (!gone_.empty())
        return gone_;
    if (!alarm_.empty())
        return alarm_;
    if (noteFresh)
        return note_->text;
    if (!refusal_.empty())
        return refusal_;
    if (failing_) {
        return "Device " + deviceText(failing_->device) + " does not answer" +
               (failing_->nowhere ? " on either SMBus controller" : "") + " (" + errorText(failing_->error) +
               ") since " + clockText(failing_->since);
    }
    if (lastPollSeconds_ > SlowPollSeconds)
        return "Bus slow: the last poll took " + secondsText(lastPollSeconds_);
    if (!activity_.empty())
        return activity_;
    std::string text = "Device " + deviceText(device_) + " on " + controllerName_;
    if (!notTheChip_.empty())
        return text + " " + notTheChip_;
    if (!driver_.empty())
        text += ", driven by the kernel's " + driver_ + " driver";
    return text;
}

std::string BusHealth::adapterGoneText(int controller, const std::string& name, Time since)
{
    return controllerText(controller, name) + " is gone since " + clockText(since);
}

std::string BusHealth::adapterBackText(int controller, const std::string& name, Time since)
{
    return controllerText(controller, name) + " is back since " + clockText(since);
}

std::string BusHealth::strangerText(const std::string& name, const std::string& place, const std::string& devicePath)
{
    return "another " + name + " came at " + (place.empty() ? std::string("no known place") : place) + " (" +
           devicePath + ")";
}
