#pragma once
// What the status line says about the bus: which bus and device are in use,
// and, while something goes wrong, what and since when. Fed with the outcome
// of every transaction; the text changes only when the situation does.

#include "bus/BusAdapter.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class BusHealth {
public:
    using Time = std::chrono::system_clock::time_point;
    // How long a failed manual write or read stays on the line, unless a
    // later one replaces it.
    static constexpr std::chrono::seconds NoteLasts{10};
    // A poll slower than this is reported: five ticks were skipped for it.
    static constexpr double SlowPollSeconds = 0.5;

    // The bus and device in use. A note about another device or bus gives
    // way at once: it no longer says anything of what is read.
    void setBus(std::string controllerName, std::uint8_t device);
    // The device field names no device: notes about one give way.
    void dropDeviceNotes();
    // The device in use does not identify as the chip: said instead of the
    // bus's name, e.g. "is not a Corvane (identification 00 00 00): no
    // limits apply"; empty when it does, or is not known.
    void notTheChip(std::string why) { notTheChip_ = std::move(why); }

    // Any transaction's outcome at a device: a failure starts (or continues)
    // the failing state, a success ends it.
    void observe(const BusOutcome& outcome, std::uint8_t device, Time now);
    // Start-up did not find the device: on neither controller, or, where
    // the search stopped at an error other than silence, on the first.
    void answeredNowhere(const BusOutcome& outcome, std::uint8_t device, Time now, bool triedBoth = true);
    // Why the poll sends nothing to the device, while it does not; empty
    // once it polls again.
    void pollRefused(std::string why) { refusal_ = std::move(why); }
    // A write the user asked for failed, or a manual read did.
    void writeFailed(std::uint8_t reg, std::uint8_t device, const BusOutcome& outcome, Time now);
    void readFailed(std::uint8_t reg, std::uint8_t device, const BusOutcome& outcome, Time now);
    // Anything else worth a note: a fan test's end, a file saved. A note
    // that something went wrong is shown as a problem.
    void note(std::string text, Time now, bool problem = false)
    {
        note_ = Note{std::move(text), now + NoteLasts, problem, std::nullopt};
    }
    void pollTook(double seconds) { lastPollSeconds_ = seconds; }
    // What the program is doing with the chip, said instead of the bus's
    // name while it lasts; empty when it ends.
    void activity(std::string text) { activity_ = std::move(text); }
    // The newest alarm, said above everything but a fresh note while any
    // lasts; empty when none does.
    void alarm(std::string text) { alarm_ = std::move(text); }

    // The adapter of the controller in use is gone: said (adapterGoneText)
    // above everything but a fresh note of a failure the user just caused,
    // until it is back; empty then.
    void adapterGone(std::string text) { gone_ = std::move(text); }

    std::string text(Time now) const;
    // What text() says is a problem: a failure, a refusal, a slow bus.
    bool troubled(Time now) const;

    // What is said of an adapter that went and came, by the controller it
    // was: "SMBus Controller 2 (NAME) is gone since 14:02:11".
    static std::string adapterGoneText(int controller, const std::string& name, Time since);
    static std::string adapterBackText(int controller, const std::string& name, Time since);
    // "another NAME came at PLACE (/dev/i2c-5)": of the gone one's name, at
    // another place, and not taken unless the user says so.
    static std::string strangerText(const std::string& name, const std::string& place, const std::string& devicePath);

private:
    struct Failing {
        std::uint8_t device;
        int error;
        Time since;
        bool nowhere; // since start-up found no controller where it answers
    };
    struct Note {
        std::string text;
        Time until;
        bool problem = false;
        // The device and bus the note is about, where it is about one.
        std::optional<std::pair<std::string, std::uint8_t>> about;
    };

    std::string controllerName_;
    std::uint8_t device_ = 0;
    std::optional<Failing> failing_;
    std::optional<Note> note_;
    std::string refusal_;
    std::string activity_;
    std::string alarm_;
    std::string notTheChip_;
    std::string driver_; // owns device_, as the last transaction there said
    double lastPollSeconds_ = 0;
    std::string gone_;
};

// The kernel's words for an errno: "No such device or address".
std::string errorText(int error);

// "Device 0x48 does not answer (No such device or address)", naming the
// kernel driver that owns the address where the outcome names one.
std::string doesNotAnswerText(std::uint8_t device, const BusOutcome& outcome);
