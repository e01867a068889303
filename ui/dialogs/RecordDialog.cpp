#include "ui/dialogs/RecordDialog.h"

#include "ui/widgets/SavedFiles.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

namespace {

struct Choice {
    const char* text;
    int milliseconds;
};
const Choice Intervals[] = {
    {"Every poll (0.1 s)", 0}, {"Every second", 1000}, {"Every 10 seconds", 10000}, {"Every minute", 60000}};
// Ten rows a second is a choice to make, not a default: a day of it is
// 860,000 rows.
constexpr int DefaultInterval = 1;

} // namespace

RecordDialog::RecordDialog(Start start, const QString& folder, CsvRecorder::Interval interval, QWidget* parent)
    : QDialog(parent), start_(std::move(start))
{
    setObjectName(QStringLiteral("recordDialog"));
    setWindowTitle(QStringLiteral("Record Readings"));
    const QString path = savedFilePath(QStringLiteral("readings"), QStringLiteral("csv"));
    file_ = new QLineEdit(folder.isEmpty() || !QDir(folder).exists() ? path
                                                                      : QDir(folder).filePath(QFileInfo(path).fileName()),
                          this);
    file_->setObjectName(QStringLiteral("recordFile"));
    file_->setMinimumWidth(360);
    auto* browse = new QPushButton(QStringLiteral("&Browse…"), this);
    browse->setObjectName(QStringLiteral("recordBrowse"));
    connect(browse, &QPushButton::clicked, this, &RecordDialog::browse);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(file_, 1);
    fileRow->addWidget(browse);

    interval_ = new QComboBox(this);
    interval_->setObjectName(QStringLiteral("recordInterval"));
    for (const Choice& choice : Intervals)
        interval_->addItem(QString::fromUtf8(choice.text), choice.milliseconds);
    interval_->setCurrentIndex(DefaultInterval);
    if (const int chosen = interval_->findData(static_cast<int>(interval.count())); chosen >= 0 && interval.count() >= 0)
        interval_->setCurrentIndex(chosen);

    auto* form = new QFormLayout;
    auto* fileLabel = new QLabel(QStringLiteral("&File:"), this);
    fileLabel->setBuddy(file_);
    auto* intervalLabel = new QLabel(QStringLiteral("&Interval:"), this);
    intervalLabel->setBuddy(interval_);
    file_->setAccessibleName(QStringLiteral("File"));
    interval_->setAccessibleName(QStringLiteral("Interval"));
    form->addRow(fileLabel, fileRow);
    form->addRow(intervalLabel, interval_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Record"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (start_(this->path(), this->interval()))
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Nothing to record to without a name.
    connect(file_, &QLineEdit::textChanged, this, [buttons](const QString& text) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(!text.trimmed().isEmpty());
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString RecordDialog::path() const
{
    return file_->text().trimmed();
}

CsvRecorder::Interval RecordDialog::interval() const
{
    return CsvRecorder::Interval(interval_->currentData().toInt());
}

void RecordDialog::browse()
{
    // The window asks before replacing a file, once, whichever way it was chosen.
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Record Readings"), path(),
                                                        QStringLiteral("CSV files (*.csv);;All files (*)"), nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty())
        file_->setText(chosen);
}
