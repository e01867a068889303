#include "Form1.h"

#include "Form1Icon.h"
#include "MessageBoxes.h"
#include "WheelGuard.h"
#include "bus/SmbusAddresses.h"
#include "chip/RegisterMap.h"
#include "chip/ValueText.h"

namespace rm = RegisterMap;

Form1::Form1(BusAdapter& bus, QString titleSuffix, QWidget* parent)
    : QWidget(parent), bus_(bus), titleSuffix_(std::move(titleSuffix)), c_(buildForm1Controls(*this)), Timer1(this)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setWindowIcon(form1Icon());
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(PollIntervalMs);
    Form_Load();
    connectHandlers();
    Timer1.start();
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
    connect(c_.optController1, &QRadioButton::toggled, this, [this](bool on) { if (on) optController1_Click(); });
    connect(c_.optController2, &QRadioButton::toggled, this, [this](bool on) { if (on) optController2_Click(); });
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
}

void Form1::showControllerBase(std::uint16_t base)
{
    setWindowTitle(QStringLiteral("SMBBA = 0x") + QString::fromStdString(rm::hexText(base)) + titleSuffix_);
}

void Form1::Form_Load()
{
    showControllerBase(bus_.DetectSmbus(1));
    module_.DeviceAddress = 0x2E;
    const std::uint8_t device = module_.DeviceAddress;
    bus_.ReadSmbus(device, rm::StartupRead1);
    bus_.ReadSmbus(device, rm::StartupRead2);
    TempOffsetMode = rm::offsetCoded(bus_.ReadSmbus(device, rm::TemperatureCoding));
    c_.cmbPWM1->setCurrentIndex(rm::behaviour(bus_.ReadSmbus(device, rm::Pwm1Configuration)));
    c_.cmbHF->setCurrentIndex(rm::frequency(bus_.ReadSmbus(device, rm::FanDriveFrequency)));
    c_.cmbPulses->setCurrentIndex(rm::pulses(bus_.ReadSmbus(device, rm::Fan1Pulses)));
    // Show either the duty entry or the duty display from the start, never
    // both on top of each other; this reads 0x30 and writes nothing.
    SetManualDutyMode(c_.cmbPWM1->currentIndex() == rm::ManualBehaviour);
}

bool Form1::writeRegister(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    if (isMemoryModuleEeprom(device)) {
        // The question sits between a handler's read and its write: hold the
        // poll so no tick's traffic lands in the middle.
        const bool polling = Timer1.isActive();
        Timer1.stop();
        const bool confirmed = confirmEepromWrite(this, device);
        if (polling)
            Timer1.start();
        if (!confirmed)
            return false;
    }
    bus_.WriteSmbus(device, reg, data);
    return true;
}
