#pragma once
// Follows the PC's SMBus adapters as the kernel removes and adds them. A
// removed adapter's file is let go at once, so the kernel can finish
// removing it (it waits while any program holds the file open); the
// controller's own adapter is taken back under whatever number it comes;
// another of the same name at another place waits until the user chooses
// that controller again.

#include "bus/AdapterMonitor.h"
#include "bus/LinuxSmbus.h"
#include "session/AdapterWatch.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class BenchSession;
class QSocketNotifier;

class AdapterFollower : public AdapterWatch {
    Q_OBJECT
public:
    AdapterFollower(LinuxSmbus& bus, std::unique_ptr<AdapterMonitor> monitor, std::filesystem::path sysfs = "/sys",
                    QObject* parent = nullptr);

    // Handles the events that wait; the monitor's socket calls it as they come.
    void takeEvents();
    bool takeStranger(int controller) override;
    const std::optional<SmbusAdapter>& stranger(int controller) const override;

private:
    void removed(int number);
    void added(int number);

    LinuxSmbus& bus_;
    std::unique_ptr<AdapterMonitor> monitor_;
    std::filesystem::path sysfs_;
    QSocketNotifier* notifier_ = nullptr;
    std::array<std::optional<SmbusAdapter>, 2> strangers_;
};

// The session told what the follower sees, and taking what waits when the
// user chooses a gone controller again.
void followAdapters(BenchSession& session, AdapterWatch& follower);

// What follows the bus's adapters, owned by owner: udev's events for the
// kernel's bus, the plan for the faulty simulated bus; nothing for another
// bus, or, with the reason in *why, when udev cannot be reached.
AdapterWatch* followerFor(BusAdapter& bus, QObject& owner, std::string* why,
                             const std::filesystem::path& sysfs = "/sys");

// The window's session told of its adapters' going and coming. Where they
// cannot be followed the status line says so.
void followAdaptersOf(BenchSession& session, BusAdapter& bus);
