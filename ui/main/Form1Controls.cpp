#include "ui/main/Form1Controls.h"

#include "ui/widgets/LazyPopupComboBox.h"
#include "ui/main/Twips.h"
#include "chip/RegisterMap.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <utility>

namespace {

// The classic 8.25 pt dialog font. Where its family is missing, as on
// Linux, a plain sans stands in at 10 pixels: at the nominal 11 the stand-ins
// run about 6 % wider than the captions were laid out for and collide with
// the fields beside them.
//
// The family is settled once, from the list of fonts installed: asking for
// a missing family by name, even hasFamily(), makes fontconfig work out its
// substitutes, which cost a quarter of the start-up's instructions.
const QString& dialogFamily()
{
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* candidate : {"MS Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans Condensed"}) {
            const QString name = QString::fromLatin1(candidate);
            if (installed.contains(name, Qt::CaseInsensitive))
                return name;
        }
        return QFont().family();
    }();
    return family;
}

QFont dialogFont(bool bold = false)
{
    QFont font(dialogFamily());
    font.setPixelSize(10);
    font.setBold(bold);
    return font;
}

const QColor DarkGreen(0, 192, 0);
const QColor DarkRed(192, 0, 0);
const QColor DarkBlue(0, 0, 192);
const QColor ValueBox(255, 255, 255);

template <typename Widget>
Widget* place(QWidget* parent, const QString& name, QRect twips)
{
    auto* widget = new Widget(parent);
    widget->setObjectName(name);
    widget->setGeometry(twips);
    widget->setFont(dialogFont());
    return widget;
}

QString elementName(const char* array, int element)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(element);
}

// A box's title is set, in bold, once the box is filled (titleBoxes): what
// is built inside is then never laid out in bold first, only to be set
// regular, and the title is laid out once.
QGroupBox* groupBox(QWidget& form, const char* name, QRect twips)
{
    auto* box = new QGroupBox(&form);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(twips);
    return box;
}

// Each control inside has its own font, which a box's font does not
// replace.
void titleBoxes(const Form1Controls& c)
{
    const std::pair<QGroupBox*, const char*> titles[] = {
        {c.Frame1, "Corvane Readings"}, {c.Frame2, "PWM1 Settings"}, {c.Frame3, "Read/Write"}};
    for (const auto& [box, title] : titles) {
        box->setFont(dialogFont(true));
        box->setTitle(QString::fromUtf8(title));
    }
}

// Caption labels size themselves to their text, never narrower than laid out.
QLabel* caption(QWidget* parent, const QString& name, const char* text, QRect twips)
{
    auto* label = place<QLabel>(parent, name, twips);
    label->setText(QString::fromUtf8(text));
    // The text's own width, as a plain caption without margins or frame
    // needs: cheaper at start-up than the label's size hint.
    label->resize(std::max(twips.width(), label->fontMetrics().horizontalAdvance(label->text())), twips.height());
    return label;
}

// A bordered display; its accessible name stays its text, so a screen
// reader speaks the value, and the description says what the value is.
QLabel* display(QWidget* parent, const QString& name, const QString& describes, QRect twips)
{
    auto* label = place<QLabel>(parent, name, twips);
    // A fixed size tells Qt a new text can't move anything, so rewriting
    // it asks for no layout pass, only a repaint of the label.
    label->setFixedSize(twips.size());
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setAccessibleDescription(describes);
    return label;
}

QLabel* valueLabel(QWidget* parent, const QString& name, const QString& describes, const QColor& colour,
                   QRect twips)
{
    auto* label = display(parent, name, describes, twips);
    label->setFont(dialogFont(true));
    label->setAlignment(Qt::AlignCenter);
    label->setText(QStringLiteral("test"));
    // The designed colours are for a light box: it gets one of its own, so a
    // dark desktop theme cannot put them on dark grey.
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Window, ValueBox);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

