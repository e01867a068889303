#include "Form1Fixture.h"
#include "ui/main/RecordingLine.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QMenuBar>
#include <QSet>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace {

class Layout : public Form1Fixture {
protected:
    void SetUp() override
    {
        scriptTypicalChip();
        open();
        // Laid out as on screen, status line included.
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    template <typename T = QWidget>
    T* named(const char* name) const
    {
        T* widget = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};

// Positions in twips within the parent, as the window is designed; 15 twips
// make a pixel. Caption labels grow to their text, so only their left, top
// and height are fixed.
struct Placement { const char* name; const char* parent; int left, top, width, height; bool caption; };
const Placement Placements[] = {
    {"Frame1", "clientArea", 480, 360, 2775, 4455, false},
    {"Frame2", "clientArea", 3480, 360, 5175, 2415, false},
    {"Frame3", "clientArea", 3480, 3000, 5175, 1815, false},
    {"Label2_0", "Frame1", 600, 720, 390, 195, true},
    {"lblTemp_1", "Frame1", 1080, 720, 1215, 255, false},
    {"Label2_1", "Frame1", 360, 960, 645, 195, true},
    {"lblTemp_0", "Frame1", 1080, 960, 1215, 255, false},
    {"Label2_2", "Frame1", 360, 1200, 645, 195, true},
    {"lblTemp_2", "Frame1", 1080, 1200, 1215, 255, false},
    {"Label1_0", "Frame1", 600, 1800, 360, 195, true},
    {"lblFanSpeed_0", "Frame1", 1080, 1800, 1215, 255, false},
    {"Label1_3", "Frame1", 600, 2040, 360, 195, true},
    {"lblFanSpeed_1", "Frame1", 1080, 2040, 1215, 255, false},
    {"Label1_4", "Frame1", 600, 2280, 360, 195, true},
    {"lblFanSpeed_2", "Frame1", 1080, 2280, 1215, 255, false},
    {"Label1_5", "Frame1", 600, 2520, 360, 195, true},
    {"lblFanSpeed_3", "Frame1", 1080, 2520, 1215, 255, false},
    {"Label1_1", "Frame1", 720, 3120, 285, 195, true},
    {"lblVcc", "Frame1", 1080, 3120, 1215, 255, false},
    {"Label1_2", "Frame1", 600, 3360, 375, 195, true},
    {"lblVccp", "Frame1", 1080, 3360, 1215, 255, false},
    {"Label3", "Frame2", 360, 480, 1035, 195, true},
    {"cmbPWM1", "Frame2", 360, 720, 2775, 315, false},
    {"Label4", "Frame2", 3480, 480, 1305, 195, true},
    {"lblDutyCycle", "Frame2", 3480, 720, 1335, 255, false},
    {"txtDutyCycle", "Frame2", 3480, 720, 705, 285, false},
    {"cmdWriteDuty", "Frame2", 4200, 720, 615, 255, false},
    {"Label5", "Frame2", 360, 1440, 945, 195, true},
    {"cmbHF", "Frame2", 360, 1680, 2775, 315, false},
    {"Label6", "Frame2", 3480, 1440, 1245, 195, true},
    {"cmbPulses", "Frame2", 3480, 1680, 1335, 315, false},
    {"Label7", "Frame3", 360, 240, 1515, 195, true},
    {"txtDevAddr", "Frame3", 1920, 240, 495, 285, false},
    {"optController1", "Frame3", 2880, 240, 2055, 255, false},
    {"optController2", "Frame3", 2880, 480, 1695, 255, false},
    {"Label8", "Frame3", 360, 600, 1500, 195, true},
    {"txtAddrPtr", "Frame3", 1920, 600, 495, 285, false},
    {"Label10", "Frame3", 720, 960, 1155, 195, true},
    {"txtDataOut", "Frame3", 1920, 960, 495, 285, false},
    {"cmdWrite", "Frame3", 2520, 960, 1095, 255, false},
    {"Label11", "Frame3", 720, 1320, 1170, 195, true},
    {"lblReadData", "Frame3", 1920, 1320, 495, 255, false},
    {"cmdRead", "Frame3", 2520, 1320, 1095, 255, false},
};

TEST_F(Layout, EveryControlSitsWhereItIsDesigned)
{
    // The designed client area; the status line adds its height below it.
    const QWidget* client = named("clientArea");
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->size(), QSize(603, 337));
    EXPECT_EQ(client->pos(), QPoint(0, form->findChild<QMenuBar*>()->height())) << "right below the menu bar";
    const QWidget* status = named("statusLine");
    ASSERT_NE(status, nullptr);
    EXPECT_GE(status->mapTo(form.get(), QPoint(0, 0)).y(), 337) << "the status line sits below the client area";
    EXPECT_EQ(form->width(), 603);
    for (const Placement& p : Placements) {
        SCOPED_TRACE(p.name);
        QWidget* widget = named(p.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), p.parent);
        EXPECT_EQ(widget->pos(), QPoint(p.left / 15, p.top / 15));
        EXPECT_EQ(widget->height(), p.height / 15);
        if (p.caption)
            EXPECT_GE(widget->width(), p.width / 15);
        else
            EXPECT_EQ(widget->width(), p.width / 15);
    }
}

