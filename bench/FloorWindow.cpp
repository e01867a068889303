// The floor for the benchmark: a bare Qt Widgets window with the same
// controls as the bench, in the same places, that rewrites its ten value
// labels with new texts every 100 ms, the plain way, with no care for cost.
// Default style, default font, no bus.
//
//   floor-window

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <array>

namespace {

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

template <typename Widget>
Widget* at(QWidget* parent, QRect where, const QString& text = {})
{
    auto* widget = new Widget(parent);
    widget->setGeometry(where);
    if constexpr (requires { widget->setText(text); })
        widget->setText(text);
    return widget;
}

class FloorWindow : public QWidget {
public:
    FloorWindow()
    {
        setWindowTitle(QStringLiteral("Floor"));
        resize(603, 337);
        auto* readings = new QGroupBox(QStringLiteral("Corvane Readings"), this);
        readings->setGeometry(twips(480, 360, 2775, 4455));
        auto* settings = new QGroupBox(QStringLiteral("PWM1 Settings"), this);
        settings->setGeometry(twips(3480, 360, 5175, 2415));
        auto* panel = new QGroupBox(QStringLiteral("Read/Write"), this);
        panel->setGeometry(twips(3480, 3000, 5175, 1815));

        const std::array<std::pair<const char*, int>, 9> rows = {{{"Local", 720}, {"Remote1", 960},
            {"Remote2", 1200}, {"Fan1", 1800}, {"Fan2", 2040}, {"Fan3", 2280}, {"Fan4", 2520}, {"Vcc", 3120},
            {"Vccp", 3360}}};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            at<QLabel>(readings, twips(360, rows[i].second, 645, 195), QString::fromLatin1(rows[i].first));
            auto* value = at<QLabel>(readings, twips(1080, rows[i].second, 1215, 255));
            value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            value->setAlignment(Qt::AlignCenter);
            values_[i] = value;
        }

        at<QLabel>(settings, twips(360, 480, 1035, 195), QStringLiteral("PWM1 Control"));
        auto* behaviour = at<QComboBox>(settings, twips(360, 720, 2775, 315));
        behaviour->addItems({"Remote1", "Local", "Remote2", "Full Speed", "Disabled", "Fastest Speed of Local/Remote2",
                             "Fastest Speed of 3 channels", "Manual Mode"});
        at<QLabel>(settings, twips(3480, 480, 1305, 195), QStringLiteral("PWM1 Duty Cycle"));
        values_[9] = at<QLabel>(settings, twips(3480, 720, 1335, 255));
        values_[9]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        at<QLabel>(settings, twips(360, 1440, 1335, 195), QStringLiteral("3/4 Wire Fan"));
        at<QComboBox>(settings, twips(360, 1680, 2775, 315))->addItems({"Low Freq. (3-wire)", "High Freq. (4-wire)"});
        at<QLabel>(settings, twips(3480, 1440, 1245, 195), QStringLiteral("Fan1 Pulses/Rev"));
        at<QComboBox>(settings, twips(3480, 1680, 1335, 315))->addItems({"1", "2", "3", "4"});

        at<QLabel>(panel, twips(360, 240, 1515, 195), QStringLiteral("Device Address (hex)"));
        at<QLineEdit>(panel, twips(1920, 240, 495, 285), QStringLiteral("2e"));
        at<QRadioButton>(panel, twips(2880, 240, 2055, 255), QStringLiteral("SMBus Controller 1"));
        at<QRadioButton>(panel, twips(2880, 480, 1695, 255), QStringLiteral("SMBus Controller 2"))->setChecked(true);
        at<QLabel>(panel, twips(360, 600, 1500, 195), QStringLiteral("Address Pointer (hex)"));
        at<QLineEdit>(panel, twips(1920, 600, 495, 285), QStringLiteral("25"));
        at<QLabel>(panel, twips(720, 960, 1155, 195), QStringLiteral("Write Data (hex)"));
        at<QLineEdit>(panel, twips(1920, 960, 495, 285), QStringLiteral("0"));
        at<QPushButton>(panel, twips(2520, 960, 1095, 255), QStringLiteral("Write"));
        at<QLabel>(panel, twips(720, 1320, 1170, 195), QStringLiteral("Read Data (hex)"));
        at<QLabel>(panel, twips(1920, 1320, 495, 255))->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        at<QPushButton>(panel, twips(2520, 1320, 1095, 255), QStringLiteral("Read"));

        connect(&timer_, &QTimer::timeout, this, &FloorWindow::tick);
        timer_.start(100);
    }

    // Ten new texts, every one different from the last tick's.
    void tick()
    {
        ++ticks_;
        for (std::size_t i = 0; i < values_.size(); ++i)
            values_[i]->setText(QString::number(ticks_ * 7 + i * 131) + QStringLiteral(" rpm"));
    }

private:
    std::array<QLabel*, 10> values_{};
    QTimer timer_;
    unsigned long long ticks_ = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    FloorWindow window;
    window.show();
    return QApplication::exec();
}
