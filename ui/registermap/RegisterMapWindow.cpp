#include "ui/registermap/RegisterMapWindow.h"

#include "session/BenchSession.h"
#include "ui/widgets/MessageBoxes.h"
#include "chip/RegisterDescriptions.h"
#include "chip/RegisterMap.h"
#include "ui/widgets/SavedFiles.h"
#include "protocol/SnapshotFile.h"
#include "recording/CsvRecorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTime>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString hexByte(std::uint8_t value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// Watch rates in seconds: a sweep is 256 transactions, so never the poll's 100 ms.
const double WatchRates[] = {0.5, 1, 2, 5, 10};

// A cell's edit is written on Enter (or Tab) only: leaving the cell any
// other way, a click elsewhere included, discards what was typed.
class CommitOnEnter : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    bool eventFilter(QObject* editor, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            emit closeEditor(qobject_cast<QWidget*>(editor), QAbstractItemDelegate::NoHint);
            return false;
        }
        return QStyledItemDelegate::eventFilter(editor, event);
    }
};

} // namespace

RegisterMapWindow::RegisterMapWindow(BenchSession& session, QWidget& parent) : QMainWindow(&parent), session_(session)
{
    setObjectName(QStringLiteral("registerMapWindow"));
    setWindowTitle(QStringLiteral("Register Map - Corvane Bench"));
    buildControls();
    connect(&watch_, &QTimer::timeout, this, [this] { readAll(); });
    connect(&model_, &RegisterGridModel::writeRequested, this, &RegisterMapWindow::writeCell);
    connect(&model_, &RegisterGridModel::invalidEntry, this, [this] { showInvalidValue(this); });
    resize(1080, 600);
}

void RegisterMapWindow::buildControls()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    heading_ = new QLabel(central);
    heading_->setObjectName(QStringLiteral("mapHeading"));
    layout->addWidget(heading_);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text, auto slot) {
        auto* b = new QPushButton(text, central);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    button("readAll", QStringLiteral("&Read All"), [this] { readAll(); });
    watchBox_ = new QCheckBox(QStringLiteral("&Watch every"), central);
    watchBox_->setObjectName(QStringLiteral("watch"));
    connect(watchBox_, &QCheckBox::toggled, this, &RegisterMapWindow::setWatching);
    buttons->addWidget(watchBox_);
    rate_ = new QComboBox(central);
    rate_->setObjectName(QStringLiteral("watchRate"));
    rate_->setAccessibleName(QStringLiteral("Watch rate"));
    for (const double seconds : WatchRates)
        rate_->addItem(QStringLiteral("%1 s").arg(seconds), seconds);
    rate_->setCurrentIndex(1);
    if (const int kept = rate_->findData(session_.settings().value(QStringLiteral("registerMap/watchSeconds"), 1.0).toDouble());
        kept >= 0)
        rate_->setCurrentIndex(kept);
    connect(rate_, &QComboBox::currentIndexChanged, this, [this] {
        session_.settings().setValue(QStringLiteral("registerMap/watchSeconds"), rate_->currentData().toDouble());
        setWatching(watchBox_->isChecked());
    });
    buttons->addWidget(rate_);
    buttons->addStretch();
    button("copyGrid", QStringLiteral("&Copy"), [this] {
        QApplication::clipboard()->setText(gridText());
        session_.announce(QStringLiteral("The register grid of device 0x%1 is on the clipboard, in i2cdump's layout.")
                           .arg(hexByte(sweptDevice_)));
    });
    button("saveSnapshot", QStringLiteral("&Save Snapshot…"), [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Snapshot"),
                                                          savedFilePath(QStringLiteral("registers"), QStringLiteral("txt")));
        if (!path.isEmpty())
            saveSnapshot(path);
    });
    button("compareSnapshot", QStringLiteral("Com&pare…"), [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Compare with Snapshot"));
        if (!path.isEmpty())
            compareWith(path);
    });
    layout->addLayout(buttons);

    // The panel beside the grid gives way to it, or takes its room, as the
    // user drags.
    auto* middle = new QSplitter(Qt::Horizontal, central);
    middle->setObjectName(QStringLiteral("mapSplitter"));
    middle->setChildrenCollapsible(false);
    view_ = new QTableView(central);
    view_->setObjectName(QStringLiteral("registerGrid"));
    view_->setAccessibleName(QStringLiteral("Registers"));
    view_->setModel(&model_);
    view_->setItemDelegate(new CommitOnEnter(view_));
    view_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                           QAbstractItemView::EditKeyPressed);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Fixed widths, wide enough for "FF!" in bold: the change marks come and
    // go every sweep, and columns that followed them would jitter.
    QFont bold = view_->font();
    bold.setBold(true);
    const int cell = QFontMetrics(bold).horizontalAdvance(QStringLiteral("FF!")) + 12;
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setMinimumSectionSize(cell);
    view_->horizontalHeader()->setDefaultSectionSize(cell);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, &RegisterMapWindow::showSelected);
    view_->horizontalHeader()->resizeSection(RegisterGridModel::AsciiColumn,
                                             QFontMetrics(view_->font()).horizontalAdvance(QString(16, QLatin1Char('W'))) + 12);
    // Wide enough for all sixteen columns and the ASCII one without scrolling.
    view_->setMinimumWidth(16 * cell + view_->horizontalHeader()->sectionSize(RegisterGridModel::AsciiColumn) +
                           view_->verticalHeader()->sizeHint().width() + 24);
    middle->addWidget(view_);

    auto* sidePanel = new QWidget(central);
    auto* side = new QVBoxLayout(sidePanel);
    side->setContentsMargins(0, 0, 0, 0);
    selected_ = new QLabel(QStringLiteral("Select a register to read what it holds."), central);
    selected_->setObjectName(QStringLiteral("selectedRegister"));
    // Described, not named: a label's name would replace its text.
    selected_->setAccessibleDescription(QStringLiteral("Selected register"));
    selected_->setWordWrap(true);
    selected_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    selected_->setMinimumWidth(240);
    side->addWidget(selected_);
    compare_ = new QTableWidget(0, 5, central);
    compare_->setObjectName(QStringLiteral("snapshotDifferences"));
    compare_->setAccessibleName(QStringLiteral("Registers that differ from the snapshot"));
    compare_->setHorizontalHeaderLabels({QStringLiteral("Restore"), QStringLiteral("Register"),
                                         QStringLiteral("Snapshot"), QStringLiteral("Live"), QStringLiteral("Name")});
    compare_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The name takes what room is left and wraps: the values stay in view.
    compare_->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    compare_->setWordWrap(true);
    compare_->verticalHeader()->setVisible(false);
    compare_->setVisible(false);
    connect(compare_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 0 && static_cast<std::size_t>(item->row()) < ticked_.size())
            ticked_[static_cast<std::size_t>(item->row())] = item->checkState() == Qt::Checked;
    });
    side->addWidget(compare_, 1);
    restore_ = new QPushButton(QStringLiteral("Res&tore Ticked…"), central);
    restore_->setObjectName(QStringLiteral("restoreTicked"));
    restore_->setVisible(false);
    connect(restore_, &QPushButton::clicked, this, &RegisterMapWindow::restoreTicked);
    side->addWidget(restore_);
    report_ = new QLabel(central);
    report_->setObjectName(QStringLiteral("restoreReport"));
    report_->setWordWrap(true);
    side->addWidget(report_);
    side->addStretch();
    sidePanel->setMinimumWidth(300);
    middle->addWidget(sidePanel);
    middle->setStretchFactor(0, 1);
    middle->setSizes({view_->minimumWidth(), 360});
    layout->addWidget(middle, 1);
    setCentralWidget(central);
}