template <std::size_t N>
QComboBox* dropDown(QWidget* parent, const char* name, QLabel* caption, const std::array<std::string_view, N>& entries,
                    QRect twips)
{
    auto* list = place<LazyPopupComboBox>(parent, QLatin1String(name), twips);
    for (std::string_view entry : entries)
        list->addItem(QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size())));
    list->setCurrentIndex(-1);
    list->setAccessibleName(caption->text());
    caption->setBuddy(list);
    return list;
}

QLineEdit* textField(QWidget* parent, const char* name, QLabel* caption, const char* text, QRect twips)
{
    auto* field = place<QLineEdit>(parent, QLatin1String(name), twips);
    field->setText(QLatin1String(text));
    field->setAccessibleName(caption->text());
    caption->setBuddy(field);
    return field;
}

template <typename Button>
Button* button(QWidget* parent, const char* name, const char* text, QRect twips)
{
    auto* widget = place<Button>(parent, QLatin1String(name), twips);
    widget->setText(QLatin1String(text));
    widget->setAccessibleName(widget->text());
    return widget;
}

void buildReadings(Form1Controls& c, QWidget& form)
{
    namespace rm = RegisterMap;
    c.Frame1 = groupBox(form, "Frame1", twipsRect(480, 360, 2775, 4455));
    QWidget* f = c.Frame1;

    // The caption array and the value array number their rows differently:
    // lblTemp follows the register order (Remote1, Local, Remote2).
    struct Row { int captionElement, valueElement; const char* text; int left, top, width; };
    const Row temperatures[] = {{0, 1, "Local", 600, 720, 390},
                                {1, 0, "Remote1", 360, 960, 645},
                                {2, 2, "Remote2", 360, 1200, 645}};
    for (const Row& row : temperatures) {
        c.Label2[row.captionElement] = caption(f, elementName("Label2", row.captionElement), row.text,
                                               twipsRect(row.left, row.top, row.width, 195));
        c.lblTemp[row.valueElement] = valueLabel(f, elementName("lblTemp", row.valueElement),
                                                 QStringLiteral("%1 temperature").arg(QLatin1String(row.text)),
                                                 DarkGreen, twipsRect(1080, row.top, 1215, 255));
    }

    const int fanCaptionElements[rm::FanCount] = {0, 3, 4, 5};
    for (int fan = 0; fan < rm::FanCount; ++fan) {
        const int top = 1800 + 240 * fan;
        const QString fanName = QStringLiteral("Fan%1").arg(fan + 1);
        const int element = fanCaptionElements[fan];
        c.Label1[element] = caption(f, elementName("Label1", element), fanName.toUtf8().constData(),
                                    twipsRect(600, top, 360, 195));
        c.lblFanSpeed[fan] = valueLabel(f, elementName("lblFanSpeed", fan), fanName + QStringLiteral(" speed"),
                                        DarkRed, twipsRect(1080, top, 1215, 255));
    }

    c.Label1[1] = caption(f, elementName("Label1", 1), "Vcc", twipsRect(720, 3120, 285, 195));
    c.lblVcc = valueLabel(f, QStringLiteral("lblVcc"), QStringLiteral("Vcc"), DarkBlue, twipsRect(1080, 3120, 1215, 255));
    c.Label1[2] = caption(f, elementName("Label1", 2), "Vccp", twipsRect(600, 3360, 375, 195));
    c.lblVccp = valueLabel(f, QStringLiteral("lblVccp"), QStringLiteral("Vccp"), DarkBlue, twipsRect(1080, 3360, 1215, 255));
}

