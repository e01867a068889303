// Runs inside the virtual machine after kernel-smbus-check, as root with
// i2c-dev, i2c-i801 and i2c-stub loaded: the Linux bus and udev's events
// (the kernel's own here, with no udev daemon) against adapters that go and
// come back. Does what the program's follower does with each event, and
// prints one line per check and a verdict, as the other check does.
//
//   kernel-follow-check

#include "Checks.h"
#include "bus/AdapterMonitor.h"
#include "bus/LinuxSmbus.h"
#include "bus/SmbusAdapters.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <poll.h>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint8_t ChipAddress = 0x2E;
const std::string StubName = "SMBus stub driver";
const std::string I801Driver = "/sys/bus/pci/drivers/i801_smbus/";

// What the follower did with the events seen.
struct Followed {
    std::vector<int> gone;                       // controllers let go
    std::vector<LinuxSmbus::Arrival> arrivals;   // controllers' adapters back, or strangers
    std::vector<int> numbersAdded;
    Clock::time_point removedSeen; // when the last remove event was taken
};

// Hands each event to the bus as the program's follower does, until done()
// or limit has passed.
Followed follow(AdapterMonitor& monitor, LinuxSmbus& bus, milliseconds limit, const std::function<bool()>& done)
{
    Followed followed;
    const auto until = Clock::now() + limit;
    while (!done() && Clock::now() < until) {
        pollfd waiting{monitor.fd(), POLLIN, 0};
        ::poll(&waiting, 1, 20);
        for (const AdapterEvent& event : monitor.take()) {
            if (event.kind == AdapterEvent::Kind::Removed) {
                followed.removedSeen = Clock::now();
                if (const auto controller = bus.adapterRemoved(event.number))
                    followed.gone.push_back(*controller);
                continue;
            }
            followed.numbersAdded.push_back(event.number);
            const auto adapters = listSmbusAdapters();
            const auto adapter = std::ranges::find(adapters, event.number, &SmbusAdapter::number);
            if (adapter != adapters.end()) {
                if (const auto arrival = bus.adapterAdded(*adapter))
                    followed.arrivals.push_back(*arrival);
            }
        }
    }
    return followed;
}

bool write(const std::string& file, const std::string& text)
{
    std::ofstream out(file);
    out << text << std::flush;
    return static_cast<bool>(out);
}

std::string shell(const std::string& command)
{
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        ::pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output;
}

std::string hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

} // namespace

int main()
{
    Checks check;
    const auto adapters = listSmbusAdapters();
    const auto controllers = hostControllers(adapters);
    const auto stub = findSmbusAdapter(adapters, StubName);
    check(!controllers.empty() && stub.has_value(), "the i801 adapter and the stub are there");
    if (controllers.empty() || !stub)
        return 1;
    const SmbusAdapter i801 = controllers.front();
    const std::string slot = i801.place.substr(i801.place.rfind('/') + 1);
    auto watching = watchAdapters();
    if (auto* problem = std::get_if<std::string>(&watching)) {
        check(false, "the kernel's device events can be watched", *problem);
        return 1;
    }
    AdapterMonitor& monitor = *std::get<std::unique_ptr<AdapterMonitor>>(watching);
    LinuxSmbus bus({i801, stub}, makeKernelI2cDev());

    // The i801 adapter's file held open, as the window holds it, while the
    // kernel unbinds its driver: the path a USB adapter's unplug takes.
    bus.DetectSmbus(0);
    (void)bus.ReadSmbus(ChipAddress, 0);
    std::atomic<bool> unbound{false};
    Clock::time_point unboundAt;
    std::thread unbinding([&] {
        write(I801Driver + "unbind", slot);
        unboundAt = Clock::now();
        unbound = true;
    });
    // A moment for the kernel to reach its wait before anything is let go.
    std::this_thread::sleep_for(milliseconds(300));
    check(!unbound, "the kernel's removal waits while the adapter's file is open");
    Followed followed = follow(monitor, bus, milliseconds(10000), [&] { return unbound.load(); });
    unbinding.join();
    const auto letGoAt = followed.removedSeen;
    check(followed.gone == std::vector<int>{0}, "its remove event lets go of controller 1's file");
    check(unbound && unboundAt - letGoAt < milliseconds(1000), "and the removal then finishes at once, from the event taken",
          std::to_string(std::chrono::duration_cast<milliseconds>(unboundAt - letGoAt).count()) + " ms");
    const ByteRead whileGone = bus.ReadSmbus(ChipAddress, 0);
    check(whileGone.error == ENODEV && bus.isGone(0), "while gone a read fails with ENODEV and opens nothing",
          std::strerror(whileGone.error));

    // Bound again: the same adapter, under the same number.
    write(I801Driver + "bind", slot);
    followed = follow(monitor, bus, milliseconds(5000), [&] { return !bus.isGone(0); });
    check(followed.arrivals.size() == 1 && followed.arrivals[0].controller == 0 && followed.arrivals[0].back,
          "bound again, it is followed as controller 1's own adapter");
    check(bus.adapterOf(0)->number == i801.number, "under the same number",
          "i2c-" + std::to_string(bus.adapterOf(0)->number));
    const ByteRead backAgain = bus.ReadSmbus(ChipAddress, 0);
    check(backAgain.error == ENXIO, "and its file opens again: nothing answers at 0x2e there, as before",
          std::strerror(backAgain.error));

    // Unbound again; the stub, not held, reloaded meanwhile takes the lowest
    // free number, so the i801 adapter comes back under another.
    std::thread again([&] { write(I801Driver + "unbind", slot); });
    follow(monitor, bus, milliseconds(10000), [&] { return bus.isGone(0); });
    again.join();
    shell("rmmod i2c_stub");
    shell("insmod /modules/i2c-stub.ko chip_addr=0x2e");
    write(I801Driver + "bind", slot);
    followed = follow(monitor, bus, milliseconds(5000), [&] { return !bus.isGone(0) && !bus.isGone(1); });
    check(!bus.isGone(0) && bus.adapterOf(0)->number != i801.number,
          "the i801 adapter is followed under another number",
          "i2c-" + std::to_string(i801.number) + " became i2c-" + std::to_string(bus.adapterOf(0)->number));
    check(!bus.isGone(1) && bus.adapterOf(1)->number != stub->number,
          "the stub, removed and loaded again while not held, is followed under another number too",
          "i2c-" + std::to_string(stub->number) + " became i2c-" + std::to_string(bus.adapterOf(1)->number));

    // Readings from the stub that came back, and i2cget's word for them.
    bus.DetectSmbus(1);
    const BusOutcome written = bus.WriteSmbus(ChipAddress, 0x25, 0x41);
    const ByteRead local = bus.ReadSmbus(ChipAddress, 0x25);
    const std::string theirs = shell("i2cget -y " + std::to_string(bus.adapterOf(1)->number) + " 0x2e 0x25 b");
    check(written.ok() && local.ok() && hex(local.value) == theirs, "a reading through it agrees with i2cget",
          hex(local.value) + " and " + theirs);

    const int failures = check.failures();
    std::printf("%s: %d failed\n", failures ? "SOME CHECKS FAILED" : "ALL CHECKS PASSED", failures);
    return failures ? 1 : 0;
}