bool RegisterMapWindow::readAll()
{
    if (sweeping_)
        return false; // the sweep before is still on the bus: never pile them up
    // The device the session watches now.
    const std::uint8_t d = session_.shared().DeviceAddress;
    // Held while the question is open, so a watch tick can't ask again.
    sweeping_ = true;
    if (!session_.mayRead(d)) {
        sweeping_ = false;
        notRead(d);
        return false;
    }
    const std::uint64_t choice = session_.controllerChoice();
    session_.runOnBus([d](CorvaneProtocol& chip) { return chip.sweep(d); }, this,
                   [this, d, choice](const RegisterSweep& sweep) {
                       if (sweep.outcome.heldBackByDriver()) {
                           // Nothing went out; held while the question is open.
                           const bool yes = session_.readAgainBehindDriver(sweep.outcome, d, choice);
                           sweeping_ = false;
                           if (yes)
                               readAll();
                           else
                               notRead(d);
                           return;
                       }
                       sweeping_ = false;
                       showSweep(sweep, d);
                   });
    return true;
}

void RegisterMapWindow::notRead(std::uint8_t device)
{
    setWatching(false);
    heading_->setText(QStringLiteral("Device 0x%1 was not read: nothing was sent to it.").arg(hexByte(device)));
}

void RegisterMapWindow::setWatching(bool on)
{
    if (watchBox_->isChecked() != on) {
        watchBox_->setChecked(on); // whose toggled signal comes back here
        return;
    }
    if (!on) {
        watch_.stop();
        return;
    }
    watch_.start(static_cast<int>(rate_->currentData().toDouble() * 1000));
    readAll();
}

