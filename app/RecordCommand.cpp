// record: the window's poll and CSV writer without the window, with the
// alarms of its limits beside the recording as the window writes them.
// Polls every 100 ms on this thread; the bus has nothing else to wait for.

#include "CommandSupport.h"
#include "Commands.h"
#include "session/AdapterFollower.h"
#include "session/QuitOnSignal.h"
#include "session/TickLedger.h"
#include "protocol/BusHealth.h"
#include "protocol/AddressGuard.h"
#include "recording/AlarmLog.h"
#include "recording/CsvRecorder.h"
#include "recording/LimitWatch.h"
#include "session/BenchSettings.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <csignal>
#include <ostream>

// Off unless asked for (QT_LOGGING_RULES="corvane.stats.info=true"): how
// many polls ran, said once at the end, for long unattended runs.
Q_LOGGING_CATEGORY(recordStatistics, "corvane.stats", QtWarningMsg)

namespace {

constexpr std::chrono::milliseconds PollInterval{100};

struct RecordRun {
    std::ostream& err;
    CorvaneProtocol& chip;
    std::uint8_t device;
    bool offsetCoded;
    CsvRecorder& recorder;
    LimitWatch limits;
    bool failing = false;    // the device does not answer now
    bool everFailed = false;
    bool diskFull = false;
    std::optional<int> stopStatus; // the file failed: recording cannot go on
    std::optional<std::chrono::steady_clock::time_point> deadline; // --duration
    // The limits as the window watches them, with its patience, and their
    // alarms beside the recording as the window writes them.
    AlarmWatch alarms{};
    std::unique_ptr<AlarmLog> alarmLog{};
    std::uint64_t polls = 0;
    TickLedger ticks{PollInterval};

    void logAlarm(const AlarmRow& row)
    {
        if (!alarmLog)
            return;
        if (auto problem = alarmLog->add(row))
            err << "corvane-bench: alarms are not recorded: " << *problem << "\n";
    }

    void pollOnce()
    {
        ++polls;
        const PollResult poll = chip.poll(device);
        if (auto problem = recorder.add(poll, offsetCoded)) {
            stopRecording(*problem);
            return;
        }
        for (const std::string& line : limits.check(poll, offsetCoded))
            err << line << "\n";
        if (alarmLog) {
            for (const AlarmWatch::Event& event : alarms.check(poll, offsetCoded))
                logAlarm(alarmRowOf(alarms, event));
        }
        if (poll.answered() == failing) {
            failing = !poll.answered();
            everFailed = everFailed || failing;
            err << isoUtcText(poll.time) << " device " << deviceText(device)
                << (failing ? " stopped answering: " + errorText(poll.outcome.error) : std::string(" answers again"))
                << "\n";
        }
        err.flush();
    }

    void tick()
    {
        // A deadline rather than a timer: a run of weeks outlasts what a
        // timer's interval can hold.
        if (deadline && std::chrono::steady_clock::now() >= *deadline) {
            QCoreApplication::quit();
            return;
        }
        ticks.came(std::chrono::steady_clock::now());
        pollOnce();
        if (stopStatus)
            return;
        if (auto problem = recorder.tick(std::chrono::steady_clock::now())) {
            stopRecording(*problem);
            return;
        }
        sayDiskFull();
        // Alarm rows a full disk held back: on every tick, so that they go
        // out as soon as there is room, not at the next alarm.
        if (alarmLog && alarmLog->waiting()) {
            if (auto problem = alarmLog->flush())
                err << "corvane-bench: alarms are not recorded: " << *problem << "\n";
        }
    }

    // A full disk costs rows, not the recording: said as it begins and as
    // it ends, with the time.
    void sayDiskFull()
    {
        const bool full = recorder.full().has_value();
        if (full == diskFull)
            return;
        diskFull = full;
        if (full)
            say(recorder.path() + ": the disk is full; rows are lost until there is room");
        else
            say(recorder.path() + ": there is room again; " + recorder.lossText());
    }

    // The file can take no more. A reader that went away (record - | head)
    // is how a pipe ends, as for any Unix tool: no complaint, and the run
    // ends as if its duration were up.
    void stopRecording(const std::string& problem)
    {
        if (recorder.readerGone())
            QCoreApplication::quit();
        else
            stop(complain(err, ExitStatus::BadCommandLine, "Recording stopped: " + problem));
    }

    void stop(int status)
    {
        stopStatus = status;
        QCoreApplication::quit();
    }