TEST_F(Layout, CaptionsAndInitialTexts)
{
    struct Text { const char* name; const char* text; };
    const Text captions[] = {
        {"Label2_0", "Local"}, {"Label2_1", "Remote1"}, {"Label2_2", "Remote2"}, {"Label1_0", "Fan1"},
        {"Label1_3", "Fan2"}, {"Label1_4", "Fan3"}, {"Label1_5", "Fan4"}, {"Label1_1", "Vcc"},
        {"Label1_2", "Vccp"}, {"Label3", "PWM1 Control"}, {"Label4", "PWM1 Duty Cycle"},
        {"Label5", "3/4 Wire Fan"}, {"Label6", "Fan1 Pulses/Rev"}, {"Label7", "Device Address (hex)"},
        {"Label8", "Address Pointer (hex)"}, {"Label10", "Write Data (hex)"}, {"Label11", "Read Data (hex)"},
        {"lblReadData", ""}, {"lblDutyCycle", ""},
    };
    for (const Text& t : captions)
        EXPECT_EQ(named<QLabel>(t.name)->text(), t.text) << t.name;
    const Text fields[] = {{"txtDevAddr", "2e"}, {"txtAddrPtr", "25"}, {"txtDataOut", "0"}};
    for (const Text& t : fields)
        EXPECT_EQ(named<QLineEdit>(t.name)->text(), t.text) << t.name;
    const Text buttons[] = {{"cmdWriteDuty", "write"}, {"cmdWrite", "Write"}, {"cmdRead", "Read"},
                            {"optController1", "SMBus Controller 1"}, {"optController2", "SMBus Controller 2"}};
    for (const Text& t : buttons)
        EXPECT_EQ(named<QAbstractButton>(t.name)->text(), t.text) << t.name;
    const Text groups[] = {{"Frame1", "Corvane Readings"}, {"Frame2", "PWM1 Settings"}, {"Frame3", "Read/Write"}};
    for (const Text& t : groups) {
        EXPECT_EQ(named<QGroupBox>(t.name)->title(), t.text);
        EXPECT_TRUE(named<QGroupBox>(t.name)->font().bold()) << t.name;
    }
    EXPECT_TRUE(named<QRadioButton>("optController2")->isChecked());
    EXPECT_FALSE(named<QRadioButton>("optController1")->isChecked());

    QStringList behaviours;
    for (int i = 0; i < controls().cmbPWM1->count(); ++i)
        behaviours << controls().cmbPWM1->itemText(i);
    EXPECT_EQ(behaviours, (QStringList{"Remote1", "Local", "Remote2", "Full Speed", "Disabled",
                                       "Fastest of Local and Remote2", "Fastest Speed of 3 channels", "Manual Mode"}));
    EXPECT_EQ(controls().cmbHF->count(), 2);
    EXPECT_EQ(controls().cmbPulses->count(), 4);
    for (QComboBox* list : {controls().cmbPWM1, controls().cmbHF, controls().cmbPulses})
        EXPECT_FALSE(list->isEditable()) << "lists are selection-only";
}

TEST_F(Layout, ValueLabelsAreBoldCentredBorderedAndColouredByKind)
{
    const QColor green(0, 192, 0), red(192, 0, 0), blue(0, 0, 192);
    std::vector<std::pair<QLabel*, QColor>> labels;
    for (QLabel* label : controls().lblTemp)
        labels.emplace_back(label, green);
    for (QLabel* label : controls().lblFanSpeed)
        labels.emplace_back(label, red);
    labels.emplace_back(controls().lblVcc, blue);
    labels.emplace_back(controls().lblVccp, blue);
    for (const auto& [label, colour] : labels) {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_EQ(label->text(), "test");
        EXPECT_TRUE(label->font().bold());
        EXPECT_EQ(label->alignment(), Qt::AlignCenter);
        EXPECT_GT(label->frameWidth(), 0);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), colour);
    }
}

