#pragma once
// The recording's part of the status line: what records where, and how
// many rows, or why nothing records. A long file name is elided in the
// middle, with the whole of it in the tooltip, so it never crowds out the
// bus's message beside it; with nothing to say the line is hidden. Where
// the room is short the line's end is elided (a full disk's loss makes it
// long); the tooltip has all of it.

#include "ui/widgets/ElidingLabel.h"

class RecordingLine : public ElidingLabel {
public:
    explicit RecordingLine(QWidget* parent);

    // loss: what a full disk cost the recording, said after the rows.
    void recording(const QString& path, quint64 rows, const QString& loss = {});
    void recorded(const QString& path, quint64 rows, const QString& loss = {});
    void stopped(const QString& problem, const QString& path, quint64 rows, const QString& loss = {});
    // An existing file the user chose to keep: nothing records.
    void kept(const QString& path);
    void clear();

    // "1 row", "2 rows".
    static QString rowsText(quint64 rows);

private:
    // The text with {name} standing for the file's name, which is elided.
    void show(const QString& text, const QString& path);
};