    // The adapter of the controller in use went or came back: said with the
    // time, as the window's status line says it. The polls meanwhile are
    // rows without readings; on its return start-up's reads run again.
    void follow(AdapterWatch& follower, BusAdapter& bus, int controller)
    {
        QObject::connect(&follower, &AdapterWatch::gone, &follower, [this, &bus, controller](int gone) {
            if (gone == controller)
                say(BusHealth::adapterGoneText(gone, bus.nameOfController(gone), std::chrono::system_clock::now()));
        });
        QObject::connect(&follower, &AdapterWatch::back, &follower, [this, &bus, controller](int back) {
            if (back != controller)
                return;
            say(BusHealth::adapterBackText(back, bus.nameOfController(back), std::chrono::system_clock::now()));
            const Startup again = chip.startUp(device, controller);
            if (again.settings.offsetCoded)
                offsetCoded = *again.settings.offsetCoded;
        });
        QObject::connect(&follower, &AdapterWatch::strangerChanged, &follower, [this, &follower](int c) {
            if (const auto& adapter = follower.stranger(c))
                say(BusHealth::strangerText(adapter->name, adapter->place, adapter->devicePath) +
                    ", not followed: name it with --smbus to record from it");
        });
    }

    void say(const std::string& text)
    {
        err << isoUtcText(std::chrono::system_clock::now()) << " " << text << "\n";
        err.flush();
    }
};

} // namespace

int runRecord(const CommandRequest& request, BusAdapter& bus, std::ostream& err)
{
    if (const auto why = readRefusal(request.device, request.force))
        return complain(err, ExitStatus::WriteNotTaken, *why);
    std::vector<Limit> limits = request.limits;
    if (request.limitsFromSettings) {
        const BenchSettings saved(BenchSettings::userFile());
        if (!saved.problem().isEmpty())
            err << "corvane-bench: " << saved.problem().toStdString() << "\n";
        for (const Limit& limit : limitsOn(saved.limits()))
            limits.push_back(limit);
    }
    CorvaneProtocol chip(bus);
    forcePastDrivers(bus, request.device, request);
    const Startup startup = chip.startUp(request.device, request.controller);
    if (!startup.answered || !startup.settings.complete()) {
        return unanswered(err, request.device, startup.controller, startup.controllerName,
                          startup.answered ? startup.settings.outcome : startup.outcome, false);
    }
    // An existing file is never replaced: a run's record is not lost to the next.
    auto started = request.path == QLatin1String("-")
                       ? CsvRecorder::toStandardOutput(request.interval)
                       : CsvRecorder::start(request.path.toStdString(), request.interval, false);
    if (const auto* why = std::get_if<std::string>(&started))
        return complain(err, ExitStatus::BadCommandLine, *why + ". Nothing was recorded.");
    CsvRecorder& recorder = *std::get<std::unique_ptr<CsvRecorder>>(started);

    RecordRun run{err, chip, request.device, *startup.settings.offsetCoded, recorder, LimitWatch(limits), false,
                  false, false, std::nullopt, std::nullopt};
    if (request.duration)
        run.deadline = std::chrono::steady_clock::now() + *request.duration;
    if (!limits.empty() && request.path != QLatin1String("-")) {
        run.alarms = AlarmWatch(limits);
        run.alarmLog = std::make_unique<AlarmLog>(request.path.toStdString());
    }
    // A reader that goes away (record - | head) ends the run through a
    // failed write, not a death by SIGPIPE before the last row is settled.
    std::signal(SIGPIPE, SIG_IGN);
    QObject scope;
    quitOnTerminationSignals(scope);
    std::string notFollowed;
    if (AdapterWatch* follower = followerFor(bus, scope, &notFollowed))
        run.follow(*follower, bus, startup.controller);
    else if (!notFollowed.empty())
        err << "corvane-bench: " << notFollowed << "\n";
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &scope, [&run] { run.tick(); });
    timer.start(PollInterval);
    // The first row at once, not a tick later.
    QTimer::singleShot(0, &scope, [&run] { run.tick(); });
    QCoreApplication::exec();
    timer.stop();
    // An alarm still on ends with the recording, marked so.
    for (const AlarmRow& row : activeAlarmRows(run.alarms, false, std::chrono::system_clock::now()))
        run.logAlarm(row);
    if (run.alarmLog && run.alarmLog->waiting())
        err << "corvane-bench: " << run.alarmLog->waiting()
            << " of the alarms' rows could not be written: the disk is still full.\n";

    qCInfo(recordStatistics, "%llu readings polls, %llu ticks never came: the program was stopped or held up",
           static_cast<unsigned long long>(run.polls), static_cast<unsigned long long>(run.ticks.missed()));
    if (run.stopStatus)
        return *run.stopStatus;
    if (auto problem = recorder.finish(); problem && !recorder.readerGone())
        return complain(err, ExitStatus::BadCommandLine, "Recording stopped: " + *problem);
    if (request.path != QLatin1String("-"))
        err << "Recorded " << recorder.rows() << " rows to " << recorder.path()
            << (recorder.lostRows() ? "; " + recorder.lossText() : std::string()) << ".\n";
    if (run.limits.everPassed())
        return ExitStatus::LimitPassed;
    return run.everFailed ? ExitStatus::NoAnswer : ExitStatus::Ok;
}
