#include "ui/dialogs/LimitsDialog.h"

#include "ui/widgets/MessageBoxes.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

using Poll::Reading;

namespace {

QString unitOf(Reading reading)
{
    const auto unit = Poll::unit(reading);
    return QString::fromUtf8(unit.data(), static_cast<qsizetype>(unit.size()));
}

QString captionOf(Reading reading)
{
    const auto caption = Poll::caption(reading);
    return reading == Reading::Duty ? QStringLiteral("PWM1 duty")
                                    : QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

// The user's locale without group separators, both to show a bound and to
// read one back: "1,200" in en_US is no number to type back, and "1.200"
// in de_DE is 1200 to one reader and 1.2 to another.
QLocale boundLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

} // namespace

QString boundText(const std::optional<double>& bound)
{
    return bound ? boundLocale().toString(*bound, 'g', 10) : QString();
}

std::variant<std::optional<double>, QString> typedBound(const QString& text, Reading reading, bool high)
{
    const QString number = text.trimmed();
    if (number.isEmpty())
        return std::optional<double>();
    bool ok = false;
    const QLocale locale = boundLocale();
    const double bound = locale.toDouble(number, &ok);
    if (ok && std::isfinite(bound))
        return std::optional<double>(bound);
    return QStringLiteral("%1's %2 bound '%3' is not a number in %4. Write it without a thousands separator, as %5.")
        .arg(captionOf(reading), high ? QStringLiteral("high") : QStringLiteral("low"), number, unitOf(reading),
             locale.toString(1200.5, 'f', 1));
}

LimitsDialog::LimitsDialog(const std::vector<LimitSetting>& limits, QWidget* parent)
    : QDialog(parent), limits_(limits)
{
    setObjectName(QStringLiteral("limitsDialog"));
    setWindowTitle(QStringLiteral("Limits - Corvane Bench"));
    auto* grid = new QGridLayout;
    const QString headings[] = {QStringLiteral("Reading"), QStringLiteral("On"), QStringLiteral("Low bound"),
                                QStringLiteral("High bound"), QString()};
    for (int column = 0; column < 5; ++column) {
        auto* heading = new QLabel(QStringLiteral("<b>%1</b>").arg(headings[column]), this);
        grid->addWidget(heading, 0, column);
    }
    int line = 1;
    for (const Reading reading : Poll::ListedOrder) {
        const auto set = std::find_if(limits.begin(), limits.end(),
                                      [reading](const LimitSetting& s) { return s.reading == reading; });
        Row row{reading};
        const QString name = captionOf(reading);
        auto* caption = new QLabel(name, this);
        row.on = new QCheckBox(this);
        row.on->setObjectName(QStringLiteral("limitOn_%1").arg(QString::fromLatin1(Poll::name(reading).data())));
        row.on->setAccessibleName(QStringLiteral("%1 limits on").arg(name));
        row.low = new QLineEdit(this);
        row.low->setObjectName(QStringLiteral("limitLow_%1").arg(QString::fromLatin1(Poll::name(reading).data())));
        row.low->setAccessibleName(QStringLiteral("%1 low bound (%2)").arg(name, unitOf(reading)));
        caption->setBuddy(row.low);
        grid->addWidget(caption, line, 0);
        grid->addWidget(row.on, line, 1);
        grid->addWidget(row.low, line, 2);
        if (!isFan(reading)) {
            row.high = new QLineEdit(this);
            row.high->setObjectName(QStringLiteral("limitHigh_%1").arg(QString::fromLatin1(Poll::name(reading).data())));
            row.high->setAccessibleName(QStringLiteral("%1 high bound (%2)").arg(name, unitOf(reading)));
            grid->addWidget(row.high, line, 3);
        }
        grid->addWidget(new QLabel(unitOf(reading), this), line, 4);
        if (set != limits.end()) {
            row.on->setChecked(set->on);
            row.low->setText(boundText(set->low));
            if (row.high)
                row.high->setText(boundText(set->high));
        }
        // A bound typed into a row that is off turns it on: the bound is
        // what the user meant to watch.
        for (QLineEdit* field : {row.low, row.high}) {
            if (field)
                connect(field, &QLineEdit::textEdited, row.on, [on = row.on] { on->setChecked(true); });
        }
        rows_.push_back(row);
        ++line;
    }
    auto* note = new QLabel(QStringLiteral("A fan with no count (a stall, or a failed read) is below any low bound. "
                                           "A breach is an alarm once it has lasted a second."),
                            this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &LimitsDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

bool LimitsDialog::readRows(std::vector<LimitSetting>* limits)
{
    for (const Row& row : rows_) {
        LimitSetting limit{row.reading, std::nullopt, std::nullopt, row.on->isChecked()};
        for (const bool high : {false, true}) {
            QLineEdit* field = high ? row.high : row.low;
            if (!field)
                continue;
            const auto typed = typedBound(field->text(), row.reading, high);
            if (const auto* why = std::get_if<QString>(&typed)) {
                showInvalidValue(this, *why);
                field->setFocus();
                field->selectAll();
                return false;
            }
            (high ? limit.high : limit.low) = std::get<std::optional<double>>(typed);
        }
        if (limit.low && limit.high && *limit.low > *limit.high) {
            showInvalidValue(this, QStringLiteral("%1's low bound is above its high bound.").arg(captionOf(row.reading)));
            row.low->setFocus();
            return false;
        }
        limits->push_back(limit);
    }
    return true;
}

void LimitsDialog::save()
{
    std::vector<LimitSetting> limits;
    if (!readRows(&limits))
        return; // nothing saved, the dialog stays for the correction
    limits_ = std::move(limits);
    accept();
}
