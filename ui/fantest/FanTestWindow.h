#pragma once
// View → Fan Test: Fan1's response to PWM1's duty, swept down from 100 % to
// 0 % and up again, one settled reading a step. Shows the steps as a table
// and a plot, finds the stop and start duties and the top speed, and saves
// the steps as CSV. Closing it puts PWM1 back as the test found it.

#include "ui/fantest/FanTestRun.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include "ui/fantest/FanCurvePlot.h"
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

class FanTestWindow : public QMainWindow {
    Q_OBJECT
public:
    FanTestWindow(BenchSession& session, QWidget& parent, FanTestRun::Clock clock = {}, FanTestRun::Wait wait = {});

    FanTestRun& run() { return run_; }
    // The settings as the controls show them.
    FanSweepSettings settings() const;
    // Writes the steps to a CSV file; false, with a message box, when it
    // cannot be written.
    bool saveCsv(const QString& path);
    QString findingsText() const;
    QString progressText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

public:
    // Saved results into the plot, over the last ones opened (two at most);
    // why not, when the file is not a fan test.
    QString openSaved(const QString& path);

private:
    void chooseSaved();
    void start();
    void showStep(const FanStep& step);
    void showFinished(const QString& text);
    void showTimeLeft(int stepsDone);
    void showFindings();
    void setRunning(bool running);
    void chooseCsvFile();
    // The step and the settle rules as the last run left them, and kept as
    // they change.
    void keepRules();

    BenchSession& session_;
    FanTestRun run_;
    QProgressBar* bar_ = nullptr;
    QElapsedTimer elapsed_; // since the first step began, for the time left
    QComboBox* step_ = nullptr;
    QDoubleSpinBox* tolerance_ = nullptr;
    QSpinBox* readings_ = nullptr;
    QSpinBox* limit_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* open_ = nullptr;
    // Saved results shown instead of a test's, the newest two.
    std::vector<FanCurvePlot::SavedRun> saved_;
    QLabel* progress_ = nullptr;
    QLabel* stopDuty_ = nullptr;
    QLabel* startDuty_ = nullptr;
    QLabel* maxSpeed_ = nullptr;
    QTableWidget* table_ = nullptr;
    FanCurvePlot* plot_ = nullptr;
};
