#pragma once
// Appending rows to a file so that it only ever holds whole rows: each row
// in one write(2), and the part of a row that fitted on a disk that filled
// mid-row taken back again. Shared by the recording and its alarms file.

#include <string_view>
#include <sys/types.h>

struct RowWrite {
    int error = 0;        // 0, or the errno; a short write is ENOSPC
    bool partLeft = false;  // part of the row was written and could not be cut off

    bool ok() const { return error == 0; }
    // The disk (or the user's quota) is full: worth waiting out, as room
    // comes back once something is deleted.
    bool diskFull() const;
};

// Writes row at the end of the whole rows (wholeRowsEnd, moved on when it
// fits). mayCut: the file is ours to cut back; standard output may be a
// file with another program's bytes in it, and a pipe cannot be cut.
RowWrite writeWholeRow(int fd, std::string_view row, off_t& wholeRowsEnd, bool mayCut);
