#pragma once

class QApplication;

// The window is laid out control by control in fixed pixels; the classic
// Windows style's compact indicators and frames are what those sizes fit,
// and its group boxes put their captions on the frame line.
void applyBenchStyle(QApplication& app);
