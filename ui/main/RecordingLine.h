#pragma once
// The recording's part of the status line: what records where, and how
// many rows, or why nothing records. A long file name is elided in the
// middle, with the whole of it in the tooltip, so it never crowds out the
// bus's message beside it; with nothing to say the line is hidden.
// The line never widens the window: where the room is short its end is
// elided on screen, while its text, which a screen reader reads, and its
// tooltip stay whole. A window that grew with each longer text took a
// larger image for every paint, and kept it.

#include <QLabel>

class RecordingLine : public QLabel {
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

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The text with {name} standing for the file's name, which is elided.
    void show(const QString& text, const QString& path);
};
