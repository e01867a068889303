#include "ui/widgets/MessageBoxes.h"

#include "session/ApplicationTitle.h"
#include "chip/ValueText.h"

#include <QMessageBox>

void showInvalidValue(QWidget* parent, const QString& why)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(ApplicationTitle), QStringLiteral("Invalid Value"),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("invalidValueBox"));
    if (!why.isEmpty())
        box.setInformativeText(why);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

namespace {

bool askNoByDefault(QWidget* parent, const QString& name, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(ApplicationTitle), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setObjectName(name);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

bool confirmDangerousWrite(QWidget* parent, std::uint8_t device, AddressRisk risk)
{
    return askNoByDefault(parent, QStringLiteral("dangerousWriteBox"),
                          QString::fromStdString(riskText(device, risk)) + QStringLiteral(" Write anyway?"));
}

bool confirmGuardedRead(QWidget* parent, std::uint8_t device)
{
    return askNoByDefault(parent, QStringLiteral("guardedReadBox"),
                          QString::fromStdString(readRiskText(device)) + QStringLiteral(" Read it anyway?"));
}

bool confirmWriteBehindDriver(QWidget* parent, std::uint8_t device, const std::string& driver)
{
    return askNoByDefault(parent, QStringLiteral("kernelDriverWriteBox"),
                          QString::fromStdString(driverText(device, driver)) + QStringLiteral(" Write anyway?"));
}

bool confirmReadBehindDriver(QWidget* parent, std::uint8_t device, int controller, const std::string& driver)
{
    return askNoByDefault(parent, QStringLiteral("kernelDriverReadBox"),
                          QString::fromStdString(readBehindDriverText(device, controller, driver)) +
                              QStringLiteral(" Read it anyway?"));
}

bool confirmRestore(QWidget* parent, std::uint8_t device, const QStringList& writes)
{
    return askNoByDefault(parent, QStringLiteral("restoreBox"),
                          QStringLiteral("Write these registers of device %1 back to the snapshot's values?\n%2")
                              .arg(QString::fromStdString(deviceText(device)), writes.join(QLatin1Char('\n'))));
}

bool confirmRestoreOtherDevice(QWidget* parent, const QString& why)
{
    return askNoByDefault(parent, QStringLiteral("restoreOtherDeviceBox"),
                          why + QStringLiteral(" Write its values into this device all the same?"));
}

bool confirmQuit(QWidget* parent, bool recording, bool fanTest)
{
    QStringList running;
    if (recording)
        running << QStringLiteral("A recording is running: quitting ends it on a whole row.");
    if (fanTest)
        running << QStringLiteral("A fan test is running: quitting stops it and puts PWM1 back.");
    return askNoByDefault(parent, QStringLiteral("quitBox"),
                          running.join(QLatin1Char(' ')) + QStringLiteral(" Quit anyway?"));
}

bool confirmWatchOtherDevice(QWidget* parent, std::uint8_t device, const QString& probably)
{
    return askNoByDefault(parent, QStringLiteral("watchOtherDeviceBox"),
                          QStringLiteral("%1 is probably %2, not a Corvane. Point the main window at it? Its poll "
                                         "reads fourteen of the device's registers ten times a second.")
                              .arg(QString::fromStdString(deviceText(device)), probably));
}

bool confirmReplaceFile(QWidget* parent, const QString& path)
{
    return askNoByDefault(parent, QStringLiteral("replaceFileBox"),
                          QStringLiteral("%1 exists. Replace it? What it holds will be lost.").arg(path));
}

namespace {

void warn(QWidget* parent, const QString& name, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(ApplicationTitle), text, QMessageBox::Ok, parent);
    box.setObjectName(name);
    box.exec();
}

} // namespace

void showCannotRecord(QWidget* parent, const QString& why)
{
    warn(parent, QStringLiteral("cannotRecordBox"), why);
}

void showCannotOpen(QWidget* parent, const QString& why)
{
    warn(parent, QStringLiteral("cannotOpenBox"), why);
}

bool askToRunSimulated(QWidget* parent, const QString& reason)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(ApplicationTitle),
                    QStringLiteral("The SMBus cannot be used."), QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("noSmbusBox"));
    box.setInformativeText(reason + QStringLiteral("\n\nContinue on the simulated chip? (No quits.)"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
