#pragma once
// Which devices sit on the current controller: i2cdetect's grid over 0x08
// to 0x77, probed with receive-byte transactions only when the user presses
// Scan. A found address clicked goes into the main window's device field.

#include "protocol/CorvaneProtocol.h"

#include <QMainWindow>
#include <optional>

class BenchSession;
class QLabel;
class QPushButton;
class QTableWidget;

class BusScanWindow : public QMainWindow {
    Q_OBJECT
public:
    BusScanWindow(BenchSession& session, QWidget& parent);

    // Starts a scan; false while one is still on the bus.
    bool scan();
    const std::optional<BusScan>& lastScan() const { return last_; }
    QTableWidget* grid() const { return grid_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showScan(const BusScan& scan);
    // What the scan sends, and where: said again whenever the window shows,
    // as the controller may have changed.
    void sayWhatTheScanSends();
    void choose(int row, int column);

    BenchSession& session_;
    QTableWidget* grid_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* warning_ = nullptr;
    QPushButton* scanButton_ = nullptr;
    std::optional<BusScan> last_;
    bool scanning_ = false;
};