void RegisterMapWindow::showSweep(const RegisterSweep& sweep, std::uint8_t device)
{
    // Another device's grid: its changes and its comparison mean nothing here.
    if (model_.hasSweep() && device != sweptDevice_)
        model_.clear();
    sweptDevice_ = device;
    model_.setOffsetCoded(session_.tempOffsetMode());
    model_.showSweep(sweep);
    heading_->setText(QStringLiteral("Device 0x%1 on %2, read at %3%4")
                          .arg(hexByte(device), QString::fromStdString(session_.controllerName()),
                               QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                               sweep.outcome.ok() ? QString()
                                                  : QStringLiteral(": some reads failed (%1)")
                                                        .arg(QString::fromStdString(errorText(sweep.outcome.error)))));
    showSelected();
    if (snapshot_)
        showDifferences();
}

void RegisterMapWindow::showSelected()
{
    const QModelIndex current = view_->currentIndex();
    if (current.isValid() && current.column() != RegisterGridModel::AsciiColumn)
        selected_->setText(model_.describe(RegisterGridModel::registerAt(current)));
}

QString RegisterMapWindow::gridText() const
{
    return QString::fromStdString(registerGridText(model_.values(), model_.failed(), model_.changed()));
}

void RegisterMapWindow::writeCell(std::uint8_t reg, std::uint8_t value)
{
    session_.writeChecked(sweptDevice_, reg, value, this, [this, reg](const CheckedWrite& write) {
        model_.showReadBack(reg, write);
        showSelected();
    });
}

bool RegisterMapWindow::saveSnapshot(const QString& path)
{
    const bool saved = writeSnapshot(path);
    if (saved)
        session_.announce(QStringLiteral("Snapshot of device 0x%1 saved to %2.").arg(hexByte(sweptDevice_), path));
    return saved;
}

