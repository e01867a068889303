#pragma once
// The fan test's plot of rpm against duty, as the Fan Test window sees it.
// It lives in the Trends module with the rest of Qt Charts, loaded when the
// window first opens.

#include "protocol/FanSweep.h"

#include <QString>
#include <vector>

class QWidget;

class FanCurvePlot {
public:
    virtual QWidget* widget() = 0;
    // The steps so far, down and up sweeps in two colours.
    virtual void showSteps(const std::vector<FanStep>& steps) = 0;
    // Saved results, one or two overlaid (the second dashed), each with
    // where its fan stopped on the way down and started on the way up.
    struct SavedRun {
        QString name;
        std::vector<FanStep> steps;
    };
    virtual void showSaved(const std::vector<SavedRun>& runs) = 0;

protected:
    ~FanCurvePlot() = default;
};

// The module's entry point for it, by this name. The plot is a child of
// parent, which deletes it.
using CreateFanCurvePlot = FanCurvePlot* (*)(QWidget* parent);
inline constexpr char CreateFanCurvePlotSymbol[] = "corvaneCreateFanCurvePlot";
