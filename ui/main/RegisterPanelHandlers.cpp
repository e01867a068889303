// The register panel: any register of any device, by hand, in hex; the
// device-address field also steers the poll and the settings panel.

#include "ui/main/Form1.h"
#include "ui/widgets/MessageBoxes.h"
#include "chip/ValueText.h"

namespace rm = RegisterMap;

namespace {

std::optional<std::uint8_t> fieldByte(const QLineEdit* field)
{
    return rm::HexField(field->text().toStdString());
}

} // namespace

void Form1::cmdRead_Click()
{
    const auto device = fieldByte(c_.txtDevAddr);
    const auto reg = fieldByte(c_.txtAddrPtr);
    // A value that does not fit a byte is refused whole: no transaction
    // ever runs on a truncated address or register.
    if (!device || !reg) {
        showInvalidValue(this);
        return;
    }
    session_.readRegister(*device, *reg, this, [this](const ByteRead& read) {
        // A failed read shows XX, as i2cdump and the register map do,
        // never 0xFF's text; the status line says why.
        c_.lblReadData->setText(read.ok() ? QString::fromStdString(rm::hexText(read.value)) : QStringLiteral("XX"));
    });
}

void Form1::cmdWrite_Click()
{
    const auto device = fieldByte(c_.txtDevAddr);
    const auto reg = fieldByte(c_.txtAddrPtr);
    const auto data = fieldByte(c_.txtDataOut);
    if (!device || !reg || !data) {
        showInvalidValue(this);
        return;
    }
    session_.write(*device, *reg, *data);
}

void Form1::txtDevAddr_Change()
{
    // Partial typing passes through here keystroke by keystroke; a value
    // beyond the 7-bit range leaves the monitored device where it was.
    if (const auto device = fieldByte(c_.txtDevAddr); device && *device <= 0x7F)
        session_.setDevice(*device);
    else
        session_.deviceUnnamed();
}

void Form1::optController1_Click() { session_.selectController(0); }
void Form1::optController2_Click() { session_.selectController(1); }
