#include "SimulatedChipFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* Heading = "corvane-bench simulated chip 1";

// The folder is the user's own and nobody else's, and not a link someone
// else planted in a shared /tmp.
bool ownPrivateFolder(const std::filesystem::path& folder)
{
    ::mkdir(folder.c_str(), 0700);
    struct stat status {};
    return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
           (status.st_mode & 077) == 0;
}

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
    if (!ownPrivateFolder(file.parent_path()))
        return std::nullopt;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string text(2048, '\0');
    const ssize_t length = ::read(fd, text.data(), text.size());
    ::close(fd);
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    std::istringstream in(text);
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

bool saveSimulatedChipWrites(const std::filesystem::path& file, const SimulatedCorvane::State& state,
                             const std::bitset<256>& written)
{
    if (written.none())
        return true;
    if (!ownPrivateFolder(file.parent_path()))
        return false;
    // A lock file of its own: the state file is replaced by a rename, so a
    // lock on it would be on a file that is gone.
    const std::string lockPath = file.string() + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0)
        return false;
    while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
    }
    SimulatedCorvane::State merged = loadSimulatedChip(file).value_or(state);
    for (std::size_t reg = 0; reg < 256; ++reg) {
        if (written[reg]) {
            merged.registers[reg] = state.registers[reg];
            merged.pinned[reg] = state.pinned[reg];
        }
    }
    const bool saved = saveSimulatedChip(file, merged);
    ::close(lock); // and with it the lock
    return saved;
}

bool saveSimulatedChip(const std::filesystem::path& file, const SimulatedCorvane::State& state)
{
    if (!ownPrivateFolder(file.parent_path()))
        return false;
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
    // Written whole under a fresh name and renamed, so two commands at once
    // never leave half a file.
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    const std::string bytes = text.str();
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
