#include "ui/main/Form1.h"
#include "ui/fantest/FanTestWindow.h"
#include <cstdio>

#include "ui/main/Form1Icon.h"
#include "ui/widgets/MessageBoxes.h"
#include "ui/widgets/SelectableOnPress.h"
#include "ui/widgets/WarningSign.h"
#include "ui/widgets/WheelGuard.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"

#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cerrno>

namespace rm = RegisterMap;

Form1::Form1(BusAdapter& bus, QString titleSuffix, QWidget* parent)
    : QWidget(parent), titleSuffix_(std::move(titleSuffix)), menuBar_(new QMenuBar(this)), client_(new QWidget(this)),
      c_(buildForm1Controls(*client_)), statusBar_(new QStatusBar(this)), statusLine_(new QLabel(this)),
      statusIcon_(new QLabel(this)), recordingLine_(new RecordingLine(this)),
      notifier_([this](const QString& why) { alarms_.noticesFailed(why); }, [this] { alarms_.noticesWork(); }),
      alarms_(&notifier_),
      busNames_(bus), Timer1(this), jobs_(bus)
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
    // Until start-up's reads come back, which on a slow bus takes seconds.
    // Controller 2 first, or the one controller where there is no second.
    const std::string firstTried = bus.nameOfController(1).empty() ? bus.nameOfController(0) : bus.nameOfController(1);
    statusLine_->setText(QStringLiteral("Reading device %1 on %2…")
                             .arg(QString::fromStdString(deviceText(rm::DefaultDeviceAddress)),
                                  QString::fromStdString(firstTried)));
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

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(PollIntervalMs);
    connectHandlers();
    connectAlarms();
    Form_Load();
}

Form1::~Form1()
{
    // The settings may outlive the window; failures are no longer its to say.
    settings_->onWriteFailure({});
    // A fan test's window puts PWM1 back as it goes, through the bus thread,
    // which must still be there.
    qDeleteAll(findChildren<FanTestWindow*>(Qt::FindDirectChildrenOnly));
}

void Form1::lockForFanTest(bool locked)
{
    fanTestRunning_ = locked;
    health_.activity(locked ? "Fan test running: PWM1 is held in Manual Mode" : std::string());
    refreshStatus();
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
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
}

void Form1::showEvent(QShowEvent* event)
{
    // Shown before start-up's reads are back: the bus is slow or hung.
    if (!started_)
        setWindowTitle(QStringLiteral("Corvane Bench: waiting for the SMBus"));
    QWidget::showEvent(event);
}

void Form1::showControllerBase(std::uint16_t base)
{
    setWindowTitle(QStringLiteral("SMBBA = 0x") + QString::fromStdString(rm::hexText(base)) + titleSuffix_);
}

void Form1::announce(const QString& text, bool problem)
{
    if (leaving_)
        std::fprintf(stderr, "corvane-bench: %s\n", text.toLocal8Bit().constData());
    health_.note(text.toStdString(), now(), problem);
    refreshStatus();
}

