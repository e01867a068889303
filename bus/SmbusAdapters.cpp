#include "SmbusAdapters.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// PCI class 0x0C05: serial bus controller, SMBus.
constexpr unsigned long SmbusPciClass = 0x0C05;
// A PCI resource line's flag for an I/O port range (IORESOURCE_IO).
constexpr unsigned long long IoResourceFlag = 0x100;
// The resource file lists the six BARs first; later lines are ROM and bridge windows.
constexpr int PciBarCount = 6;

std::optional<std::string> firstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    return line;
}

std::optional<unsigned long long> parseNumber(std::string_view text, int base)
{
    if (base == 16 && (text.starts_with("0x") || text.starts_with("0X")))
        text.remove_prefix(2);
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<int> adapterNumber(const std::string& entryName)
{
    if (!entryName.starts_with("i2c-"))
        return std::nullopt;
    const auto number = parseNumber(std::string_view(entryName).substr(4), 10);
    if (!number || *number > 1'000'000)
        return std::nullopt;
    return static_cast<int>(*number);
}

bool isPciSmbusController(const fs::path& device)
{
    const auto classText = firstLine(device / "class");
    const auto pciClass = classText ? parseNumber(*classText, 16) : std::nullopt;
    return pciClass && (*pciClass >> 8) == SmbusPciClass;
}

// The start of the device's first I/O BAR, from lines "start end flags".
std::optional<std::uint16_t> firstIoBar(const fs::path& device)
{
    std::ifstream in(device / "resource");
    std::string line;
    for (int bar = 0; bar < PciBarCount && std::getline(in, line); ++bar) {
        std::istringstream fields(line);
        std::string start, end, flags;
        if (!(fields >> start >> end >> flags))
            continue;
        const auto startValue = parseNumber(start, 16);
        const auto flagsValue = parseNumber(flags, 16);
        if (startValue && flagsValue && (*flagsValue & IoResourceFlag) && *startValue != 0 && *startValue <= 0xFFFF)
            return static_cast<std::uint16_t>(*startValue);
    }
    return std::nullopt;
}

std::optional<SmbusAdapter> readAdapter(const fs::directory_entry& entry)
{
    const auto number = adapterNumber(entry.path().filename().string());
    if (!number)
        return std::nullopt;
    SmbusAdapter adapter;
    adapter.number = *number;
    adapter.name = firstLine(entry.path() / "name").value_or("");
    adapter.devicePath = "/dev/i2c-" + std::to_string(*number);

    std::error_code error;
    const fs::path parent = fs::canonical(entry.path(), error).parent_path();
    adapter.onSmbusController = !error && isPciSmbusController(parent);
    if (!error)
        adapter.place = parent.string();
    // A two-channel controller registers one adapter per channel on one PCI
    // device, each with its own base in its name; the BAR is all there is
    // for a driver whose name gives none.
    std::optional<std::uint16_t> base = baseAddressInName(adapter.name);
    if (!base && adapter.onSmbusController)
        base = firstIoBar(parent);
    adapter.baseAddress = base.value_or(0);
    return adapter;
}

} // namespace

std::optional<std::uint16_t> baseAddressInName(std::string_view name)
{
    const auto at = name.rfind(" at ");
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::string_view digits = name.substr(at + 4);
    if (digits.empty() || digits.size() > 4 || !std::ranges::all_of(digits, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    const auto value = parseNumber(digits, 16);
    if (!value || *value == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::vector<SmbusAdapter> listSmbusAdapters(const fs::path& sysfs)
{
    std::vector<SmbusAdapter> adapters;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysfs / "bus" / "i2c" / "devices", error)) {
        if (auto adapter = readAdapter(entry))
            adapters.push_back(std::move(*adapter));
    }
    std::ranges::sort(adapters, {}, &SmbusAdapter::number);
    return adapters;
}

std::vector<SmbusAdapter> hostControllers(const std::vector<SmbusAdapter>& adapters)
{
    std::vector<SmbusAdapter> controllers;
    std::ranges::copy_if(adapters, std::back_inserter(controllers), &SmbusAdapter::onSmbusController);
    return controllers;
}

bool sameAdapter(const SmbusAdapter& a, const SmbusAdapter& b)
{
    return a.name == b.name && a.place == b.place;
}

std::optional<SmbusAdapter> findSmbusAdapter(const std::vector<SmbusAdapter>& adapters, std::string_view nameOrPath)
{
    const auto byPath = std::ranges::find(adapters, nameOrPath, &SmbusAdapter::devicePath);
    if (byPath != adapters.end())
        return *byPath;
    const auto byName = std::ranges::find(adapters, nameOrPath, &SmbusAdapter::name);
    if (byName != adapters.end())
        return *byName;
    // A place as the user may type it: through a link, with a slash at the end.
    if (nameOrPath.starts_with('/')) {
        std::error_code error;
        const fs::path place = fs::canonical(fs::path(nameOrPath), error);
        const auto byPlace =
            error ? adapters.end() : std::ranges::find(adapters, place.string(), &SmbusAdapter::place);
        if (byPlace != adapters.end())
            return *byPlace;
    }
    return std::nullopt;
}
