#pragma once
// A reading's line drawn per pixel, never point by point: each pixel
// column of a plot gets the minimum and maximum of the values that fall in
// it, so a week of rows costs the plot's width, not the rows' count. A
// column is joined to the one before unless the reading was not read in
// between, or no row came for longer than a gap.

#include "RecordingReader.h"
#include "SeriesSource.h"

#include <optional>
#include <vector>

struct PixelColumn {
    int x;
    float minimum, maximum;
    // The line runs on from the column before: no gap lies between them.
    bool joined;
};

// The columns of times[i], values[i] over [from, to) on a plot width
// pixels wide; gapAfter is the longest step between rows that is no gap.
std::vector<PixelColumn> pixelEnvelope(const std::vector<Recording::Milliseconds>& times,
                                       const std::vector<float>& values, Recording::Milliseconds from,
                                       Recording::Milliseconds to, int width, Recording::Milliseconds gapAfter);

// The same columns from any source of readings: its points at a step a
// pixel, joined unless more than three pixels lie between them.
std::vector<PixelColumn> pixelColumns(const SeriesSource& source, Poll::Reading reading, Recording::Milliseconds from,
                                      Recording::Milliseconds to, int width);
