#include "AdapterMonitor.h"

#include <charconv>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <libudev.h>

std::optional<AdapterEvent> adapterEventOf(std::string_view action, std::string_view name)
{
    AdapterEvent::Kind kind;
    if (action == "add")
        kind = AdapterEvent::Kind::Added;
    else if (action == "remove")
        kind = AdapterEvent::Kind::Removed;
    else
        return std::nullopt;
    if (!name.starts_with("i2c-"))
        return std::nullopt;
    name.remove_prefix(4);
    int number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (error != std::errc{} || end != name.data() + name.size() || name.empty() || number < 0)
        return std::nullopt;
    return AdapterEvent{kind, number};
}

namespace {

class UdevAdapterMonitor : public AdapterMonitor {
public:
    UdevAdapterMonitor(udev* context, udev_monitor* monitor) : context_(context), monitor_(monitor) {}
    ~UdevAdapterMonitor() override
    {
        udev_monitor_unref(monitor_);
        udev_unref(context_);
    }
    UdevAdapterMonitor(const UdevAdapterMonitor&) = delete;
    UdevAdapterMonitor& operator=(const UdevAdapterMonitor&) = delete;

    int fd() const override { return udev_monitor_get_fd(monitor_); }

    std::vector<AdapterEvent> take() override
    {
        std::vector<AdapterEvent> events;
        // The monitor's socket does not block: nothing waiting gives null.
        while (udev_device* device = udev_monitor_receive_device(monitor_)) {
            const char* action = udev_device_get_action(device);
            const char* name = udev_device_get_sysname(device);
            if (action && name) {
                if (auto event = adapterEventOf(action, name))
                    events.push_back(*event);
            }
            udev_device_unref(device);
        }
        return events;
    }

private:
    udev* context_;
    udev_monitor* monitor_;
};

} // namespace

std::variant<std::unique_ptr<AdapterMonitor>, std::string> watchAdapters()
{
    udev* context = udev_new();
    if (!context)
        return std::string("udev cannot be reached: ") + std::strerror(errno);
    // udev's daemon says an event once its rules have set the file's owner
    // and mode; without the daemon there is only the kernel's word.
    std::error_code error;
    const char* source = std::filesystem::exists("/run/udev/control", error) ? "udev" : "kernel";
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, source);
    if (!monitor) {
        udev_unref(context);
        return std::string("the kernel's device events cannot be watched: ") + std::strerror(errno);
    }
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "i2c-dev", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        const int why = errno;
        udev_monitor_unref(monitor);
        udev_unref(context);
        return std::string("the kernel's device events cannot be watched: ") + std::strerror(why);
    }
    return std::make_unique<UdevAdapterMonitor>(context, monitor);
}
