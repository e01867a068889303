#pragma once
// The whole chip at a glance: all 256 registers of the current device on
// the current controller, read at once or watched, with what changed
// marked, the known registers named and decoded, cells written through the
// program's one write path, and snapshots saved, compared and restored.

#include "ui/registermap/RegisterGridModel.h"
#include "protocol/Snapshot.h"

#include <QMainWindow>
#include <QTimer>
#include <optional>

class BenchSession;
class QCheckBox;
class QComboBox;
class QLabel;
class QTableView;
class QTableWidget;
class QPushButton;

class RegisterMapWindow : public QMainWindow {
    Q_OBJECT
public:
    RegisterMapWindow(BenchSession& session, QWidget& parent);

    const RegisterGridModel& grid() const { return model_; }
    // Reads all 256 registers; true when a sweep was started.
    bool readAll();
    void setWatching(bool on);
    bool isWatching() const { return watch_.isActive(); }
    // The grid in i2cdump's layout, as Copy puts it on the clipboard.
    QString gridText() const;

    bool saveSnapshot(const QString& path);
    // Loads a snapshot to compare with the live grid; false with a message
    // when it cannot be read.
    bool compareWith(const QString& path);
    // The differing registers and whether each is ticked for restore.
    const std::vector<RegisterDifference>& differencesShown() const { return differences_; }
    void setTicked(std::uint8_t reg, bool ticked);
    // Asks once with the list, then writes the ticked registers one by one
    // through the write path and reads each back.
    void restoreTicked();

private:
    void buildControls();
    void showSweep(const RegisterSweep& sweep, std::uint8_t device);
    // Nothing was sent to the device: the watch stops, and the heading says so.
    void notRead(std::uint8_t device);
    void showSelected();
    void showDifferences();
    void writeCell(std::uint8_t reg, std::uint8_t value);
    void restoreNext();
    bool writeSnapshot(const QString& path);
    // How many registers the snapshot held and were written, and which did not take.
    QString restoreSummary() const;
    // The device the grid shows: edits, restores and snapshots are about it.
    std::uint8_t sweptDevice_ = 0;

    BenchSession& session_;
    RegisterGridModel model_;
    QTableView* view_ = nullptr;
    QLabel* heading_ = nullptr;
    QLabel* selected_ = nullptr;
    QCheckBox* watchBox_ = nullptr;
    QComboBox* rate_ = nullptr;
    QTableWidget* compare_ = nullptr;
    QPushButton* restore_ = nullptr;
    QLabel* report_ = nullptr;
    QTimer watch_;
    bool sweeping_ = false;
    std::optional<RegisterFile> snapshot_;
    std::vector<RegisterDifference> differences_;
    std::vector<bool> ticked_;
    // A restore in progress: the registers still to write, and those that
    // did not take.
    std::vector<RegisterDifference> restoring_;
    // Each with why: its write failed, or what it reads back.
    std::vector<std::pair<std::uint8_t, QString>> untaken_;
    int written_ = 0;
    // The last restore's summary, kept on screen until the next compare or restore.
    QString restoreReport_;
};
