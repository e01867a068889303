#include "ui/busscan/BusScanWindow.h"

#include "session/BenchSession.h"
#include "ui/widgets/MessageBoxes.h"
#include "chip/RegisterMap.h"
#include "protocol/AddressNames.h"
#include "protocol/ScanText.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

bool memoryModuleRange(int address)
{
    return (address >= 0x30 && address <= 0x37) || (address >= 0x50 && address <= 0x57);
}

} // namespace

BusScanWindow::BusScanWindow(BenchSession& session, QWidget& parent) : QMainWindow(&parent), session_(session)
{
    setObjectName(QStringLiteral("busScanWindow"));
    setWindowTitle(QStringLiteral("Bus Scan - Corvane Bench"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    warning_ = new QLabel(central);
    warning_->setObjectName(QStringLiteral("scanWarning"));
    warning_->setWordWrap(true);
    layout->addWidget(warning_);
    sayWhatTheScanSends();

    auto* buttons = new QHBoxLayout;
    scanButton_ = new QPushButton(QStringLiteral("&Scan"), central);
    scanButton_->setObjectName(QStringLiteral("scan"));
    connect(scanButton_, &QPushButton::clicked, this, [this] { scan(); });
    buttons->addWidget(scanButton_);
    auto* copy = new QPushButton(QStringLiteral("&Copy"), central);
    copy->setObjectName(QStringLiteral("copyScan"));
    connect(copy, &QPushButton::clicked, this, [this] {
        if (last_)
            QApplication::clipboard()->setText(QString::fromStdString(busScanText(*last_)));
    });
    buttons->addWidget(copy);
    buttons->addStretch();
    layout->addLayout(buttons);

    grid_ = new QTableWidget(8, 16, central);
    grid_->setObjectName(QStringLiteral("scanGrid"));
    grid_->setAccessibleName(QStringLiteral("Addresses on the bus"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    QStringList columns, rows;
    for (int i = 0; i < 16; ++i)
        columns << QString::number(i, 16).toUpper();
    for (int row = 0; row < 8; ++row)
        rows << QStringLiteral("%1").arg(row * 16, 2, 16, QLatin1Char('0')).toUpper();
    grid_->setHorizontalHeaderLabels(columns);
    grid_->setVerticalHeaderLabels(rows);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(grid_, &QTableWidget::cellClicked, this, &BusScanWindow::choose);
    connect(grid_, &QTableWidget::cellActivated, this, &BusScanWindow::choose);
    layout->addWidget(grid_, 1);
    summary_ = new QLabel(QStringLiteral("Not scanned yet."), central);
    summary_->setObjectName(QStringLiteral("scanSummary"));
    // Wrapped, and no say in the window's width: a long result must not
    // widen the window.
    summary_->setWordWrap(true);
    summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(summary_);
    setCentralWidget(central);
    resize(620, 400);
}

bool BusScanWindow::scan()
{
    if (scanning_)
        return false;
    scanning_ = true;
    scanButton_->setEnabled(false);
    summary_->setText(QStringLiteral("Scanning…"));
    session_.runOnBus([](CorvaneProtocol& chip) { return chip.scan(); }, this, [this](const BusScan& result) {
        scanning_ = false;
        scanButton_->setEnabled(true);
        showScan(result);
    });
    return true;
}

void BusScanWindow::showScan(const BusScan& scan)
{
    last_ = scan;
    int found = 0;
    for (int address = 0; address < 0x80; ++address) {
        const QString text = QString::fromStdString(scanCell(scan, address)).trimmed().toUpper();
        auto* cell = new QTableWidgetItem(text);
        cell->setTextAlignment(Qt::AlignCenter);
        const auto mark = scan.marks[static_cast<std::size_t>(address)];
        QString meaning = mark == BusScan::Mark::Answered      ? QStringLiteral("a device answers")
                        : mark == BusScan::Mark::DriverOwned ? QStringLiteral("owned by the kernel's %1 driver")
                                                                 .arg(QString::fromStdString(scan.drivers[static_cast<std::size_t>(address)]))
                                                           : QStringLiteral("nothing answers");
        if (memoryModuleRange(address)) {
            meaning += QStringLiteral("; memory modules' range (SPD EEPROMs and their commands)");
            // Its own dark text on its own light background, whatever the theme.
            cell->setBackground(QColor(215, 230, 255));
            cell->setForeground(Qt::black);
        }
        if (mark != BusScan::Mark::Nothing) {
            ++found;
            QFont bold = cell->font();
            bold.setBold(true);
            cell->setFont(bold);
        }
        if (address >= BusScan::First && address <= BusScan::Last) {
            const QString described = QStringLiteral("0x%1: %2").arg(
                QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper(), meaning);
            cell->setToolTip(described);
            cell->setData(Qt::AccessibleTextRole, described);
        }
        grid_->setItem(address / 16, address % 16, cell);
    }
    summary_->setText(QStringLiteral("Scanned %1: %2 of the addresses from 0x08 to 0x77 answer or are owned by a "
                                     "driver. Click one to watch it in the main window.")
                          .arg(QString::fromStdString(session_.controllerName()))
                          .arg(found));
}

void BusScanWindow::choose(int row, int column)
{
    const int address = row * 16 + column;
    if (!last_ || address < BusScan::First || address > BusScan::Last ||
        last_->marks[static_cast<std::size_t>(address)] == BusScan::Mark::Nothing)
        return;
    const auto device = static_cast<std::uint8_t>(address);
    // Anything but the chip's own address is probably something else, and
    // the poll would read fourteen of its registers ten times a second.
    if (device != RegisterMap::DefaultDeviceAddress &&
        !confirmWatchOtherDevice(this, device, QString::fromStdString(probableDevice(device))))
        return;
    // A driver's address: the session asks before its first read there.
    session_.chooseDevice(device, last_->drivers[static_cast<std::size_t>(address)]);
}

void BusScanWindow::showEvent(QShowEvent* event)
{
    sayWhatTheScanSends();
    QMainWindow::showEvent(event);
}

void BusScanWindow::sayWhatTheScanSends()
{
    warning_->setText(QStringLiteral("Scan sends one receive-byte transaction, a one-byte read that writes nothing, to "
                                     "each address from 0x08 to 0x77 on %1, and skips the "
                                     "addresses a kernel driver owns (UU). Some devices misbehave when probed, however "
                                     "gently. Nothing is sent until you press Scan.")
                          .arg(QString::fromStdString(controllerText(session_.controller(), session_.controllerName()))));
}
