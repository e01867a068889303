#include "SnapshotFile.h"

#include "BusHealth.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Up to one byte past the limit, so a file just too long is told apart.
SnapshotFileText readAtMostLimit(int fd, const std::string& name)
{
    SnapshotFileText result;
    result.text.resize(SnapshotFileLimit + 1);
    std::size_t length = 0;
    while (length < result.text.size()) {
        const ssize_t got = ::read(fd, result.text.data() + length, result.text.size() - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.error = name + " cannot be read: " + errorText(errno) + ".";
            return result;
        }
        if (got == 0)
            break;
        length += static_cast<std::size_t>(got);
    }
    if (length > SnapshotFileLimit) {
        result.error = name + " is larger than 64 KiB; a register snapshot is about 5 KiB.";
        return result;
    }
    result.text.resize(length);
    return result;
}

} // namespace

SnapshotFileText readSnapshotFile(const std::string& path)
{
    if (path == "-")
        return readAtMostLimit(STDIN_FILENO, "Standard input");
    // Not blocking in open(2): a FIFO is refused below, not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {{}, path + " cannot be read: " + errorText(errno) + "."};
    struct stat status {};
    SnapshotFileText result;
    if (::fstat(fd, &status) != 0)
        result.error = path + " cannot be read: " + errorText(errno) + ".";
    else if (S_ISDIR(status.st_mode))
        result.error = path + " is a folder, not a snapshot file.";
    else if (!S_ISREG(status.st_mode))
        result.error = path + " is not a regular file (a FIFO, a device or a socket); give a snapshot file, "
                              "or - for standard input.";
    else
        result = readAtMostLimit(fd, path);
    ::close(fd);
    return result;
}
