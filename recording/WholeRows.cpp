#include "WholeRows.h"

#include <cerrno>
#include <unistd.h>

bool RowWrite::diskFull() const
{
    return error == ENOSPC || error == EDQUOT;
}

RowWrite writeWholeRow(int fd, std::string_view row, off_t& wholeRowsEnd, bool mayCut)
{
    const ssize_t written = ::write(fd, row.data(), row.size());
    if (written == static_cast<ssize_t>(row.size())) {
        wholeRowsEnd += written;
        return {};
    }
    // A short write to a regular file sets no errno: the disk is full.
    const RowWrite result{written < 0 ? errno : ENOSPC, written > 0 && !mayCut};
    if (written > 0 && mayCut) {
        [[maybe_unused]] const int truncated = ::ftruncate(fd, wholeRowsEnd);
        // The file's offset stays past what was cut off: the next row would
        // leave a hole of zeros there.
        ::lseek(fd, wholeRowsEnd, SEEK_SET);
    }
    return result;
}
