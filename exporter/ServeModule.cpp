// corvane-bench serve: the chip's readings for a monitoring engine to
// scrape. A module of its own, loaded only by this command, so the
// exporter's libraries cost the window and the other commands nothing.
//
// The bus is read on the exporter's own cadence, on the protocol's bus
// thread; a scrape returns the last poll and sends nothing to the bus, so
// ten scrapers cost the chip no more than one. Nothing here writes.

#include "ExporterMetrics.h"
#include "ServeOptions.h"
#include "app/ExitStatus.h"
#include "app/QuitOnSignal.h"
#include "chip/RegisterMap.h"
#include "protocol/AddressGuard.h"
#include "protocol/BusThread.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <prometheus/exposer.h>

namespace rm = RegisterMap;

namespace {

// How long leaving waits for a transaction stuck in the kernel.
constexpr std::chrono::milliseconds BusStopLimit{1000};

class Exporter {
public:
    Exporter(const ServeOptions& options, BusAdapter& bus, prometheus::Exposer& exposer)
        : options_(options), registry_(std::make_shared<prometheus::Registry>()), jobs_(bus)
    {
        exposer.RegisterCollectable(registry_);
        const std::uint8_t device = options.device;
        const std::optional<int> controller = options.controller;
        // Start-up's reads, as the window's: where the chip answers, and its
        // temperature coding.
        jobs_.run([device, controller](CorvaneProtocol& chip) { return chip.startUp(device, controller); }, &scope_,
                  [this](const Startup& startup) {
                      // Nothing was sent: as the other commands, refused
                      // without --force, and at once rather than served
                      // as a device that never answers.
                      if (startup.outcome.heldBackByDriver()) {
                          refusal_ = readBehindDriverText(options_.device, startup.controller, startup.outcome.driver) +
                                     " Nothing was sent; give --force to read it all the same.";
                          QCoreApplication::exit(ExitStatus::WriteNotTaken);
                          return;
                      }
                      metrics_ = std::make_unique<ExporterMetrics>(
                          *registry_, ExporterMetrics::Origin{options_.device, startup.controller, startup.controllerName});
                      offsetCoded_ = startup.settings.offsetCoded;
                      // From here on the bus thread polls and sets the
                      // metrics itself: a poll wakes no other thread.
                      jobs_.repeat(options_.interval, [this](CorvaneProtocol& chip) { poll(chip); });
                  });
        quitOnTerminationSignals(scope_);
    }

    // Ends the bus thread; false when a transaction is still stuck in the kernel.
    bool stop() { return jobs_.stop(BusStopLimit); }
    // Why start-up ended the run, when a kernel driver owns the device.
    const std::string& refusal() const { return refusal_; }

private:
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
        metrics_->showPoll(readings, offsetCoded_.value_or(false), behaviour);
    }

    const ServeOptions options_;
    QObject scope_;
    std::shared_ptr<prometheus::Registry> registry_;
    std::unique_ptr<ExporterMetrics> metrics_;
    std::optional<bool> offsetCoded_; // set before the polls start, then only on the bus thread
    std::string refusal_;
    // Last, so it is ended first: its polls use everything above.
    BusThread jobs_;
};

} // namespace

extern "C" Q_DECL_EXPORT int corvaneServe(const ServeOptions& options, BusAdapter& bus, std::string* error)
{
    // Listening first: a port in use or an address that is none is a bad
    // command line, said before anything goes to the bus.
    std::unique_ptr<prometheus::Exposer> exposer;
    try {
        exposer = std::make_unique<prometheus::Exposer>(options.listen, 2);
    } catch (const std::exception&) {
        *error = "cannot listen on " + options.listen + ": the address is not this machine's, or the port is in use.";
        return ExitStatus::BadCommandLine;
    }
    auto exporter = std::make_unique<Exporter>(options, bus, *exposer);
    std::fprintf(stderr, "corvane-bench: serving /metrics on %s\n", options.listen.c_str());
    const int status = QCoreApplication::exec();
    // The bus thread is let finish its transaction, for up to a second.
    // The web server's threads are not waited for: they take up to two
    // seconds to notice they are to stop, and a signal's end is within one
    // and a half. Nothing of the exporter's needs saving.
    exporter->stop();
    if (!exporter->refusal().empty())
        std::fprintf(stderr, "corvane-bench: %s\n", exporter->refusal().c_str());
    std::fflush(nullptr);
    std::_Exit(status);
}
