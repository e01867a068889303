#pragma once
// Tools ▸ Limits…: a low and a high bound for each of the ten readings,
// each optional, and an "on" tick; fans take a low bound only. Bounds are
// shown and typed in the reading's unit by the locale's rules, without
// group separators: bad input says what is wrong and nothing is saved.

#include "session/BenchSettings.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QLineEdit;

class LimitsDialog : public QDialog {
    Q_OBJECT
public:
    LimitsDialog(const std::vector<LimitSetting>& limits, QWidget* parent = nullptr);

    // What Save took; the limits it was opened with until then.
    const std::vector<LimitSetting>& limits() const { return limits_; }

private:
    struct Row {
        Poll::Reading reading;
        QCheckBox* on = nullptr;
        QLineEdit* low = nullptr;
        QLineEdit* high = nullptr; // none for a fan
    };

    // Every row's bounds, or, for the first that is wrong, a message and
    // the field to put the cursor in.
    bool readRows(std::vector<LimitSetting>* limits);
    void save();

    std::vector<Row> rows_;
    std::vector<LimitSetting> limits_;
};

// A bound as typed in the Limits dialog: nothing for an empty field, the
// number as the locale writes it without group separators, or why it is
// not one.
std::variant<std::optional<double>, QString> typedBound(const QString& text, Poll::Reading reading, bool high);
// A bound as the dialog shows it: what typedBound reads back as the same.
QString boundText(const std::optional<double>& bound);
