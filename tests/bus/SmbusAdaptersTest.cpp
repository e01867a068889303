#include "bus/SmbusAdapters.h"
#include "support/SysfsTree.h"

#include <gtest/gtest.h>

namespace {

const std::string NoBar = "0x0000000000000000 0x0000000000000000 0x0000000000000000";
const std::string MemoryBar = "0x00000000fe010000 0x00000000fe0100ff 0x0000000000140204";

std::string ioBar(const std::string& start, const std::string& end)
{
    return "0x000000000000" + start + " 0x000000000000" + end + " 0x0000000000040101";
}

struct Seen {
    int number;
    std::string devicePath;
    std::uint16_t base;
    bool controller;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* out)
{
    *out << "{i2c-" << s.number << " " << s.devicePath << " base " << std::hex << s.base
         << (s.controller ? " controller}" : "}");
}

std::vector<Seen> seen(const std::vector<SmbusAdapter>& adapters)
{
    std::vector<Seen> result;
    for (const auto& a : adapters)
        result.push_back({a.number, a.devicePath, a.baseAddress, a.onSmbusController});
    return result;
}

TEST(SmbusAdapters, FindsHostControllersAndTheirBaseAddresses)
{
    struct Case {
        const char* machine;
        std::function<void(SysfsTree&)> build;
        std::vector<Seen> adapters;
        std::vector<int> controllers;
    };
    const Case cases[] = {
        {"Intel: an I801 with its I/O BAR in BAR4, and a software adapter",
         [](SysfsTree& t) {
             t.pciDevice("0000:00:1f.3", "0x0c0500", {MemoryBar, NoBar, NoBar, NoBar, ioBar("0700", "073f"), NoBar});
             t.adapter(0, "SMBus I801 adapter at 0700", "0000:00:1f.3");
             t.adapter(1, "SMBus stub driver");
         },
         {{0, "/dev/i2c-0", 0x0700, true}, {1, "/dev/i2c-1", 0, false}},
         {0}},
        {"AMD: two ports of one controller with no I/O BAR, the base only in their names",
         [](SysfsTree& t) {
             t.pciDevice("0000:00:14.0", "0x0c0500", {NoBar, NoBar, NoBar, NoBar, NoBar, NoBar});
             t.adapter(2, "SMBus PIIX4 adapter port 2 at 0b00", "0000:00:14.0");
             t.adapter(0, "SMBus PIIX4 adapter port 0 at 0b00", "0000:00:14.0");
         },
         {{0, "/dev/i2c-0", 0x0b00, true}, {2, "/dev/i2c-2", 0x0b00, true}},
         {0, 2}},
        {"graphics DDC buses are not SMBus controllers, whatever BARs their device has",
         [](SysfsTree& t) {
             t.pciDevice("0000:00:02.0", "0x030000", {MemoryBar, NoBar, NoBar, NoBar, ioBar("f000", "f03f"), NoBar});
             t.adapter(3, "i915 gmbus dpb", "0000:00:02.0");
             t.pciDevice("0000:00:1f.4", "0x0c0500", {MemoryBar, NoBar, NoBar, NoBar, ioBar("efa0", "efbf"), NoBar});
             t.adapter(12, "SMBus I801 adapter", "0000:00:1f.4");
         },
         {{3, "/dev/i2c-3", 0, false}, {12, "/dev/i2c-12", 0xefa0, true}},
         {12}},
        {"adapters come in number order, not in name order",
         [](SysfsTree& t) {
             t.pciDevice("0000:00:1f.3", "0x0c0500", {ioBar("0400", "041f")});
             t.adapter(10, "SMBus I801 adapter at 0400", "0000:00:1f.3");
             t.adapter(9, "SMBus I801 adapter at 0400", "0000:00:1f.3");
         },
         {{9, "/dev/i2c-9", 0x0400, true}, {10, "/dev/i2c-10", 0x0400, true}},
         {9, 10}},
        {"a two-channel controller: two adapters on one PCI device, each base from its own name",
         [](SysfsTree& t) {
             t.pciDevice("0000:00:14.0", "0x0c0500", {ioBar("0b00", "0b1f")});
             t.adapter(0, "SMBus PIIX4 adapter port 0 at 0b00", "0000:00:14.0");
             t.adapter(1, "SMBus PIIX4 adapter port 0 at 0b20", "0000:00:14.0");
             t.boundDriver(0, 0x50, "ee1004"); // a client entry beside the adapters is no adapter
         },
         {{0, "/dev/i2c-0", 0x0b00, true}, {1, "/dev/i2c-1", 0x0b20, true}},
         {0, 1}},
        {"no I2C adapters at all", [](SysfsTree&) {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        SysfsTree tree;
        c.build(tree);
        const auto adapters = listSmbusAdapters(tree.root());
        EXPECT_EQ(seen(adapters), c.adapters);
        std::vector<int> controllers;
        for (const auto& a : hostControllers(adapters))
            controllers.push_back(a.number);
        EXPECT_EQ(controllers, c.controllers);
    }
}

TEST(SmbusAdapters, AMissingSysfsMeansNoAdapters)
{
    EXPECT_TRUE(listSmbusAdapters("/nonexistent-sysfs").empty());
}

TEST(SmbusAdapters, ReadsTheBaseAddressAtTheEndOfAName)
{
    const std::pair<const char*, std::optional<std::uint16_t>> cases[] = {
        {"SMBus I801 adapter at 0700", 0x0700},  {"SMBus PIIX4 adapter port 2 at 0b00", 0x0b00},
        {"SMBus nForce2 adapter at 4d00", 0x4d00}, {"SMBus stub driver", std::nullopt},
        {"adapter at ", std::nullopt},           {"adapter at 12345", std::nullopt},
        {"adapter at 0x70", std::nullopt},       {"adapter at 0000", std::nullopt},
        {"adapter at 07g0", std::nullopt},
    };
    for (const auto& [name, base] : cases)
        EXPECT_EQ(baseAddressInName(name), base) << name;
}

TEST(SmbusAdapters, FindsANamedAdapterByDeviceFileOrExactName)
{
    const std::vector<SmbusAdapter> adapters = {{0, "SMBus I801 adapter at 0700", "/dev/i2c-0", 0x0700, true, "/sys/devices/pci0000:00/0000:00:1f.3"},
                                                {1, "SMBus stub driver", "/dev/i2c-1", 0, false, "/sys/devices"}};
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"/dev/i2c-1", 1},   {"SMBus stub driver", 1}, {"SMBus I801 adapter at 0700", 0},
        {"/dev/i2c-2", std::nullopt}, {"SMBus stub", std::nullopt}, {"i2c-0", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [name, number] : cases) {
        const auto found = findSmbusAdapter(adapters, name);
        EXPECT_EQ(found ? std::optional<int>(found->number) : std::nullopt, number) << name;
    }
}

} // namespace

namespace {

TEST(SmbusAdapters, KnowsAnAdapterByItsNameAndPlaceWhateverItsNumber)
{
    SysfsTree tree;
    tree.pciDevice("0000:00:1f.3", "0x0c0500", {ioBar("0700", "073f")});
    tree.pciDevice("0000:00:1f.5", "0x0c0500", {ioBar("0700", "073f")});
    tree.adapter(3, "SMBus I801 adapter at 0700", "0000:00:1f.3");
    tree.adapter(7, "SMBus I801 adapter at 0700", "0000:00:1f.5");
    const auto adapters = listSmbusAdapters(tree.root());
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].place, tree.place("0000:00:1f.3"));

    SmbusAdapter replugged = adapters[0];
    replugged.number = 9;
    replugged.devicePath = "/dev/i2c-9";
    EXPECT_TRUE(sameAdapter(adapters[0], replugged));
    EXPECT_FALSE(sameAdapter(adapters[0], adapters[1])) << "same name, another place";

    const std::pair<std::string, std::optional<int>> named[] = {
        {tree.place("0000:00:1f.5"), 7},
        {tree.place("0000:00:1f.5") + "/", 7},
        {(tree.root() / "bus" / "i2c" / "devices" / "i2c-3" / "..").string(), 3},
        {tree.place("0000:00:1f.4"), std::nullopt},
        {"SMBus I801 adapter at 0700", 3},
    };
    for (const auto& [name, number] : named) {
        const auto found = findSmbusAdapter(adapters, name);
        EXPECT_EQ(found ? std::optional<int>(found->number) : std::nullopt, number) << name;
    }
}

} // namespace
