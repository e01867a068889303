// corvane-bench serve: the chip's readings for a monitoring engine to
// scrape. A module of its own, loaded only by this command, so the
// exporter's libraries cost the window and the other commands nothing.
//
// The bus is read on the exporter's own cadence, on the protocol's bus
// thread; a scrape returns the last poll and sends nothing to the bus, so
// ten scrapers cost the chip no more than one. Nothing here writes.

#include "ExporterMetrics.h"
#include "ServeOptions.h"
#include "protocol/ExitStatus.h"
#include "session/QuitOnSignal.h"
#include "chip/RegisterMap.h"
#include "protocol/AddressGuard.h"
#include "protocol/BusThread.h"
#include "protocol/BusHealth.h"
#include "session/AdapterFollower.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <cstdlib>
#include <prometheus/exposer.h>

namespace rm = RegisterMap;

namespace {

// How long leaving waits for a transaction stuck in the kernel.
constexpr std::chrono::milliseconds BusStopLimit{1000};

class Exporter {
public:
    Exporter(const ServeOptions& options, BusAdapter& bus) : options_(options), jobs_(bus)
    {
        quitOnTerminationSignals(scope_);
    }

    // Start-up's reads, as the window's: where the chip answers, and its
    // temperature coding. Waited for, since nothing may listen before it is
    // known whether the device may be read at all; nothing when a signal
    // ended the run meanwhile.
    std::optional<Startup> startUp()
    {
        std::optional<Startup> result;
        QEventLoop waiting;
        const std::uint8_t device = options_.device;
        const std::optional<int> controller = options_.controller;
        jobs_.run([device, controller](CorvaneProtocol& chip) { return chip.startUp(device, controller); }, &scope_,
                  [&](const Startup& startup) {
                      result = startup;
                      waiting.quit();
                  });
        waiting.exec();
        return result;
    }

    // Serves what the polls read from here on. The bus thread polls and sets
    // the metrics itself: a poll wakes no other thread.
    void serve(prometheus::Exposer& exposer, const Startup& startup)
    {
        registry_ = std::make_shared<prometheus::Registry>();
        metrics_ = std::make_unique<ExporterMetrics>(
            *registry_, ExporterMetrics::Origin{options_.device, startup.controller, startup.controllerName});
        exposer.RegisterCollectable(registry_);
        offsetCoded_ = startup.settings.offsetCoded;
        jobs_.repeat(options_.interval, [this](CorvaneProtocol& chip) { poll(chip); });
    }

    // Ends the bus thread; false when a transaction is still stuck in the kernel.
    bool stop() { return jobs_.stop(BusStopLimit); }

    // The adapters followed as they go and come: while the controller's is
    // gone the polls read nothing and corvane_up is 0; on its return
    // start-up's reads run again, before the next poll.
    void follow(BusAdapter& bus, int controller)
    {
        std::string why;
        AdapterWatch* follower = followerFor(bus, scope_, &why);
        if (!follower) {
            if (!why.empty())
                std::fprintf(stderr, "corvane-bench: %s\n", why.c_str());
            return;
        }
        QObject::connect(follower, &AdapterWatch::gone, &scope_, [&bus, controller](int gone) {
            if (gone == controller)
                say(BusHealth::adapterGoneText(gone, bus.nameOfController(gone), std::chrono::system_clock::now()));
        });
        QObject::connect(follower, &AdapterWatch::back, &scope_, [this, &bus, controller](int back) {
            if (back != controller)
                return;
            say(BusHealth::adapterBackText(back, bus.nameOfController(back), std::chrono::system_clock::now()));
            const std::uint8_t device = options_.device;
            jobs_.run(
                [this, device, controller](CorvaneProtocol& chip) {
                    const Startup again = chip.startUp(device, controller);
                    if (again.settings.offsetCoded)
                        offsetCoded_ = again.settings.offsetCoded;
                    return again.answered;
                },
                &scope_, [](bool) {});
        });
        QObject::connect(follower, &AdapterWatch::strangerChanged, &scope_, [follower](int c) {
            if (const auto& adapter = follower->stranger(c))
                say(BusHealth::strangerText(adapter->name, adapter->place, adapter->devicePath) +
                    ", not followed: name it with --smbus to serve its readings");
        });
    }

private:
    static void say(const std::string& text) { std::fprintf(stderr, "corvane-bench: %s\n", text.c_str()); }

    // On the bus thread.
    void poll(CorvaneProtocol& chip)
    {
        const std::uint8_t device = options_.device;
        const PollResult readings = chip.poll(device);
        // The coding, while start-up could not read it, and the behaviour:
        // one register each, and none from a chip that did not answer.
        if (!offsetCoded_ && readings.answered()) {
            const ByteRead coding = chip.readRegister(device, rm::TemperatureCoding);
            if (coding.ok())
                offsetCoded_ = rm::offsetCoded(coding.value);
        }
        const ByteRead configuration =
            readings.answered() ? chip.readRegister(device, rm::Pwm1Configuration) : NotRead;
        const std::optional<int> behaviour =
            configuration.ok() ? std::optional<int>(rm::behaviour(configuration.value)) : std::nullopt;
        metrics_->showPoll(readings, offsetCoded_, behaviour);
    }

    const ServeOptions options_;
    QObject scope_;
    std::shared_ptr<prometheus::Registry> registry_;
    std::unique_ptr<ExporterMetrics> metrics_;
    std::optional<bool> offsetCoded_; // set before the polls start, then only on the bus thread
    // Last, so it is ended first: its polls use everything above.
    BusThread jobs_;
};

} // namespace

extern "C" Q_DECL_EXPORT int corvaneServe(const ServeOptions& options, BusAdapter& bus, std::string* error)
{
    auto exporter = std::make_unique<Exporter>(options, bus);
    const std::optional<Startup> startup = exporter->startUp();
    if (!startup) {
        // Ended by a signal before it served; a transaction stuck in the
        // kernel is not waited for beyond its limit.
        exporter->stop();
        std::fflush(nullptr);
        std::_Exit(ExitStatus::Ok);
    }
    // Nothing was sent: as the other commands, refused without --force, and
    // before anything listens, so a service manager never sees it serve.
    if (startup->outcome.heldBackByDriver()) {
        exporter->stop();
        *error = heldBackText(options.device, startup->controller, startup->outcome.driver, false);
        return ExitStatus::ofUnanswered(startup->outcome);
    }
    std::unique_ptr<prometheus::Exposer> exposer;
    try {
        exposer = std::make_unique<prometheus::Exposer>(options.listen, 2);
    } catch (const std::exception&) {
        exporter->stop();
        *error = "cannot listen on " + options.listen + ": the address is not this machine's, or the port is in use.";
        return ExitStatus::BadCommandLine;
    }
    exporter->serve(*exposer, *startup);
    exporter->follow(bus, startup->controller);
    std::fprintf(stderr, "corvane-bench: serving /metrics on %s\n", options.listen.c_str());
    const int status = QCoreApplication::exec();
    // The bus thread is let finish its transaction, for up to a second.
    // The web server's threads are not waited for: they take up to two
    // seconds to notice they are to stop, and a signal's end is within one
    // and a half. Nothing of the exporter's needs saving.
    exporter->stop();
    std::fflush(nullptr);
    std::_Exit(status);
}
