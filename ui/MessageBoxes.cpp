#include "MessageBoxes.h"

#include "ApplicationTitle.h"
#include "chip/ValueText.h"

#include <QMessageBox>

void showInvalidValue(QWidget* parent)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(ApplicationTitle), QStringLiteral("Invalid Value"),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("invalidValueBox"));
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

bool confirmEepromWrite(QWidget* parent, std::uint8_t device)
{
    const QString text = QStringLiteral("Device 0x%1 may be a memory module's configuration EEPROM. "
                                        "Writing to it can make the computer unbootable. Write anyway?")
                             .arg(QString::fromStdString(RegisterMap::hexText(device)));
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(ApplicationTitle), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("eepromWriteBox"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
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
