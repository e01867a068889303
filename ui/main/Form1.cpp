#include "ui/main/Form1.h"
#include "ui/fantest/FanTestWindow.h"

#include "ui/main/Form1Icon.h"
#include "ui/widgets/ElidingLabel.h"
#include "ui/widgets/MessageBoxes.h"
#include "ui/widgets/SelectableOnPress.h"
#include "ui/widgets/WarningSign.h"
#include "ui/widgets/WheelGuard.h"
#include "chip/Conversions.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"

#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace rm = RegisterMap;

namespace {

// The bus's message keeps this much of itself whole, about half the
// window, before the recording line beside it gives way: what the bus and
// the chip are doing comes first.
constexpr int StatusKeptWidth = 320;

} // namespace

Form1::Form1(BenchSession& session, QString titleSuffix, QWidget* parent)
    : Form1(nullptr, &session, std::move(titleSuffix), parent)
{
}

Form1::Form1(BusAdapter& bus, QString titleSuffix, QWidget* parent)
    : Form1(std::make_unique<BenchSession>(bus), nullptr, std::move(titleSuffix), parent)
{
    // Its timer and bus are the window's: found among its children.
    ownedSession_->setParent(this);
}

Form1::Form1(std::unique_ptr<BenchSession> owned, BenchSession* session, QString titleSuffix, QWidget* parent)
    : QWidget(parent), ownedSession_(std::move(owned)), session_(session ? *session : *ownedSession_),
      titleSuffix_(std::move(titleSuffix)), menuBar_(new QMenuBar(this)), client_(new QWidget(this)),
      c_(buildForm1Controls(*client_)), statusBar_(new QStatusBar(this)), statusLine_(new ElidingLabel(this, StatusKeptWidth)),
      statusIcon_(new QLabel(this)), recordingLine_(new RecordingLine(this)),
      notifier_([this](const QString& why) { session_.alarms().noticesFailed(why); },
                [this] { session_.alarms().noticesWork(); })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFont(designedFont());
    setWindowIcon(form1Icon());
    // The designed client area; the status line sits below it, so the
    // window grows by the line's height and no control moves.
    // A plain widget with a column of three rather than a QMainWindow: the
    // main window's dock and tool-bar layout is code paged in at every start
    // (half a megabyte, against the bare Qt window) for areas this window
    // never has.
    client_->setObjectName(QStringLiteral("clientArea"));
    client_->setFixedSize(client_->size());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->setMenuBar(menuBar_);
    column->addWidget(client_);
    column->addWidget(statusBar_);
    // No accessible names on the two lines: a label's name replaces its
    // text, and the text is what a screen reader must read.
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    selectableOnFirstPress(*statusLine_);
    statusLine_->setText(session_.statusText());
    statusBar_->setSizeGripEnabled(false);
    // A problem is said by a sign and a colour too, never by the words alone.
    statusIcon_->setObjectName(QStringLiteral("statusWarning"));
    statusIcon_->setAccessibleName(QStringLiteral("Warning"));
    statusIcon_->setVisible(false);
    statusBar_->addWidget(statusIcon_);
    statusBar_->addWidget(statusLine_, 1);
    statusBar_->addPermanentWidget(recordingLine_);
    buildMenus();
    resize(sizeHint());
    for (int i = 0; i < Poll::ReadingCount; ++i)
        descriptions_[static_cast<std::size_t>(i)] = labelOf(static_cast<Poll::Reading>(i))->accessibleDescription();

    session_.setHost(this);
    session_.setNotices(&notifier_);
    connectHandlers();
    connectSession();
    Form_Load();
}

Form1::~Form1()
{
    // A fan test's window puts PWM1 back as it goes, through the bus
    // thread, which must still be there.
    qDeleteAll(findChildren<FanTestWindow*>(Qt::FindDirectChildrenOnly));
    session_.setNotices(nullptr);
    session_.setHost(nullptr);
}

void Form1::Form_Load()
{
    if (!session_.hasStarted()) {
        session_.start();
        return;
    }
    // A new view of a session already running: what it shows is read again.
    showController(session_.controller(), session_.controllerBase());
    lockForFanTest(session_.fanTestRunning());
    stopRecordingAction_->setEnabled(session_.recording().isRecording());
    session_.readSettingsAgain();
    showStarted();
}

bool Form1::confirmDangerousWrite(std::uint8_t device, AddressRisk risk)
{
    return ::confirmDangerousWrite(this, device, risk);
}

bool Form1::confirmWriteBehindDriver(std::uint8_t device, const std::string& driver)
{
    return ::confirmWriteBehindDriver(this, device, driver);
}

bool Form1::confirmGuardedRead(std::uint8_t device) { return ::confirmGuardedRead(this, device); }

bool Form1::confirmReadBehindDriver(std::uint8_t device, int controller, const std::string& driver)
{
    return ::confirmReadBehindDriver(this, device, controller, driver);
}

void Form1::lockForFanTest(bool locked)
{
    for (QWidget* control : std::initializer_list<QWidget*>{c_.cmbPWM1, c_.txtDutyCycle, c_.cmdWriteDuty, c_.txtDevAddr,
                                                            c_.optController1, c_.optController2})
        control->setEnabled(!locked);
}

