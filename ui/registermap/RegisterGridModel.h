#pragma once
// The register map's grid: sixteen rows of sixteen registers and an ASCII
// column, as i2cdump lays them out. A sweep's cells that changed since the
// sweep before are marked for that one sweep; a write that did not take is
// marked until the next sweep.

#include "protocol/CorvaneProtocol.h"

#include <QAbstractTableModel>
#include <bitset>

class RegisterGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int AsciiColumn = 16;

    using QAbstractTableModel::QAbstractTableModel;

    void showSweep(const RegisterSweep& sweep);
    // A write's read-back: the cell shows what the register holds now.
    void showReadBack(std::uint8_t reg, const CheckedWrite& write);
    void setOffsetCoded(bool offsetCoded) { offsetCoded_ = offsetCoded; }
    // Nothing read: the grid of another device is coming.
    void clear();

    bool hasSweep() const { return swept_; }
    const std::array<std::uint8_t, 256>& values() const { return values_; }
    const std::bitset<256>& failed() const { return failed_; }
    const std::bitset<256>& changed() const { return changed_; }
    const std::bitset<256>& untaken() const { return untaken_; }
    static std::uint8_t registerAt(const QModelIndex& index) { return static_cast<std::uint8_t>(index.row() * 16 + index.column()); }
    // The selected register's name, raw value and meaning, in words.
    QString describe(std::uint8_t reg) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Typing two hex digits asks for a write; the cell changes only when the
    // read-back comes.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void writeRequested(std::uint8_t reg, std::uint8_t value);
    void invalidEntry();

private:
    void cellsChanged();

    std::array<std::uint8_t, 256> values_{};
    std::bitset<256> failed_;
    std::bitset<256> changed_;
    std::bitset<256> untaken_;
    bool swept_ = false;
    bool offsetCoded_ = false;
};
