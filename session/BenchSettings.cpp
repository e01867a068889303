#include "BenchSettings.h"

#include "recording/CsvText.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>

namespace {

QString key(Poll::Reading reading)
{
    return QStringLiteral("limits/") + QString::fromLatin1(Poll::name(reading).data(),
                                                          static_cast<qsizetype>(Poll::name(reading).size()));
}

// A bound as the file keeps it, read by the command line's own parser: a
// number the file holds is a bound the command line would take.
std::optional<double> bound(const QVariant& text, Poll::Reading reading, bool atMost)
{
    const QString written = text.toString().trimmed();
    if (written.isEmpty())
        return std::nullopt;
    const auto parsed = parseLimit(std::string(Poll::name(reading)) + (atMost ? "<=" : ">=") + written.toStdString());
    if (const auto* limit = std::get_if<Limit>(&parsed))
        return limit->bound;
    return std::nullopt;
}

} // namespace

QString BenchSettings::userFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("corvane-bench/corvane-bench.conf"));
}

BenchSettings::BenchSettings(const QString& path)
{
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    const QFileInfo file(path);
    if (file.exists() && !file.isReadable()) {
        problem_ = QStringLiteral("The settings in %1 cannot be read: the defaults are used.").arg(path);
    } else if (settings->status() != QSettings::NoError) {
        problem_ = QStringLiteral("The settings in %1 are damaged: the defaults are used, and the file is rewritten "
                                  "as settings change.")
                       .arg(path);
    }
    settings_ = std::move(settings);
    settle_ = std::make_unique<QTimer>();
    settle_->setSingleShot(true);
    settle_->setInterval(SettleMs);
    QObject::connect(settle_.get(), &QTimer::timeout, [this] { flush(); });
}

BenchSettings::~BenchSettings()
{
    if (!settings_ || pending_.isEmpty())
        return;
    // Whoever was told of failures may be gone by now: said here.
    writeFailed_ = [](const QString& why) { std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(why)); };
    flush();
}

void BenchSettings::changed()
{
    // A spin box held down changes its value at every step: the file is
    // written once it settles.
    settle_->start();
}

bool BenchSettings::flush()
{
    if (!settings_)
        return true;
    settle_->stop();
    // Handed to QSettings only now: it writes the file at the next turn of
    // the event loop after any change it holds.
    // QSettings keeps an error for good, even one met reading: after a
    // failure, a fresh one for each try.
    if (failing_)
        reopen();
    const QVariantMap changes = std::exchange(pending_, {});
    for (auto change = changes.cbegin(); change != changes.cend(); ++change)
        settings_->setValue(change.key(), change.value());
    settings_->sync();
    if (settings_->status() == QSettings::NoError) {
        failing_ = false;
        return true;
    }
    // What could not be written is written at the next try, with whatever
    // came since.
    for (auto change = changes.cbegin(); change != changes.cend(); ++change)
        pending_.insert(change.key(), change.value());
    if (!failing_ && writeFailed_)
        writeFailed_(QStringLiteral("Settings are not saved: %1 cannot be written (its folder or the file is "
                                    "read-only, or the disk is full). Changes last until the program ends.")
                         .arg(settings_->fileName()));
    failing_ = true;
    return false;
}

QVariant BenchSettings::value(const QString& key, const QVariant& fallback) const
{
    if (const auto waiting = pending_.find(key); waiting != pending_.end())
        return *waiting;
    return settings_ && problem_.isEmpty() ? settings_->value(key, fallback) : fallback;
}

void BenchSettings::setValue(const QString& key, const QVariant& value)
{
    if (!settings_)
        return;
    startAfresh();
    if (this->value(key) == value)
        return;
    pending_.insert(key, value);
    changed();
}

std::vector<LimitSetting> BenchSettings::limits() const
{
    std::vector<LimitSetting> limits;
    for (const Poll::Reading reading : Poll::ListedOrder) {
        LimitSetting limit;
        limit.reading = reading;
        limit.low = bound(value(key(reading) + QStringLiteral("/low")), reading, false);
        limit.high = bound(value(key(reading) + QStringLiteral("/high")), reading, true);
        limit.on = value(key(reading) + QStringLiteral("/on"), false).toBool() && (limit.low || limit.high);
        limits.push_back(limit);
    }
    return limits;
}

void BenchSettings::setLimits(const std::vector<LimitSetting>& limits)
{
    if (!settings_)
        return;
    startAfresh();
    for (const LimitSetting& limit : limits) {
        const QString k = key(limit.reading);
        pending_.insert(k + QStringLiteral("/low"), limit.low ? QString::fromStdString(csvNumber(*limit.low)) : QString());
        pending_.insert(k + QStringLiteral("/high"),
                        limit.high ? QString::fromStdString(csvNumber(*limit.high)) : QString());
        pending_.insert(k + QStringLiteral("/on"), limit.on);
    }
    changed();
}

void BenchSettings::startAfresh()
{
    // A file that could not be used is rewritten from what is set from now
    // on, not merged with what it held.
    if (problem_.isEmpty())
        return;
    settings_->clear();
    settings_->sync();
    problem_.clear();
    // The damaged file's error stays with the object that read it.
    reopen();
}

void BenchSettings::reopen()
{
    const QString path = settings_->fileName();
    settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

std::vector<Limit> limitsOn(const std::vector<LimitSetting>& settings)
{
    std::vector<Limit> limits;
    for (const LimitSetting& setting : settings) {
        if (!setting.on)
            continue;
        if (setting.low)
            limits.push_back({setting.reading, false, *setting.low});
        if (setting.high)
            limits.push_back({setting.reading, true, *setting.high});
    }
    return limits;
}