void Form1::refreshStatus()
{
    const Time at = now();
    const QString text = QString::fromStdString(health_.text(at));
    if (text != statusLine_->text())
        statusLine_->setText(text);
    const bool troubled = health_.troubled(at);
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

void Form1::Form_Load()
{
    module_.DeviceAddress = rm::DefaultDeviceAddress;
    const std::uint8_t device = module_.DeviceAddress;
    const std::uint64_t choice = controllerChoice_;
    using Identification = std::optional<std::array<std::uint8_t, 3>>;
    jobs_.run(
        [device](CorvaneProtocol& chip) {
            std::pair<Startup, Identification> found{chip.startUp(device), std::nullopt};
            if (found.first.answered && found.first.settings.complete())
                found.second = chip.readIdentification(device);
            return found;
        },
        this,
        [this, device, choice](const std::pair<Startup, Identification>& found) {
            showStartup(found.first, found.second, device, choice);
        });
}

void Form1::showStartup(const Startup& startup, const std::optional<std::array<std::uint8_t, 3>>& identification,
                        std::uint8_t device, std::uint64_t choice)
{
    // The window is up while start-up reads: a controller picked meanwhile
    // is already queued behind it and shows its own result; a device typed
    // meanwhile is followed at the next tick, and 0x2E's bytes are not its.
    if (choice == controllerChoice_) {
        showControllerBase(startup.base);
        if (startup.controller == 0)
            c_.optController1->setChecked(true);
        controllerName_ = startup.controllerName;
        guard_.setController(startup.controller);
    }
    health_.setBus(controllerName_, module_.DeviceAddress);
    alarms_.setOrigin(originText());
    if (device != module_.DeviceAddress) {
        followPending_ = true;
        SetManualDutyMode(false, NotRead);
    } else if (startup.answered) {
        learnDriverFrom(startup.outcome, device, choice);
        health_.observe(startup.settings.outcome, module_.DeviceAddress, now());
        showSettings(startup.settings);
        if (identification && choice == controllerChoice_)
            showIdentification(*identification);
    } else if (startup.outcome.heldBackByDriver()) {
        // Nothing was sent: the first tick asks whether to read past the
        // driver, and reads the settings once the user agrees.
        learnDriverFrom(startup.outcome, device, choice);
        followPending_ = true;
        SetManualDutyMode(false, ByteRead::failed(startup.outcome.error));
        health_.pollRefused(notReadBehindDriverText(device, startup.outcome.driver));
    } else {
        health_.answeredNowhere(startup.outcome, module_.DeviceAddress, now(), startup.triedBoth);
        // Read the chip's settings at each tick until it answers.
        followPending_ = true;
        // The lists stay empty; one of the duty entry and display shows.
        SetManualDutyMode(false, ByteRead::failed(startup.outcome.error));
    }
    refreshStatus();
    started_ = true;
    Timer1.start();
    emit started();
}

void Form1::showIdentification(const std::array<std::uint8_t, 3>& bytes)
{
    const bool chip = rm::identifiesAsChip(bytes[0], bytes[1]);
    alarms_.setApplies(chip, now());
    char identification[16];
    std::snprintf(identification, sizeof identification, "%02X %02X %02X", bytes[0], bytes[1], bytes[2]);
    health_.notTheChip(chip ? std::string()
                            : "is not a Corvane (identification " + std::string(identification) +
                                  "): no limits apply");
}

QString Form1::originText() const
{
    return QStringLiteral("device %1 on %2")
        .arg(QString::fromStdString(deviceText(module_.DeviceAddress)), QString::fromStdString(controllerName_));
}

void Form1::targetChanged(BenchAlarms::EndCause cause)
{
    alarms_.endAll(now(), cause);
    // Not known to be another device until its identification is read.
    alarms_.setApplies(true, now());
    alarms_.setOrigin(originText());
}

void Form1::recheckOwnership()
{
    const std::uint8_t device = module_.DeviceAddress;
    const std::string driver = busNames_.kernelDriverOn(guard_.controller(), device);
    if (guard_.ownedBy(device, driver) && driver.empty()) {
        // Unbound since: the poll reads it again, and nothing asks about it.
        followPending_ = true;
        health_.pollRefused({});
    }
    showDriverTip();
}

void Form1::showSettings(const ChipSettings& settings)
{
    if (settings.offsetCoded)
        TempOffsetMode = *settings.offsetCoded;
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

bool Form1::mayWrite(std::uint8_t device)
{
    for (const WriteQuestion& question : guard_.questionsFor(device)) {
        if (question.kind == WriteQuestion::Kind::DangerousAddress) {
            if (!confirmDangerousWrite(this, device, question.risk))
                return false;
        } else {
            if (!confirmWriteBehindDriver(this, device, question.driver))
                return false;
            permitBehindDriver(device);
        }
    }
    return true;
}

bool Form1::mayRead(std::uint8_t device)
{
    if (guard_.mustAskBeforeReading(device)) {
        if (!confirmGuardedRead(this, device))
            return false;
        guard_.consentToRead(device);
    }
    return mayReadBehindDriver(device);
}

bool Form1::agreedAfterDriverRefusal(const BusOutcome& write, std::uint8_t device, std::uint64_t choice)
{
    if (!write.heldBackByDriver() || choice != controllerChoice_)
        return false;
    learnDriverFrom(write, device, choice);
    if (!confirmWriteBehindDriver(this, device, write.driver))
        return false;
    permitBehindDriver(device);
    return true;
}

void Form1::permitBehindDriver(std::uint8_t device)
{
    // A Yes to writing there is a Yes to reading there too.
    guard_.consent(device);
    if (device == module_.DeviceAddress) {
        followPending_ = true;
        health_.pollRefused({});
    }
    jobs_.run([device](CorvaneProtocol& chip) { chip.permitWriteBehindDriver(device); return 0; }, this, [](int) {});
}

void Form1::queueWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    const std::uint64_t choice = controllerChoice_;
    jobs_.run([=](CorvaneProtocol& chip) { return chip.writeRegister(device, reg, data); }, this,
              [=, this](const BusOutcome& write) {
                  if (write.ok())
                      return;
                  if (agreedAfterDriverRefusal(write, device, choice)) {
                      queueWrite(device, reg, data);
                      return;
                  }
                  health_.writeFailed(reg, device, write, now());
                  refreshStatus();
              });
}

bool Form1::writeChecked(std::uint8_t device, std::uint8_t reg, std::uint8_t data, QObject* receiver,
                         std::function<void(const CheckedWrite&)> done)
{
    if (!mayWrite(device))
        return false;
    queueCheckedWrite(device, reg, data, receiver, std::move(done));
    return true;
}

void Form1::queueCheckedWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t data, QObject* receiver,
                              std::function<void(const CheckedWrite&)> done)
{
    const std::uint64_t choice = controllerChoice_;
    jobs_.run([=](CorvaneProtocol& chip) { return chip.writeAndReadBack(device, reg, data); }, receiver,
              [=, this](const CheckedWrite& result) {
                  if (agreedAfterDriverRefusal(result.write, device, choice)) {
                      queueCheckedWrite(device, reg, data, receiver, done);
                      return;
                  }
                  if (!result.write.ok()) {
                      health_.writeFailed(reg, device, result.write, now());
                      refreshStatus();
                  }
                  done(result);
              });
}

void Form1::chooseDevice(std::uint8_t device, const std::string& driver)
{
    learnDriverFrom(BusOutcome{EBUSY, driver}, device, controllerChoice_);
    c_.txtDevAddr->setText(QString::number(device, 16).rightJustified(2, QLatin1Char('0')));
}
