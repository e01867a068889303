#pragma once
// The kernel's I2C adapters coming and going, as its i2c-dev files are made
// and removed (/dev/i2c-N), told by udev as they happen rather than found
// by looking at /dev again and again.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct AdapterEvent {
    enum class Kind { Added, Removed };
    Kind kind;
    int number; // N of i2c-N
    bool operator==(const AdapterEvent&) const = default;
};

// One event as udev words it ("add", "i2c-3"); nothing for any other.
std::optional<AdapterEvent> adapterEventOf(std::string_view action, std::string_view name);

class AdapterMonitor {
public:
    virtual ~AdapterMonitor() = default;
    // Readable while events wait: watch it with poll() or a socket notifier.
    virtual int fd() const = 0;
    // The events waiting, oldest first. Never blocks.
    virtual std::vector<AdapterEvent> take() = 0;
};

// udev's events for i2c-dev; where udev's daemon does not run (a container,
// a bare initramfs) the kernel's own, which come first. Nothing, with the
// reason, when neither can be had.
std::variant<std::unique_ptr<AdapterMonitor>, std::string> watchAdapters();
