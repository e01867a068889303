// What the window remembers between runs: the limits, and where each of
// its windows was and whether it was open. The other windows keep their
// own choices (the register map's watch interval, the fan test's rules,
// the Trends series and range) through the session's settings.

#include "ui/main/Form1.h"
#include "ui/trends/TrendsView.h"

#include <QCloseEvent>
#include <QMainWindow>

namespace {

// Watches a window for the moments worth remembering: shown, and closed.
class WindowMemory : public QObject {
public:
    WindowMemory(QWidget* window, QString name, BenchSettings& settings, const bool& programClosing,
                 std::function<void()> onClose)
        : QObject(window), name_(std::move(name)), settings_(settings), programClosing_(programClosing),
          onClose_(std::move(onClose))
    {
        const QByteArray geometry = settings_.value(key(QStringLiteral("geometry"))).toByteArray();
        if (!geometry.isEmpty())
            window->restoreGeometry(geometry);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show) {
            if (!settings_.value(key(QStringLiteral("open"))).toBool())
                settings_.setValue(key(QStringLiteral("open")), true);
        } else if (event->type() == QEvent::Close) {
            settings_.setValue(key(QStringLiteral("geometry")), window->saveGeometry());
            // Closed by the user: not open next time. Closed because the
            // program is: open next time, as it was.
            if (!programClosing_)
                settings_.setValue(key(QStringLiteral("open")), false);
            if (onClose_)
                onClose_();
        }
        return false;
    }

private:
    QString key(const QString& what) const { return QStringLiteral("windows/%1/%2").arg(name_, what); }

    QString name_;
    BenchSettings& settings_;
    const bool& programClosing_;
    std::function<void()> onClose_;
};

} // namespace

void Form1::useSettings(std::shared_ptr<BenchSettings> settings)
{
    session_.useSettings(std::move(settings));
    const QByteArray geometry = session_.settings().value(QStringLiteral("windows/main/geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    reopenWindows();
}

void Form1::reopenWindows()
{
    const std::pair<const char*, std::function<void()>> windows[] = {
        {"trends", [this] { showTrends(); }},
        {"registerMap", [this] { showRegisterMap(); }},
        {"busScan", [this] { showBusScan(); }},
        {"fanTest", [this] { showFanTest(); }},
    };
    for (const auto& [name, open] : windows) {
        if (session_.settings().value(QStringLiteral("windows/%1/open").arg(QLatin1String(name))).toBool())
            open();
    }
}

void Form1::remember(QWidget* window, const QString& name)
{
    std::function<void()> onClose;
    if (name == QLatin1String("trends")) {
        onClose = [this] {
            if (!trends_)
                return;
            session_.settings().setValue(QStringLiteral("trends/hidden"), trends_->hiddenSeries());
            session_.settings().setValue(QStringLiteral("trends/span"), static_cast<qlonglong>(trends_->span()));
        };
    }
    new WindowMemory(window, name, session_.settings(), closingProgram_, std::move(onClose));
}
