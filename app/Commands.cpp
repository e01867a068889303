#include "Commands.h"

#include "CommandSupport.h"
#include "chip/RegisterMap.h"
#include "protocol/ScanText.h"
#include "protocol/Snapshot.h"
#include "protocol/SnapshotFile.h"
#include "protocol/BusHealth.h"
#include "protocol/AddressGuard.h"
#include "recording/CsvRecorder.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ostream>

namespace rm = RegisterMap;

namespace {

std::string hexByte(std::uint8_t value)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

class CommandRun {
public:
    CommandRun(const CommandRequest& request, BusAdapter& bus, std::ostream& out, std::ostream& err)
        : request_(request), bus_(bus), chip_(bus), out_(out), err_(err), device_(request.device)
    {
    }

    int read();
    int dump();
    int scan();
    int get();
    int set();
    int pwm();
    int restore();

private:
    // Where the device answers a read of reg; complains when nowhere, and
    // keeps the status in failed_.
    std::optional<Located> locate(std::uint8_t reg);
    // Start-up's reads where the device answers; complains when it does not.
    std::optional<Startup> startUp();
    // Complains that the device was not found, or was not read for a kernel
    // driver's sake; the status.
    int notFound(const BusOutcome& outcome);
    int noAnswer(const BusOutcome& outcome)
    {
        return complain(err_, ExitStatus::NoAnswer, noAnswerText(device_, controller_, chip_.controllerName(), outcome));
    }
    int refused(const std::string& why) { return complain(err_, ExitStatus::WriteNotTaken, why); }
    // Where a read's write phase is a command: refused before any traffic,
    // unless --force.
    std::optional<int> readRefused()
    {
        if (const auto why = readRefusal(device_, request_.force))
            return refused(*why);
        return std::nullopt;
    }
    // A write went out, whatever became of it: the command's last line
    // says where (JSON names the controller itself).
    void wrote(const BusOutcome& write) { wrote_ = wrote_ || write.ok(); }

public:
    // "Written to device 0x2E on SMBus Controller 2 (the simulated SMBus).", once
    // any write went out, so a script sees where its writes landed even
    // when a later one failed.
    void sayWhereWritten()
    {
        if (wrote_ && !request_.json)
            out_ << "Written to device " << deviceText(device_) << " on "
                 << controllerText(controller_, chip_.controllerName()) << ".\n";
    }

private:
    // A setting list's read-modify-write; the failure's status, if it failed.
    std::optional<int> change(Setting setting, int k);