void Form1::connectHandlers()
{
    // Lists react only to the user picking an entry (activated), never to a
    // selection made by code, so start-up writes nothing.
    for (QComboBox* list : {c_.cmbPWM1, c_.cmbHF, c_.cmbPulses})
        ignoreWheel(*list);
    connect(c_.cmbPWM1, &QComboBox::activated, this, &Form1::cmbPWM1_Click);
    connect(c_.cmbHF, &QComboBox::activated, this, &Form1::cmbHF_Click);
    connect(c_.cmbPulses, &QComboBox::activated, this, &Form1::cmbPulses_Click);
    connect(c_.cmdWriteDuty, &QPushButton::clicked, this, &Form1::cmdWriteDuty_Click);
    connect(c_.cmdRead, &QPushButton::clicked, this, &Form1::cmdRead_Click);
    connect(c_.cmdWrite, &QPushButton::clicked, this, &Form1::cmdWrite_Click);
    // Every change of the text, typed, pasted, deleted or undone.
    connect(c_.txtDevAddr, &QLineEdit::textChanged, this, &Form1::txtDevAddr_Change);
    // Clicked, not toggled: a click on the controller already chosen detects
    // it again. Arrow keys in the pair click the button they move to.
    connect(c_.optController1, &QRadioButton::clicked, this, &Form1::optController1_Click);
    connect(c_.optController2, &QRadioButton::clicked, this, &Form1::optController2_Click);
}

void Form1::connectSession()
{
    BenchSession* s = &session_;
    connect(s, &BenchSession::started, this, &Form1::showStarted);
    connect(s, &BenchSession::controllerShown, this, &Form1::showController);
    connect(s, &BenchSession::settingsRead, this, &Form1::showSettings);
    connect(s, &BenchSession::polled, this, &Form1::showReadings);
    connect(s, &BenchSession::statusChanged, this, &Form1::showStatus);
    connect(s, &BenchSession::driverTipChanged, this, [this](const QString& tip) { statusLine_->setToolTip(tip); });
    connect(s, &BenchSession::fanTestLocked, this, &Form1::lockForFanTest);
    connect(s, &BenchSession::settingChanged, this, &Form1::showSettingChange);
    connect(s, &BenchSession::dutyWritten, this, [this](const CheckedWrite& write) {
        if (write.write.ok())
            showDuty(rm::dutyPercent(write.wanted));
    });
    connect(s, &BenchSession::deviceChosen, this, [this](std::uint8_t device) {
        const QString text = QString::number(device, 16).rightJustified(2, QLatin1Char('0'));
        if (rm::HexField(c_.txtDevAddr->text().toStdString()) != device)
            c_.txtDevAddr->setText(text);
    });
    connect(&s->alarms(), &BenchAlarms::readingChanged, this, &Form1::showAlarmOn);
    BenchRecording* recording = &s->recording();
    connect(recording, &BenchRecording::recordingProgress, this,
            [this](const QString& path, quint64 rows, const QString& loss) {
                stopRecordingAction_->setEnabled(true);
                recordingLine_->recording(path, rows, loss);
            });
    connect(recording, &BenchRecording::recordingEnded, this, &Form1::showRecordingEnded);
    statusLine_->setToolTip(session_.driverTip());
    showStatus(session_.statusText(), session_.statusTroubled());
}

void Form1::showEvent(QShowEvent* event)
{
    // Shown before start-up's reads are back: the bus is slow or hung.
    if (!session_.hasStarted())
        setWindowTitle(QStringLiteral("Corvane Bench: waiting for the SMBus"));
    QWidget::showEvent(event);
}

void Form1::showController(int, std::uint16_t base)
{
    setWindowTitle(QStringLiteral("SMBBA = 0x") + QString::fromStdString(rm::hexText(base)) + titleSuffix_);
    // The choice in force, not the one this result was for: a result of an
    // earlier click comes back after the later one was made.
    (session_.controller() == 0 ? c_.optController1 : c_.optController2)->setChecked(true);
}

void Form1::showStarted()
{
    // Until the chip's settings are read the lists stay empty, and one of
    // the duty entry and display shows.
    if (shownField_[static_cast<std::size_t>(Setting::Behaviour)] < 0)
        SetManualDutyMode(false, NotRead);
    emit started();
}

void Form1::showStatus(const QString& text, bool troubled)
{
    if (text != statusLine_->text())
        statusLine_->setText(text);
    if (troubled == statusIcon_->isVisibleTo(this))
        return;
    const QColor warning = warningColour(palette());
    if (troubled && statusIcon_->pixmap().isNull())
        statusIcon_->setPixmap(warningSign(warning, statusLine_->fontMetrics().height()));
    statusIcon_->setVisible(troubled);
    QPalette colours = statusLine_->palette();
    colours.setColor(QPalette::WindowText, troubled ? warning : palette().color(QPalette::WindowText));
    statusLine_->setPalette(colours);
}

void Form1::showSettings(const ChipSettings& settings)
{
    if (settings.behaviour)
        showField(Setting::Behaviour, *settings.behaviour);
    if (settings.frequency)
        showField(Setting::Frequency, *settings.frequency);
    if (settings.pulses)
        showField(Setting::Pulses, *settings.pulses);
    // Show either the duty entry or the duty display, never both on top of
    // each other.
    if (settings.behaviour)
        SetManualDutyMode(*settings.behaviour == rm::ManualBehaviour, settings.duty);
}
