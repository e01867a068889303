#include "SimulatedChipFile.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* Heading = "corvane-bench simulated chip 1";

} // namespace

std::filesystem::path simulatedChipFile()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::filesystem::path directory = runtime && *runtime
                                                ? std::filesystem::path(runtime) / "corvane-bench"
                                                : std::filesystem::path("/tmp") /
                                                      ("corvane-bench-" + std::to_string(::getuid()));
    return directory / "simulated-chip";
}

std::optional<SimulatedCorvane::State> loadSimulatedChip(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::string heading, registers, pinned;
    if (!std::getline(in, heading) || heading != Heading || !std::getline(in, registers) ||
        !std::getline(in, pinned) || registers.size() != 512 || pinned.size() != 256)
        return std::nullopt;
    SimulatedCorvane::State state;
    for (std::size_t reg = 0; reg < 256; ++reg) {
        unsigned value = 0;
        if (std::sscanf(registers.c_str() + 2 * reg, "%2x", &value) != 1 || (pinned[reg] != '0' && pinned[reg] != '1'))
            return std::nullopt;
        state.registers[reg] = static_cast<std::uint8_t>(value);
        state.pinned[reg] = pinned[reg] == '1';
    }
    return state;
}

bool saveSimulatedChip(const std::filesystem::path& file, const SimulatedCorvane::State& state)
{
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ostringstream text;
    text << Heading << '\n';
    for (const std::uint8_t value : state.registers) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", value);
        text << hex;
    }
    text << '\n';
    for (std::size_t reg = 0; reg < 256; ++reg)
        text << (state.pinned[reg] ? '1' : '0');
    text << '\n';
    // Written whole under another name and renamed, so two commands at once
    // never leave half a file.
    const std::filesystem::path temporary = file.string() + "." + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text.str();
        if (!out.flush())
            return false;
    }
    std::filesystem::rename(temporary, file, error);
    return !error;
}