// The lists and the status line pay for their popups and text documents
// only when used: a list's popup is made at its first opening, in the
// list's own regular font though its frame's is bold; the status line is
// selectable from the first press on it.
TEST_F(Layout, ListPopupsAndTheStatusSelectionAreMadeWhenFirstUsed)
{
    for (QComboBox* list : {controls().cmbPWM1, controls().cmbHF, controls().cmbPulses}) {
        SCOPED_TRACE(list->objectName().toStdString());
        EXPECT_EQ(list->findChild<QFrame*>(QString(), Qt::FindDirectChildrenOnly), nullptr) << "a popup made at start";
        EXPECT_FALSE(list->font().bold());
        list->showPopup();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list->view()->window()));
        EXPECT_EQ(list->view()->font(), list->font());
        list->hidePopup();
    }
    auto* status = named<QLabel>("statusLine");
    EXPECT_FALSE(status->hasSelectedText());
    QTest::mouseDClick(status, Qt::LeftButton, {}, QPoint(4, status->height() / 2));
    EXPECT_FALSE(status->selectedText().isEmpty()) << "a double click selects a word of " << status->text().toStdString();
}

// The status bar's two lines never widen the window, however long their
// texts (a full disk's loss, a notification service's error): the ends are
// elided on screen, and a screen reader still gets all of each.
TEST_F(Layout, LongStatusTextsNeverWidenTheWindow)
{
    auto* line = form->findChild<RecordingLine*>(QStringLiteral("recordingLine"));
    auto* status = named<QLabel>("statusLine");
    ASSERT_NE(line, nullptr);
    ASSERT_NE(status, nullptr);
    const QString loss = QStringLiteral("the disk is full since 13:11:00: 13 rows lost so far; "
                                        "the recording goes on when there is room");
    const QString problem = QStringLiteral("Alarm: Fan1 not read since 15:57:08 (2 alarms); no desktop notifications "
                                           "(The name org.freedesktop.Notifications was not provided)");
    struct Case { const char* what; bool longStatus, longRecording; };
    for (const Case& c : {Case{"status", true, false}, Case{"recording", false, true}, Case{"both", true, true}}) {
        SCOPED_TRACE(c.what);
        status->setText(c.longStatus ? problem : QStringLiteral("Device 0x2E on the simulated SMBus"));
        line->recording(QStringLiteral("/tmp/overnight-run.csv"), 123456, c.longRecording ? loss : QString());
        QApplication::processEvents();
        QApplication::processEvents();
        EXPECT_EQ(form->width(), 603);
        EXPECT_LE(line->geometry().right(), form->width());
        EXPECT_GE(status->width(), std::min(320, status->fontMetrics().horizontalAdvance(status->text())))
            << "the bus's message keeps its room first";
        const QString whole =
            QStringLiteral("Recording overnight-run.csv: 123456 rows") + (c.longRecording ? "; " + loss : QString());
        EXPECT_EQ(QAccessible::queryAccessibleInterface(line)->text(QAccessible::Name), whole);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), status->text());
    }
}

TEST_F(Layout, EveryTextFitsItsControl)
{
    const auto fits = [](QWidget* widget, const QString& text, int extra) {
        const int needed = widget->fontMetrics().horizontalAdvance(text) + extra;
        EXPECT_LE(needed, widget->width()) << widget->objectName().toStdString() << ": '" << text.toStdString() << "'";
        EXPECT_LE(widget->fontMetrics().height(), widget->height()) << widget->objectName().toStdString();
    };
    for (QLabel* label : form->findChildren<QLabel*>())
        fits(label, label->text(), 2 * label->frameWidth());
    const QStringList longestReadings = {QString::fromUtf8(" -128 °C"), QString::fromUtf8(" 191 °C"), " 5400000 rpm",
                                         " 4.38 V"};
    for (const QString& text : longestReadings)
        fits(controls().lblFanSpeed[0], text, 2 * controls().lblFanSpeed[0]->frameWidth());
    for (QPushButton* button : form->findChildren<QPushButton*>())
        fits(button, button->text(), 2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
    for (QRadioButton* radio : form->findChildren<QRadioButton*>())
        fits(radio, radio->text(),
             radio->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, radio) +
                 radio->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, radio));
    for (QComboBox* list : form->findChildren<QComboBox*>()) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        const QRect textArea = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                             QStyle::SC_ComboBoxEditField, list);
        for (int i = 0; i < list->count(); ++i)
            EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(i)), textArea.width())
                << list->objectName().toStdString() << ": " << list->itemText(i).toStdString();
    }
    for (QGroupBox* box : form->findChildren<QGroupBox*>())
        EXPECT_LE(box->fontMetrics().horizontalAdvance(box->title()) + 20, box->width());
}