void buildPwmSettings(Form1Controls& c, QWidget& form)
{
    namespace rm = RegisterMap;
    c.Frame2 = groupBox(form, "Frame2", twipsRect(3480, 360, 5175, 2415));
    QWidget* f = c.Frame2;

    c.Label3 = caption(f, QStringLiteral("Label3"), "PWM1 Control", twipsRect(360, 480, 1035, 195));
    c.cmbPWM1 = dropDown(f, "cmbPWM1", c.Label3, rm::BehaviourEntries, twipsRect(360, 720, 2775, 315));
    c.Label4 = caption(f, QStringLiteral("Label4"), "PWM1 Duty Cycle", twipsRect(3480, 480, 1305, 195));
    c.lblDutyCycle = display(f, QStringLiteral("lblDutyCycle"), c.Label4->text(), twipsRect(3480, 720, 1335, 255));
    c.txtDutyCycle = textField(f, "txtDutyCycle", c.Label4, "", twipsRect(3480, 720, 705, 285));
    c.cmdWriteDuty = button<QPushButton>(f, "cmdWriteDuty", "write", twipsRect(4200, 720, 615, 255));
    c.Label5 = caption(f, QStringLiteral("Label5"), "3/4 Wire Fan", twipsRect(360, 1440, 945, 195));
    c.cmbHF = dropDown(f, "cmbHF", c.Label5, rm::FrequencyEntries, twipsRect(360, 1680, 2775, 315));
    c.Label6 = caption(f, QStringLiteral("Label6"), "Fan1 Pulses/Rev", twipsRect(3480, 1440, 1245, 195));
    c.cmbPulses = dropDown(f, "cmbPulses", c.Label6, rm::PulsesEntries, twipsRect(3480, 1680, 1335, 315));
}

void buildRegisterPanel(Form1Controls& c, QWidget& form)
{
    c.Frame3 = groupBox(form, "Frame3", twipsRect(3480, 3000, 5175, 1815));
    QWidget* f = c.Frame3;

    c.Label7 = caption(f, QStringLiteral("Label7"), "Device Address (hex)", twipsRect(360, 240, 1515, 195));
    c.txtDevAddr = textField(f, "txtDevAddr", c.Label7, "2e", twipsRect(1920, 240, 495, 285));
    c.optController1 = button<QRadioButton>(f, "optController1", "SMBus Controller 1", twipsRect(2880, 240, 2055, 255));
    c.optController2 = button<QRadioButton>(f, "optController2", "SMBus Controller 2", twipsRect(2880, 480, 1695, 255));
    c.optController2->setChecked(true);
    c.Label8 = caption(f, QStringLiteral("Label8"), "Address Pointer (hex)", twipsRect(360, 600, 1500, 195));
    c.txtAddrPtr = textField(f, "txtAddrPtr", c.Label8, "25", twipsRect(1920, 600, 495, 285));
    c.Label10 = caption(f, QStringLiteral("Label10"), "Write Data (hex)", twipsRect(720, 960, 1155, 195));
    c.txtDataOut = textField(f, "txtDataOut", c.Label10, "0", twipsRect(1920, 960, 495, 285));
    c.cmdWrite = button<QPushButton>(f, "cmdWrite", "Write", twipsRect(2520, 960, 1095, 255));
    c.Label11 = caption(f, QStringLiteral("Label11"), "Read Data (hex)", twipsRect(720, 1320, 1170, 195));
    c.lblReadData = display(f, QStringLiteral("lblReadData"), c.Label11->text(), twipsRect(1920, 1320, 495, 255));
    c.lblReadData->setAlignment(Qt::AlignCenter);
    c.cmdRead = button<QPushButton>(f, "cmdRead", "Read", twipsRect(2520, 1320, 1095, 255));
}

void setTabOrder(const Form1Controls& c)
{
    QWidget* const order[] = {c.cmbPWM1,   c.txtDutyCycle, c.cmdWriteDuty, c.cmbHF,
                                    c.cmbPulses, c.txtDataOut,   c.cmdWrite,     c.cmdRead,
                                    c.txtAddrPtr, c.txtDevAddr,  c.optController1, c.optController2};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace

QFont designedFont()
{
    return dialogFont();
}

Form1Controls buildForm1Controls(QWidget& form)
{
    form.setFont(dialogFont());
    form.setMinimumSize(pixels(9045), pixels(5055));
    form.resize(pixels(9045), pixels(5055));
    Form1Controls controls;
    buildReadings(controls, form);
    buildPwmSettings(controls, form);
    buildRegisterPanel(controls, form);
    titleBoxes(controls);
    setTabOrder(controls);
    return controls;
}