bool RegisterMapWindow::writeSnapshot(const QString& path)
{
    // A snapshot of nothing read would restore zeros.
    if (!model_.hasSweep()) {
        showCannotOpen(this, QStringLiteral("Read the registers first (Read All), then save them."));
        return false;
    }
    SnapshotHeader header{QCoreApplication::applicationVersion().toStdString(), session_.controllerName(), sweptDevice_,
                          isoUtcText(std::chrono::system_clock::now())};
    // Whole or not at all: a half-written snapshot would restore garbage.
    QSaveFile file(path);
    const std::string text = snapshotText(header, model_.values(), model_.failed());
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), static_cast<qint64>(text.size())) < 0 ||
        !file.commit()) {
        showCannotOpen(this, QStringLiteral("The snapshot cannot be saved to %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

bool RegisterMapWindow::compareWith(const QString& path)
{
    // Read with the same limits as the command line's restore: a FIFO
    // would hang the window, and a restore writes what it reads.
    const SnapshotFileText file = readSnapshotFile(path.toStdString());
    if (!file.ok()) {
        showCannotOpen(this, QString::fromStdString(file.error));
        return false;
    }
    std::string error;
    auto parsed = parseRegisterGrid(file.text, &error);
    if (!parsed) {
        showCannotOpen(this, QStringLiteral("%1 is not a register snapshot: %2").arg(path, QString::fromStdString(error)));
        return false;
    }
    snapshot_ = std::move(*parsed);
    ticked_.clear();
    differences_.clear();
    report_->clear();
    restoreReport_.clear();
    if (model_.hasSweep())
        showDifferences();
    else
        readAll();
    return true;
}

namespace {

// What the Name column says of a register: the program's name for it, and
// why a restore leaves it unticked.
QString differenceName(const RegisterDifference& d)
{
    const QString name = QString::fromStdString(RegisterMap::registerName(d.reg).value_or(""));
    switch (d.kind) {
    case RegisterDifference::Kind::Setting: return name;
    case RegisterDifference::Kind::Measurement: return name + QStringLiteral(" (the chip measures it)");
    case RegisterDifference::Kind::Unknown: break;
    }
    return QStringLiteral("not a known setting");
}

} // namespace

void RegisterMapWindow::showDifferences()
{
    const auto found = differences(*snapshot_, model_.values(), model_.failed());
    // Keep the user's ticks for registers still listed.
    std::vector<bool> ticks;
    for (const RegisterDifference& d : found) {
        const auto before = std::find_if(differences_.begin(), differences_.end(),
                                         [&d](const RegisterDifference& old) { return old.reg == d.reg; });
        ticks.push_back(before == differences_.end() ? d.tickedByDefault()
                                                     : ticked_[static_cast<std::size_t>(before - differences_.begin())]);
    }
    differences_ = found;
    ticked_ = ticks;
    const QSignalBlocker quiet(compare_);
    compare_->setRowCount(static_cast<int>(found.size()));
    for (std::size_t row = 0; row < found.size(); ++row) {
        const RegisterDifference& d = found[row];
        auto* tick = new QTableWidgetItem;
        tick->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        tick->setCheckState(ticked_[row] ? Qt::Checked : Qt::Unchecked);
        const auto r = static_cast<int>(row);
        compare_->setItem(r, 0, tick);
        compare_->setItem(r, 1, new QTableWidgetItem(QStringLiteral("0x%1").arg(hexByte(d.reg))));
        compare_->setItem(r, 2, new QTableWidgetItem(hexByte(d.snapshot)));
        compare_->setItem(r, 3, new QTableWidgetItem(hexByte(d.live)));
        compare_->setItem(r, 4, new QTableWidgetItem(differenceName(d)));
    }
    compare_->setVisible(true);
    restore_->setVisible(true);
    // A restore's report stays until the next compare or restore: the
    // sweep that follows the restore must not wipe it.
    if (!restoreReport_.isEmpty()) {
        report_->setText(restoreReport_);
        return;
    }
    QString text = QStringLiteral("The snapshot holds %1 registers. ").arg(snapshot_->count());
    if (const auto mismatch = snapshotMismatch(*snapshot_, sweptDevice_, model_.values(), model_.failed()))
        text += QString::fromStdString(*mismatch);
    else if (found.empty())
        text += QStringLiteral("The live registers match it.");
    else
        text += QStringLiteral("Only the settings the program knows are ticked.");
    report_->setText(text);
}

void RegisterMapWindow::setTicked(std::uint8_t reg, bool ticked)
{
    for (std::size_t row = 0; row < differences_.size(); ++row) {
        if (differences_[row].reg == reg)
            compare_->item(static_cast<int>(row), 0)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
}

void RegisterMapWindow::restoreTicked()
{
    restoreReport_.clear();
    if (const auto mismatch = snapshotMismatch(*snapshot_, sweptDevice_, model_.values(), model_.failed())) {
        const QString why = QString::fromStdString(*mismatch);
        // A snapshot of another device may be meant for this one, but only
        // on the user's word; i2cdump's output of another chip never is.
        if (!snapshot_->device) {
            report_->setText(QStringLiteral("Nothing was written. ") + why);
            return;
        }
        if (!confirmRestoreOtherDevice(this, why)) {
            report_->setText(QStringLiteral("Nothing was written. ") + why);
            return;
        }
    }
    std::vector<RegisterDifference> chosen;
    QStringList lines;
    for (std::size_t row = 0; row < differences_.size(); ++row) {
        if (!ticked_[row])
            continue;
        const RegisterDifference& d = differences_[row];
        chosen.push_back(d);
        lines << QStringLiteral("0x%1: %2 to %3").arg(hexByte(d.reg), hexByte(d.live), hexByte(d.snapshot));
    }
    if (chosen.empty()) {
        report_->setText(QStringLiteral("No register is ticked: nothing was written."));
        return;
    }
    // The behaviour first: the chip takes a duty only in Manual Mode.
    std::stable_partition(chosen.begin(), chosen.end(),
                          [](const RegisterDifference& d) { return d.reg == RegisterMap::Pwm1Configuration; });
    if (!confirmRestore(this, sweptDevice_, lines))
        return;
    restoring_ = std::move(chosen);
    untaken_.clear();
    written_ = 0;
    report_->setText(QStringLiteral("Restoring…"));
    restoreNext();
}

void RegisterMapWindow::restoreNext()
{
    if (restoring_.empty()) {
        restoreReport_ = restoreSummary();
        report_->setText(restoreReport_);
        readAll();
        return;
    }
    const RegisterDifference d = restoring_.front();
    restoring_.erase(restoring_.begin());
    const bool asked = session_.writeChecked(sweptDevice_, d.reg, d.snapshot, this, [this, d](const CheckedWrite& write) {
        model_.showReadBack(d.reg, write);
        if (write.write.ok())
            ++written_;
        if (!write.took())
            untaken_.push_back({d.reg, !write.write.ok()       ? QStringLiteral("its write failed")
                                       : !write.readBack.ok() ? QStringLiteral("not read back")
                                                              : QStringLiteral("reads %1").arg(hexByte(write.readBack.value))});
        restoreNext();
    });
    if (!asked) { // the user said no to this one
        untaken_.push_back({d.reg, QStringLiteral("not written")});
        restoreNext();
    }
}

QString RegisterMapWindow::restoreSummary() const
{
    const QString held =
        QStringLiteral("The snapshot held %1 registers; %2 written").arg(snapshot_->count()).arg(written_);
    if (untaken_.empty())
        return held + QStringLiteral(", and every one took its value.");
    QStringList regs;
    for (const auto& [reg, why] : untaken_)
        regs << QStringLiteral("0x%1 (%2)").arg(hexByte(reg), why);
    return held + QStringLiteral(". These did not take: %1.").arg(regs.join(QStringLiteral(", ")));
}
