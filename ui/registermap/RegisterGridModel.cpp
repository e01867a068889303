#include "ui/registermap/RegisterGridModel.h"

#include "chip/RegisterDescriptions.h"
#include "chip/ValueText.h"

#include <QBrush>
#include <algorithm>
#include <cctype>
#include <QColor>
#include <QFont>

namespace {

QString hexByte(std::uint8_t value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

int RegisterGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 16;
}

int RegisterGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 17;
}

void RegisterGridModel::showSweep(const RegisterSweep& sweep)
{
    // Changed: a value read in both sweeps that differs, or a register that
    // answers now and did not before, or the other way round.
    changed_.reset();
    if (swept_) {
        for (std::size_t reg = 0; reg < 256; ++reg)
            changed_[reg] = failed_[reg] != sweep.failed[reg] || (!sweep.failed[reg] && values_[reg] != sweep.values[reg]);
    }
    values_ = sweep.values;
    failed_ = sweep.failed;
    untaken_.reset();
    swept_ = true;
    cellsChanged();
}

void RegisterGridModel::clear()
{
    values_.fill(0);
    failed_.reset();
    changed_.reset();
    untaken_.reset();
    swept_ = false;
    cellsChanged();
}

void RegisterGridModel::showReadBack(std::uint8_t reg, const CheckedWrite& write)
{
    if (write.readBack.ok()) {
        values_[reg] = write.readBack.value;
        failed_[reg] = false;
    }
    untaken_[reg] = !write.took();
    const QModelIndex cell = index(reg / 16, reg % 16);
    emit dataChanged(cell, cell);
    emit dataChanged(index(reg / 16, AsciiColumn), index(reg / 16, AsciiColumn));
}

void RegisterGridModel::cellsChanged()
{
    emit dataChanged(index(0, 0), index(15, AsciiColumn));
}

QString RegisterGridModel::describe(std::uint8_t reg) const
{
    const auto name = RegisterMap::registerName(reg);
    QString text = QStringLiteral("Register 0x%1").arg(hexByte(reg));
    if (name)
        text += QStringLiteral(": ") + QString::fromStdString(*name);
    if (!swept_)
        return text;
    if (failed_[reg])
        return text + QStringLiteral("\nThe read failed (XX).");
    text += QStringLiteral("\nRaw value 0x%1").arg(hexByte(values_[reg]));
    const std::string decoded = RegisterMap::decodeRegister(reg, values_, offsetCoded_);
    if (!decoded.empty())
        text += QStringLiteral("\n") + QString::fromStdString(*name) + QStringLiteral(": ") +
                QString::fromStdString(decoded);
    if (untaken_[reg])
        text += QStringLiteral("\nThe last write did not take.");
    return text;
}

QVariant RegisterGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.column() == AsciiColumn) {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
            return {};
        QString ascii;
        for (int column = 0; column < 16; ++column) {
            const auto reg = static_cast<std::size_t>(index.row() * 16 + column);
            const std::uint8_t v = values_[reg];
            ascii += !swept_ ? QLatin1Char(' ')
                   : failed_[reg] ? QLatin1Char('X')
                   : (v >= 0x20 && v <= 0x7E) ? QLatin1Char(static_cast<char>(v)) : QLatin1Char('.');
        }
        return ascii;
    }
    const std::uint8_t reg = registerAt(index);
    const QString value = !swept_ ? QString() : failed_[reg] ? QStringLiteral("XX") : hexByte(values_[reg]);
    switch (role) {
    case Qt::DisplayRole:
        // The marks are text, so they survive a screen reader and a copy.
        return value + (untaken_[reg] ? QStringLiteral("!") : changed_[reg] ? QStringLiteral("*") : QString());
    case Qt::EditRole: return value;
    case Qt::AccessibleTextRole:
        return QStringLiteral("0x%1: %2%3%4")
            .arg(hexByte(reg), value.isEmpty() ? QStringLiteral("not read") : value,
                 changed_[reg] ? QStringLiteral(", changed") : QString(),
                 untaken_[reg] ? QStringLiteral(", the write did not take") : QString());
    case Qt::ToolTipRole: return describe(reg);
    case Qt::FontRole:
        if (changed_[reg] || untaken_[reg]) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        if (untaken_[reg])
            return QBrush(QColor(255, 190, 190));
        if (changed_[reg])
            return QBrush(QColor(255, 230, 120));
        return {};
    case Qt::ForegroundRole:
        // A light background set here needs its dark text set here too: a
        // dark theme's light text would vanish on it.
        if (untaken_[reg] || changed_[reg])
            return QBrush(Qt::black);
        return {};
    case Qt::TextAlignmentRole: return Qt::AlignCenter;
    default: return {};
    }
}

QVariant RegisterGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return hexByte(static_cast<std::uint8_t>(section * 16));
    return section == AsciiColumn ? QStringLiteral("ASCII") : QString::number(section, 16).toUpper();
}

Qt::ItemFlags RegisterGridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() != AsciiColumn && swept_)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool RegisterGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() == AsciiColumn)
        return false;
    const QString text = value.toString().trimmed();
    if (text == data(index, Qt::EditRole).toString())
        return false; // left as it was: nothing to write
    // Exactly two hex digits: a byte typed as the grid shows it, so a stray
    // key cannot write.
    const bool hexDigits = text.size() == 2 &&
                           std::all_of(text.begin(), text.end(), [](QChar c) { return std::isxdigit(c.toLatin1()); });
    if (!hexDigits) {
        emit invalidEntry();
        return false;
    }
    emit writeRequested(registerAt(index), static_cast<std::uint8_t>(text.toUInt(nullptr, 16)));
    return false;
}