    const CommandRequest& request_;
    BusAdapter& bus_;
    CorvaneProtocol chip_;
    std::ostream& out_;
    std::ostream& err_;
    std::uint8_t device_;
    int controller_ = 1; // where the device answered, once it has
    bool wrote_ = false;
    bool writes_ = false; // the command is to write to the device
    int failed_ = ExitStatus::NoAnswer; // why locate() or startUp() found nothing
};

std::optional<Located> CommandRun::locate(std::uint8_t reg)
{
    forcePastDrivers(bus_, device_, request_);
    Located located = chip_.locate(device_, reg, request_.controller);
    controller_ = located.controller;
    if (!located.answered()) {
        failed_ = notFound(located.read);
        return std::nullopt;
    }
    return located;
}

std::optional<Startup> CommandRun::startUp()
{
    forcePastDrivers(bus_, device_, request_);
    Startup startup = chip_.startUp(device_, request_.controller);
    controller_ = startup.controller;
    if (!startup.answered || !startup.settings.complete()) {
        failed_ = notFound(startup.answered ? startup.settings.outcome : startup.outcome);
        return std::nullopt;
    }
    return startup;
}

int CommandRun::notFound(const BusOutcome& outcome)
{
    // ENODEV is also some drivers' word for silence: the adapter is gone
    // only where sysfs no longer has it.
    if (outcome.error == ENODEV && bus_.adapterGone(controller_))
        return complain(err_, ExitStatus::BadCommandLine,
                        controllerText(controller_, chip_.controllerName()) +
                            " is gone: its adapter was removed. Plug it in again, then run the command again.");
    return unanswered(err_, device_, controller_, chip_.controllerName(), outcome, writes_);
}

int CommandRun::read()
{
    if (const auto status = readRefused())
        return *status;
    const auto startup = startUp();
    if (!startup)
        return failed_;
    const PollResult poll = chip_.poll(device_);
    if (request_.json)
        out_ << jsonText(readingsJson(originOf(request_, startup->controller, startup->controllerName), poll,
                                      startup->settings));
    else
        out_ << readingsText(poll, startup->settings);
    if (!poll.answered())
        return noAnswer(poll.outcome);
    return ExitStatus::Ok;
}

int CommandRun::dump()
{
    if (const auto status = readRefused())
        return *status;
    const auto located = locate(0x00);
    if (!located)
        return failed_;
    const RegisterSweep sweep = chip_.sweep(device_);
    const SnapshotHeader header{QCoreApplication::applicationVersion().toStdString(), chip_.controllerName(), device_,
                                isoUtcText(std::chrono::system_clock::now())};
    out_ << snapshotText(header, sweep.values, sweep.failed);
    // Registers a device does not implement may refuse a read: they show
    // as XX, as i2cdump shows them, and only a silent device is a failure.
    return sweep.failed.all() ? noAnswer(sweep.outcome) : ExitStatus::Ok;
}

int CommandRun::scan()
{
    int controller = scanController(request_);
    chip_.selectController(controller);
    // 0x08 is the scan's first probe anyway: whether the controller is there.
    BusOutcome probe = bus_.ReceiveByte(BusScan::First);
    if (probe.error == ENODEV && controller == 1 && !request_.controller) {
        controller = 0; // one controller only, as on many PCs
        chip_.selectController(controller);
        probe = bus_.ReceiveByte(BusScan::First);
    }
    if (probe.error == ENODEV || probe.error == EACCES || probe.error == EPERM || probe.error == ECANCELED)
        return complain(err_, ExitStatus::BadCommandLine,
                        controllerText(controller, chip_.controllerName()) +
                            " cannot be scanned: " + errorText(probe.error) + ".");
    err_ << "Scanned " << controllerText(controller, chip_.controllerName()) << ".\n";
    out_ << busScanText(chip_.scan());
    return ExitStatus::Ok;
}

int CommandRun::get()
{
    if (const auto status = readRefused())
        return *status;
    const auto located = locate(request_.reg);
    if (!located)
        return failed_;
    out_ << hexByte(located->read.value) << "\n";
    return ExitStatus::Ok;
}

int CommandRun::set()
{
    writes_ = true;
    if (const auto why = addressRefusal(device_, request_.force))
        return refused(*why);
    // A read first: it finds the controller without writing anywhere else.
    const auto located = locate(request_.reg);
    if (!located)
        return failed_;
    if (const auto why = driverRefusal(bus_, device_, request_.force))
        return refused(*why);
    const CheckedWrite write = chip_.writeAndReadBack(device_, request_.reg, request_.value);
    wrote(write.write);
    if (!write.write.ok())
        return refused(writeFailureText(device_, request_.reg, write.write));
    if (!write.readBack.ok()) {
        err_ << "corvane-bench: the write of " << hexByte(request_.value) << " went out, but reading it back failed.\n";
        return noAnswer(write.readBack);
    }
    out_ << hexByte(write.readBack.value) << "\n";
    if (!write.took())
        return refused("Register " + deviceText(request_.reg) + " reads " + hexByte(write.readBack.value) +
                       " after the write of " + hexByte(request_.value) + ": the write did not take.");
    return ExitStatus::Ok;
}

std::optional<int> CommandRun::change(Setting setting, int k)
{
    const SettingChange change = chip_.changeSetting(setting, device_, k);
    if (!change.read.ok())
        return noAnswer(change.read);
    wrote(*change.write);
    if (!change.write->ok())
        return refused(writeFailureText(device_, change.reg, *change.write));
    return std::nullopt;
}

int CommandRun::pwm()
{
    const PwmChange& wanted = request_.pwm;
    const bool writes = wanted.behaviour || wanted.frequency || wanted.pulses || wanted.dutyByte;
    writes_ = writes;
    if (writes) {
        if (const auto why = addressRefusal(device_, request_.force))
            return refused(*why);
    } else if (const auto status = readRefused()) {
        return *status;
    }
    const auto startup = startUp();
    if (!startup)
        return failed_;
    if (writes) {
        if (const auto why = driverRefusal(bus_, device_, request_.force))
            return refused(*why);
    }
    // The duty is the chip's own outside Manual Mode: refused before
    // anything is written, so a half-done change never happens.
    if (wanted.dutyByte && !wanted.behaviour && startup->settings.behaviour != rm::ManualBehaviour)
        return refused("The duty is written only in Manual Mode, and PWM1 is in \"" +
                       std::string(rm::BehaviourEntries[static_cast<std::size_t>(*startup->settings.behaviour)]) +
                       "\". Nothing was written; add --behaviour manual.");
    const std::pair<Setting, std::optional<int>> changes[] = {
        {Setting::Behaviour, wanted.behaviour}, {Setting::Frequency, wanted.frequency}, {Setting::Pulses, wanted.pulses}};
    for (const auto& [setting, k] : changes) {
        if (!k)
            continue;
        if (const auto status = change(setting, *k))
            return *status;
    }
    std::optional<CheckedWrite> duty;
    if (wanted.dutyByte) {
        duty = chip_.writeAndReadBack(device_, rm::Pwm1Duty, *wanted.dutyByte);
        wrote(duty->write);
        if (!duty->write.ok())
            return refused(writeFailureText(device_, rm::Pwm1Duty, duty->write));
    }
    const ChipSettings after = chip_.readSettings(device_);
    if (!after.complete())
        return noAnswer(after.outcome);
    if (request_.json)
        out_ << jsonText(settingsJson(originOf(request_, startup->controller, startup->controllerName), after));
    else
        out_ << settingsText(after);
    for (const auto& [setting, k] : changes) {
        const std::optional<int>& now = setting == Setting::Behaviour   ? after.behaviour
                                        : setting == Setting::Frequency ? after.frequency
                                                                        : after.pulses;
        if (k && now != k)
            return refused("Register " + deviceText(settingRegister(setting)) + " did not take the change.");
    }
    if (duty && !duty->readBack.ok())
        return noAnswer(duty->readBack);
    if (duty && !duty->took())
        return refused("The duty register 0x30 reads " + hexByte(duty->readBack.value) + " after the write of " +
                       hexByte(duty->wanted) + ": the write did not take.");
    return ExitStatus::Ok;
}

int CommandRun::restore()
{
    const SnapshotFileText file = readSnapshotFile(request_.path.toStdString());
    if (!file.ok())
        return complain(err_, ExitStatus::BadCommandLine, file.error);
    std::string why;
    const auto snapshot = parseRegisterGrid(file.text, &why);
    if (!snapshot)
        return complain(err_, ExitStatus::BadCommandLine, request_.path.toStdString() + ": " + why);
    writes_ = true;
    // The snapshot's own device unless --device names one.
    if (snapshot->device && !request_.deviceGiven)
        device_ = *snapshot->device;
    // Refused whole, before anything is written; the summary says so too.
    const auto refusedWhole = [&](const std::string& why) {
        out_ << "The snapshot held " << snapshot->count() << " registers; 0 written.\n";
        return refused(why);
    };
    if (snapshot->device && *snapshot->device != device_ && !request_.force)
        return refusedWhole(snapshotMismatch(*snapshot, device_, {}, {}).value_or("") +
                            " Nothing was written; give --force to restore it all the same.");
    if (const auto why = addressRefusal(device_, request_.force))
        return refused(*why);
    const auto located = locate(0x00);
    if (!located)
        return failed_;
    if (const auto why = driverRefusal(bus_, device_, request_.force))
        return refused(*why);
    const RegisterSweep live = chip_.sweep(device_);
    if (live.failed.all())
        return noAnswer(live.outcome);
    // i2cdump's output names no device: only this chip's own is restored,
    // whatever --force says, as in the window.
    if (!snapshot->device) {
        if (const auto mismatch = snapshotMismatch(*snapshot, device_, live.values, live.failed))
            return refusedWhole(*mismatch + " Nothing was written.");
    }
    int status = ExitStatus::Ok;
    // A register the snapshot holds but the live read missed cannot be
    // compared: said, never passed over.
    for (int reg = 0; reg < 256; ++reg) {
        const auto r = static_cast<std::size_t>(reg);
        if (snapshot->present[r] && !snapshot->failed[r] && live.failed[r]) {
            out_ << deviceText(static_cast<std::uint8_t>(reg)) << ": not compared: its read failed\n";
            status = ExitStatus::NoAnswer;
        }
    }
    std::vector<RegisterDifference> found = differences(*snapshot, live.values, live.failed);
    // The behaviour first: the chip takes a duty only in Manual Mode.
    std::stable_partition(found.begin(), found.end(),
                          [](const RegisterDifference& d) { return d.reg == rm::Pwm1Configuration; });
    const std::uint8_t snapshotConfiguration =
        snapshot->present[rm::Pwm1Configuration] ? snapshot->values[rm::Pwm1Configuration] : live.values[rm::Pwm1Configuration];
    const bool dutyIsTheChips = rm::behaviour(snapshotConfiguration) != rm::ManualBehaviour;
    int written = 0;
    std::vector<std::string> untaken;
    for (const RegisterDifference& d : found) {
        const std::string reg = deviceText(d.reg);
        const std::string leftAt = reg + ": left at " + hexByte(d.live) + " (snapshot " + hexByte(d.snapshot) + "): ";
        if (d.kind == RegisterDifference::Kind::Measurement) {
            out_ << leftAt << "the chip measures it itself\n";
            continue;
        }
        if (d.kind == RegisterDifference::Kind::Unknown && !request_.all) {
            out_ << leftAt << "not written: not a known setting\n";
            continue;
        }
        if (d.reg == rm::Pwm1Duty && dutyIsTheChips) {
            out_ << leftAt << "the chip sets the duty outside Manual Mode\n";
            continue;
        }
        const CheckedWrite write = chip_.writeAndReadBack(device_, d.reg, d.snapshot);
        wrote(write.write);
        if (write.write.ok())
            ++written;
        if (write.took()) {
            out_ << reg << ": " << hexByte(d.live) << " to " << hexByte(d.snapshot) << "\n";
            continue;
        }
        status = ExitStatus::WriteNotTaken;
        untaken.push_back(reg);
        if (!write.write.ok())
            out_ << reg << ": not written: " << writeFailureText(device_, d.reg, write.write) << "\n";
        else
            out_ << reg << ": did not take: " << (write.readBack.ok() ? "reads " + hexByte(write.readBack.value) : std::string("its read-back failed"))
                 << ", wanted " << hexByte(d.snapshot) << "\n";
    }
    out_ << "The snapshot held " << snapshot->count() << " registers; " << written << " written";
    if (untaken.empty()) {
        out_ << (written > 0 ? ", and every one took its value.\n" : ".\n");
    } else {
        out_ << "; did not take:";
        for (const std::string& reg : untaken)
            out_ << " " << reg;
        out_ << ".\n";
    }
    return status;
}

} // namespace

int runCommand(const CommandRequest& request, BusAdapter& bus, std::ostream& out, std::ostream& err)
{
    CommandRun run(request, bus, out, err);
    const auto status = [&] {
        switch (request.command) {
        case Command::Read: return run.read();
        case Command::Record: return runRecord(request, bus, err);
        case Command::Dump: return run.dump();
        case Command::Scan: return run.scan();
        case Command::Get: return run.get();
        case Command::Set: return run.set();
        case Command::Pwm: return run.pwm();
        case Command::Serve: return runServe(request, bus, err);
        case Command::Report: return runReport(request, out, err);
        case Command::Restore: break;
        }
        return run.restore();
    }();
    run.sayWhereWritten();
    return status;
}
