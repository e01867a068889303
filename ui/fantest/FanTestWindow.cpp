#include "ui/fantest/FanTestWindow.h"

#include "session/BenchSession.h"
#include "ui/widgets/MessageBoxes.h"
#include "ui/widgets/SavedFiles.h"
#include "ui/trends/TrendsLoader.h"
#include "recording/FanTestCsv.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QFileInfo>
#include <QSaveFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int StepChoices[] = {1, 2, 5, 10};

// A control's accessible name is what a screen reader calls it; a label's
// name would replace its text, so a label says what it is in its
// description instead and its text stays what is read.
template <typename Control>
Control* named(Control* control, const char* objectName, const QString& accessibleName)
{
    control->setObjectName(QLatin1String(objectName));
    if (qobject_cast<QLabel*>(control))
        control->setAccessibleDescription(accessibleName);
    else
        control->setAccessibleName(accessibleName);
    return control;
}

QString numberText(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

FanTestWindow::FanTestWindow(BenchSession& session, QWidget& parent, FanTestRun::Clock clock, FanTestRun::Wait wait)
    : QMainWindow(&parent), session_(session), run_(session, std::move(clock), std::move(wait))
{
    setObjectName(QStringLiteral("fanTestWindow"));
    setWindowTitle(QStringLiteral("Fan Test - Corvane Bench"));
    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    auto* panel = new QWidget(central);
    panel->setFixedWidth(400);
    auto* side = new QVBoxLayout(panel);
    side->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);

    auto* intro = new QLabel(QStringLiteral("Fan1 on PWM1: the duty steps down from 100 % to 0 %, then up again. "
                                            "PWM1 is switched to Manual Mode for the test and put back after it."),
                             central);
    intro->setWordWrap(true);
    side->addWidget(intro);

    // The rows read as one sentence: settled within ± 2 % for 3 readings in
    // a row, or at most after 10 s per step.
    auto* rules = new QFormLayout;
    step_ = named(new QComboBox(central), "fanTestStep", QStringLiteral("Step"));
    for (const int step : StepChoices)
        step_->addItem(QStringLiteral("%1 %").arg(step), step);
    step_->setCurrentIndex(2);
    rules->addRow(QStringLiteral("S&tep:"), step_);
    tolerance_ = named(new QDoubleSpinBox(central), "fanTestTolerance", QStringLiteral("Settled within plus or minus percent"));
    tolerance_->setRange(0.5, 20);
    tolerance_->setSingleStep(0.5);
    tolerance_->setDecimals(1);
    tolerance_->setValue(2);
    tolerance_->setPrefix(QStringLiteral("± "));
    tolerance_->setSuffix(QStringLiteral(" %"));
    rules->addRow(QStringLiteral("Settled &within:"), tolerance_);
    readings_ = named(new QSpinBox(central), "fanTestReadings", QStringLiteral("Settled after readings in a row"));
    readings_->setRange(2, 10);
    readings_->setValue(3);
    readings_->setSuffix(QStringLiteral(" readings in a row,"));
    rules->addRow(QStringLiteral("&for:"), readings_);
    limit_ = named(new QSpinBox(central), "fanTestLimit", QStringLiteral("Longest wait per step in seconds"));
    limit_->setRange(2, 120);
    limit_->setValue(10);
    limit_->setSuffix(QStringLiteral(" s per step"));
    rules->addRow(QStringLiteral("&or at most after:"), limit_);
    side->addLayout(rules);
    keepRules();

    auto* buttons = new QHBoxLayout;
    start_ = named(new QPushButton(QStringLiteral("&Start"), central), "fanTestStart", QStringLiteral("Start"));
    cancel_ = named(new QPushButton(QStringLiteral("&Cancel"), central), "fanTestCancel", QStringLiteral("Cancel"));
    save_ = named(new QPushButton(QStringLiteral("Save &CSV…"), central), "fanTestSave", QStringLiteral("Save CSV"));
    open_ = named(new QPushButton(QStringLiteral("&Open Results…"), central), "fanTestOpen",
                  QStringLiteral("Open Results"));
    cancel_->setEnabled(false);
    save_->setEnabled(false);
    for (QPushButton* button : {start_, cancel_, save_, open_})
        buttons->addWidget(button);
    side->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, &FanTestWindow::start);
    connect(cancel_, &QPushButton::clicked, &run_, &FanTestRun::cancel);
    connect(save_, &QPushButton::clicked, this, &FanTestWindow::chooseCsvFile);
    connect(open_, &QPushButton::clicked, this, &FanTestWindow::chooseSaved);

    progress_ = named(new QLabel(QStringLiteral("Not started."), central), "fanTestProgress", QStringLiteral("Progress"));
    progress_->setWordWrap(true);
    side->addWidget(progress_);
    bar_ = named(new QProgressBar(central), "fanTestProgressBar", QStringLiteral("Steps done"));
    bar_->setRange(0, 1);
    bar_->setValue(0);
    bar_->setFormat(QStringLiteral("Not started"));
    side->addWidget(bar_);
    auto* findings = new QFormLayout;
    stopDuty_ = named(new QLabel(QStringLiteral("—"), central), "fanTestStopDuty", QStringLiteral("Stop duty"));
    startDuty_ = named(new QLabel(QStringLiteral("—"), central), "fanTestStartDuty", QStringLiteral("Start duty"));
    maxSpeed_ = named(new QLabel(QStringLiteral("—"), central), "fanTestMaxSpeed", QStringLiteral("Maximum speed"));
    findings->addRow(QStringLiteral("Stop duty:"), stopDuty_);
    findings->addRow(QStringLiteral("Start duty:"), startDuty_);
    findings->addRow(QStringLiteral("Maximum speed:"), maxSpeed_);
    side->addLayout(findings);

    table_ = named(new QTableWidget(0, 5, central), "fanTestSteps", QStringLiteral("Steps"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Sweep"), QStringLiteral("Duty %"), QStringLiteral("Fan1 rpm"),
                                       QStringLiteral("Settle s"), QStringLiteral("Settled")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setMinimumHeight(160);
    side->addWidget(table_, 1);

    QString error;
    plot_ = openFanCurvePlot(central, &error);
    if (plot_) {
        layout->addWidget(plot_->widget(), 1);
    } else {
        auto* missing = new QLabel(QStringLiteral("The plot needs the Trends module, which could not be loaded:\n%1")
                                       .arg(error),
                                   central);
        missing->setWordWrap(true);
        layout->addWidget(missing, 1);
    }
    setCentralWidget(central);
    resize(1000, 600);

    connect(&run_, &FanTestRun::stepStarted, this, [this](int index, int duty, bool down) {
        progress_->setText(QStringLiteral("Step %1 of %2: duty %3 % on the way %4, waiting for Fan1 to settle…")
                               .arg(index + 1)
                               .arg(run_.sweep().stepCount())
                               .arg(duty)
                               .arg(down ? QStringLiteral("down") : QStringLiteral("up")));
    });
    connect(&run_, &FanTestRun::stepDone, this, &FanTestWindow::showStep);
    connect(&run_, &FanTestRun::finished, this, &FanTestWindow::showFinished);
}

FanSweepSettings FanTestWindow::settings() const
{
    FanSweepSettings settings;
    settings.stepPercent = step_->currentData().toInt();
    settings.tolerancePercent = tolerance_->value();
    settings.settleReadings = readings_->value();
    settings.stepLimitSeconds = limit_->value();
    return settings;
}

void FanTestWindow::start()
{
    if (!run_.start(settings()))
        return;
    bar_->setRange(0, run_.sweep().stepCount());
    bar_->setValue(0);
    bar_->setFormat(QStringLiteral("%v of %m steps"));
    elapsed_.start();
    table_->setRowCount(0);
    saved_.clear();
    if (plot_)
        plot_->showSteps({});
    setRunning(true);
    showFindings();
    progress_->setText(QStringLiteral("Saving PWM1's settings…"));
}

void FanTestWindow::setRunning(bool running)
{
    start_->setEnabled(!running);
    cancel_->setEnabled(running);
    for (QWidget* control : {static_cast<QWidget*>(step_), static_cast<QWidget*>(tolerance_),
                             static_cast<QWidget*>(readings_), static_cast<QWidget*>(limit_)})
        control->setEnabled(!running);
    save_->setEnabled(!running && !run_.sweep().steps().empty());
}

void FanTestWindow::showStep(const FanStep& step)
{
    const int row = table_->rowCount();
    table_->insertRow(row);
    // "Down" and "Up" as the plot's legend writes them; numbers right-aligned.
    const QString cells[] = {step.down ? QStringLiteral("Down") : QStringLiteral("Up"),
                             QString::number(step.dutyPercent), numberText(step.rpm),
                             QString::number(step.settleSeconds, 'f', 1),
                             step.settled ? QStringLiteral("yes") : QStringLiteral("no")};
    for (int column = 0; column < 5; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (column >= 1 && column <= 3)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(row, column, item);
    }
    showTimeLeft(row + 1);
    table_->scrollToBottom();
    if (plot_)
        plot_->showSteps(run_.sweep().steps());
    showFindings();
}

void FanTestWindow::showFindings()
{
    const FanFindings found = run_.sweep().findings();
    stopDuty_->setText(found.stopDuty ? QStringLiteral("%1 %").arg(*found.stopDuty) : QStringLiteral("—"));
    startDuty_->setText(found.startDuty ? QStringLiteral("%1 %").arg(*found.startDuty) : QStringLiteral("—"));
    maxSpeed_->setText(found.maxRpm ? QStringLiteral("%1 rpm").arg(numberText(*found.maxRpm)) : QStringLiteral("—"));
}

void FanTestWindow::showTimeLeft(int stepsDone)
{
    bar_->setValue(stepsDone);
    const int left = bar_->maximum() - stepsDone;
    // Each step left takes about as long as the steps so far took on average.
    const qint64 seconds = stepsDone > 0 ? elapsed_.elapsed() / 1000 * left / stepsDone : 0;
    bar_->setFormat(left == 0 ? QStringLiteral("%v of %m steps")
                              : QStringLiteral("%v of %m steps, about %1 left")
                                    .arg(seconds >= 60 ? QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60)
                                                       : QStringLiteral("%1 s").arg(seconds)));
}

