// The windows around the designed one, as a user meets them: the keys that
// close them and quit, text that stays readable in a dark theme, and
// windows that keep the width the user gave them.

#include "Form1Fixture.h"
#include "ui/busscan/BusScanWindow.h"
#include "ui/fantest/FanTestWindow.h"
#include "ui/registermap/RegisterMapWindow.h"
#include "ui/trends/TrendsView.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QMainWindow>
#include <cmath>

namespace {

using Answer = MessageBoxAnswerer::Answer;

// WCAG's relative luminance and contrast ratio.
double luminance(const QColor& colour)
{
    const auto channel = [](int value) {
        const double v = value / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) + 0.0722 * channel(colour.blue());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// What a widget's text is drawn on: its own background where it fills it,
// else the nearest parent's that does.
QColor backgroundOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (widget->autoFillBackground() || widget->isWindow())
            return widget->palette().color(widget->backgroundRole());
    }
    return Qt::white;
}

QPalette darkPalette()
{
    QPalette dark;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, QColor(45, 45, 48));
        dark.setColor(group, QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(group, QPalette::Base, QColor(30, 30, 32));
        dark.setColor(group, QPalette::AlternateBase, QColor(45, 45, 48));
        dark.setColor(group, QPalette::Text, QColor(230, 230, 230));
        dark.setColor(group, QPalette::Button, QColor(55, 55, 58));
        dark.setColor(group, QPalette::ButtonText, QColor(230, 230, 230));
        dark.setColor(group, QPalette::Mid, QColor(90, 90, 95));
    }
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(140, 140, 140));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(140, 140, 140));
    return dark;
}

class WindowsAround : public Form1Fixture {
protected:
    void SetUp() override { openOnScreen(); }

    // The added windows, each opened the way the menus open them.
    std::vector<std::pair<const char*, std::function<QWidget*()>>> openers()
    {
        return {{"Trends", [this]() -> QWidget* { return form->showTrends()->window(); }},
                {"Register Map", [this] { return form->showRegisterMap(); }},
                {"Bus Scan", [this] { return form->showBusScan(); }},
                {"Fan Test", [this] { return form->showFanTest(); }}};
    }
};

TEST_F(WindowsAround, EscapeAndCtrlWCloseEachWindowAndCtrlQQuits)
{
    const QKeyCombination closing[] = {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::CTRL | Qt::Key_W)};
    for (const auto& [name, open] : openers()) {
        for (const QKeyCombination key : closing) {
            SCOPED_TRACE(std::string(name) + " " + QKeySequence(key).toString().toStdString());
            QPointer<QWidget> window = open();
            QApplication::setActiveWindow(window);
            ASSERT_TRUE(QTest::qWaitForWindowActive(window));
            QTest::keyClick(window, key.key(), key.keyboardModifiers());
            EXPECT_TRUE(QTest::qWaitFor([&] { return !window || !window->isVisible(); }, 2000));
            EXPECT_TRUE(form->isVisible()) << "only the window closes";
        }
    }
    for (std::size_t i = 0; i < openers().size(); ++i) {
        SCOPED_TRACE(std::string(openers()[i].first) + " Ctrl+Q");
        openOnScreen(); // a fresh window each time: the last one quit
        QWidget* window = openers()[i].second();
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 2000)) << "the program quits";
    }
}

// In a dark theme every text the added windows show stands out from what
// it is drawn on by 4.5:1 at least; the main window's value boxes keep the
// designed colours on a light box of their own.
TEST_F(WindowsAround, EveryTextReadsInADarkTheme)
{
    const QPalette before = QApplication::palette();
    QApplication::setPalette(darkPalette());
    tick();
    std::vector<QWidget*> windows;
    for (const auto& [name, open] : openers())
        windows.push_back(open());
    auto* map = qobject_cast<RegisterMapWindow*>(form->showRegisterMap());
    map->readAll();
    bus.set(0x25, 0x33);
    settleBus();
    map->readAll(); // a changed cell: coloured
    settleBus();
    qobject_cast<BusScanWindow*>(form->showBusScan())->scan();
    settleBus();

    for (QWidget* window : windows) {
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(window) || label->text().isEmpty() || !label->isEnabled())
                continue;
            SCOPED_TRACE(window->objectName().toStdString() + " / " + label->objectName().toStdString() + " '" +
                         label->text().left(40).toStdString() + "'");
            EXPECT_GE(contrast(label->palette().color(label->foregroundRole()), backgroundOf(label)), 4.5);
        }
        for (QAbstractItemView* view : window->findChildren<QAbstractItemView*>()) {
            const QAbstractItemModel* model = view->model();
            for (int row = 0; model && row < model->rowCount(); ++row) {
                for (int column = 0; column < model->columnCount(); ++column) {
                    const QModelIndex index = model->index(row, column);
                    const QVariant foreground = index.data(Qt::ForegroundRole);
                    const QVariant background = index.data(Qt::BackgroundRole);
                    if (!foreground.isValid() && !background.isValid())
                        continue;
                    SCOPED_TRACE(window->objectName().toStdString() + " cell " + std::to_string(row) + "," +
                                 std::to_string(column));
                    const QColor text = foreground.isValid() ? foreground.value<QBrush>().color()
                                                             : view->palette().color(QPalette::Text);
                    const QColor ground = background.isValid() ? background.value<QBrush>().color()
                                                               : view->palette().color(QPalette::Base);
                    EXPECT_GE(contrast(text, ground), 4.5);
                }
            }
        }
    }
    const Form1Controls& c = controls();
    for (QLabel* label : {c.lblTemp[0], c.lblTemp[1], c.lblTemp[2], c.lblFanSpeed[0], c.lblFanSpeed[1],
                          c.lblFanSpeed[2], c.lblFanSpeed[3], c.lblVcc, c.lblVccp}) {
        SCOPED_TRACE(label->objectName().toStdString());
        const QColor text = label->palette().color(label->foregroundRole());
        const QColor box = backgroundOf(label);
        EXPECT_GT(box.lightness(), 200) << "a light box of its own, whatever the theme";
        // The designed green (0, 192, 0) reaches 2.5:1 on any light box;
        // the designed red and blue reach 4.5:1 on it.
        EXPECT_GE(contrast(text, box), text == QColor(0, 192, 0) ? 2.4 : 4.5);
    }
    QApplication::setPalette(before);
}

// A scan's result is wrapped in the window as it is: finding every address
// never makes the window wider.
TEST_F(WindowsAround, AScanLeavesTheBusScanWindowsWidthAlone)
{
    for (int address = 0x08; address <= 0x77; ++address)
        bus.set(0x00, 0x00, static_cast<std::uint8_t>(address));
    auto* scan = qobject_cast<BusScanWindow*>(form->showBusScan());
    const int minimum = scan->minimumSizeHint().width();
    ASSERT_TRUE(scan->scan());
    ASSERT_TRUE(settleBus());
    EXPECT_EQ(scan->minimumSizeHint().width(), minimum);
}

} // namespace