TEST_F(Layout, NoVisibleControlsCoverEachOther)
{
    for (bool manual : {false, true}) {
        form->SetManualDutyMode(manual, ByteRead::of(0x80));
        for (QWidget* parent : std::initializer_list<QWidget*>{named("clientArea"), controls().Frame1, controls().Frame2,
                                                               controls().Frame3}) {
            QList<QWidget*> shown;
            for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (!child->isHidden() && !child->isWindow())
                    shown << child;
            // Stacked value labels share their one-pixel border row by design.
            for (qsizetype i = 0; i < shown.size(); ++i)
                for (qsizetype j = i + 1; j < shown.size(); ++j) {
                    const QRect common = shown[i]->geometry().intersected(shown[j]->geometry());
                    EXPECT_TRUE(common.isEmpty() || common.height() <= 1 || common.width() <= 1)
                        << shown[i]->objectName().toStdString() << " overlaps " << shown[j]->objectName().toStdString();
                }
        }
    }
}

TEST_F(Layout, TabOrderFollowsTheDesign)
{
    const QStringList designed{"cmbPWM1", "txtDutyCycle", "cmdWriteDuty", "cmbHF", "cmbPulses", "txtDataOut",
                               "cmdWrite", "cmdRead", "txtAddrPtr", "txtDevAddr", "optController1", "optController2"};
    QStringList chain;
    QWidget* widget = controls().cmbPWM1;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != controls().cmbPWM1);
    EXPECT_EQ(chain, designed);

    // The Tab key walks it; the two radio buttons are one stop, as a group.
    controls().cmbPWM1->setCurrentIndex(7);
    form->SetManualDutyMode(true, ByteRead::of(0x80));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    controls().cmbPWM1->setFocus();
    QStringList walked{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(walked, designed.mid(0, 11));
}

TEST_F(Layout, ScreenReadersHearCaptionsForInputsAndValuesForDisplays)
{
    struct Expectation { const char* name; const char* spoken; };
    const Expectation inputs[] = {
        {"cmbPWM1", "PWM1 Control"}, {"cmbHF", "3/4 Wire Fan"}, {"cmbPulses", "Fan1 Pulses/Rev"},
        {"txtDutyCycle", "PWM1 Duty Cycle"}, {"cmdWriteDuty", "write"}, {"txtDevAddr", "Device Address (hex)"},
        {"txtAddrPtr", "Address Pointer (hex)"}, {"txtDataOut", "Write Data (hex)"}, {"cmdWrite", "Write"},
        {"cmdRead", "Read"}, {"optController1", "SMBus Controller 1"}, {"optController2", "SMBus Controller 2"},
    };
    for (const Expectation& e : inputs) {
        QWidget* widget = named(e.name);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << e.name;
        EXPECT_EQ(widget->accessibleName(), e.spoken) << e.name;
        // On Linux a list's accessible name is its current entry; its
        // caption reaches the screen reader as the labelling relation.
        QStringList heard{accessible->text(QAccessible::Name)};
        for (const auto& [other, relation] : accessible->relations(QAccessible::Label))
            heard << other->text(QAccessible::Name);
        EXPECT_TRUE(heard.contains(QString::fromUtf8(e.spoken))) << e.name << " is heard as " << heard.join(", ").toStdString();
    }

    bus.set(0x26, 0x19);
    tick();
    QAccessibleInterface* local = QAccessible::queryAccessibleInterface(controls().lblTemp[1]);
    EXPECT_EQ(local->text(QAccessible::Name), QString::fromUtf8(" 25 °C"));
    EXPECT_EQ(local->text(QAccessible::Description), "Local temperature");
}

TEST_F(Layout, WindowIconIsThirtyTwoPixelsInSixteenColours)
{
    const QIcon icon = form->windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(32, 32).toImage();
    EXPECT_EQ(image.size(), QSize(32, 32));
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    EXPECT_LE(colours.size(), 16);
    EXPECT_GE(colours.size(), 4) << "an icon, not a blank square";
}

} // namespace