void FanTestWindow::showFinished(const QString& text)
{
    progress_->setText(text);
    bar_->setFormat(QStringLiteral("%v of %m steps"));
    setRunning(false);
}

QString FanTestWindow::findingsText() const
{
    return QStringLiteral("Stop duty: %1; start duty: %2; maximum speed: %3")
        .arg(stopDuty_->text(), startDuty_->text(), maxSpeed_->text());
}

QString FanTestWindow::progressText() const
{
    return progress_->text();
}

void FanTestWindow::keepRules()
{
    BenchSettings& kept = session_.settings();
    if (const int step = step_->findData(kept.value(QStringLiteral("fanTest/step"), 5).toInt()); step >= 0)
        step_->setCurrentIndex(step);
    tolerance_->setValue(kept.value(QStringLiteral("fanTest/tolerance"), tolerance_->value()).toDouble());
    readings_->setValue(kept.value(QStringLiteral("fanTest/readings"), readings_->value()).toInt());
    limit_->setValue(kept.value(QStringLiteral("fanTest/limit"), limit_->value()).toInt());
    connect(step_, &QComboBox::currentIndexChanged, this,
            [this] { session_.settings().setValue(QStringLiteral("fanTest/step"), step_->currentData()); });
    connect(tolerance_, &QDoubleSpinBox::valueChanged, this,
            [this](double value) { session_.settings().setValue(QStringLiteral("fanTest/tolerance"), value); });
    connect(readings_, &QSpinBox::valueChanged, this,
            [this](int value) { session_.settings().setValue(QStringLiteral("fanTest/readings"), value); });
    connect(limit_, &QSpinBox::valueChanged, this,
            [this](int value) { session_.settings().setValue(QStringLiteral("fanTest/limit"), value); });
}

void FanTestWindow::chooseCsvFile()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Fan Test"),
                                                      savedFilePath(QStringLiteral("fan-test"), QStringLiteral("csv")),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty())
        saveCsv(path);
}

bool FanTestWindow::saveCsv(const QString& path)
{
    // Whole or not at all.
    QSaveFile file(path);
    const std::string text = fanTestCsv(run_.sweep().steps());
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), static_cast<qint64>(text.size())) < 0 ||
        !file.commit()) {
        showCannotOpen(this, QStringLiteral("The fan test cannot be saved to %1: %2").arg(path, file.errorString()));
        return false;
    }
    session_.announce(QStringLiteral("The fan test's %1 steps were saved to %2.").arg(run_.sweep().steps().size()).arg(path));
    return true;
}

void FanTestWindow::closeEvent(QCloseEvent* event)
{
    run_.cancel();
    QMainWindow::closeEvent(event);
}

void FanTestWindow::chooseSaved()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Fan Test Results"), QString(),
                                                      QStringLiteral("Fan tests (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    if (const QString problem = openSaved(path); !problem.isEmpty())
        showCannotOpen(this, problem);
}

QString FanTestWindow::openSaved(const QString& path)
{
    auto read = readFanTestFile(path.toStdString());
    if (const auto* problem = std::get_if<std::string>(&read))
        return QString::fromStdString(*problem);
    if (saved_.size() == 2)
        saved_.erase(saved_.begin());
    saved_.push_back({QFileInfo(path).fileName(), std::move(std::get<FanTestRead>(read).steps)});
    QStringList runs;
    for (const auto& run : saved_) {
        const FanFindings found = fanFindings(run.steps);
        QStringList said;
        if (found.stopDuty)
            said << QStringLiteral("stops below %1 %").arg(*found.stopDuty);
        if (found.startDuty)
            said << QStringLiteral("starts at %1 %").arg(*found.startDuty);
        runs << QStringLiteral("%1 (%2)").arg(run.name, said.isEmpty() ? QStringLiteral("never stopped")
                                                                       : said.join(QStringLiteral(", ")));
    }
    progress_->setText(QStringLiteral("Showing saved results: %1.").arg(runs.join(QStringLiteral(" and "))));
    if (plot_)
        plot_->showSaved(saved_);
    return {};
}
