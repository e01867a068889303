#include "Commands.h"

#include "CommandSupport.h"
#include "chip/RegisterMap.h"
#include "protocol/ScanText.h"
#include "protocol/Snapshot.h"
#include "protocol/BusHealth.h"
#include "protocol/WriteGuard.h"
#include "recording/CsvRecorder.h"

#include <QCoreApplication>
#include <QFile>
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
    // Where the device answers a read of reg; complains when nowhere.
    std::optional<Located> locate(std::uint8_t reg);
    // Start-up's reads where the device answers; complains when it does not.
    std::optional<Startup> startUp();
    int noAnswer(const BusOutcome& outcome)
    {
        return complain(err_, ExitStatus::NoAnswer, noAnswerText(device_, controller_, chip_.controllerName(), outcome));
    }
    int refused(const std::string& why) { return complain(err_, ExitStatus::WriteNotTaken, why); }
    // A setting list's read-modify-write; the failure's status, if it failed.
    std::optional<int> change(Setting setting, int k);

    const CommandRequest& request_;
    BusAdapter& bus_;
    CorvaneProtocol chip_;
    std::ostream& out_;
    std::ostream& err_;
    std::uint8_t device_;
    int controller_ = 1; // where the device answered, once it has
};

std::optional<Located> CommandRun::locate(std::uint8_t reg)
{
    Located located = chip_.locate(device_, reg, request_.controller);
    controller_ = located.controller;
    if (!located.answered()) {
        noAnswer(located.read);
        return std::nullopt;
    }
    return located;
}

std::optional<Startup> CommandRun::startUp()
{
    Startup startup = chip_.startUp(device_, request_.controller);
    controller_ = startup.controller;
    if (!startup.answered || !startup.settings.complete()) {
        noAnswer(startup.answered ? startup.settings.outcome : startup.outcome);
        return std::nullopt;
    }
    return startup;
}

int CommandRun::read()
{
    const auto startup = startUp();
    if (!startup)
        return ExitStatus::NoAnswer;
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
    const auto located = locate(0x00);
    if (!located)
        return ExitStatus::NoAnswer;
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
                        "SMBus Controller " + std::to_string(controller + 1) + " (" + chip_.controllerName() +
                            ") cannot be scanned: " + errorText(probe.error) + ".");
    err_ << "Scanned SMBus Controller " << controller + 1 << " (" << chip_.controllerName() << ").\n";
    out_ << busScanText(chip_.scan());
    return ExitStatus::Ok;
}

int CommandRun::get()
{
    const auto located = locate(request_.reg);
    if (!located)
        return ExitStatus::NoAnswer;
    out_ << hexByte(located->read.value) << "\n";
    return ExitStatus::Ok;
}

int CommandRun::set()
{
    if (const auto why = addressRefusal(device_, request_.force))
        return refused(*why);
    // A read first: it finds the controller without writing anywhere else.
    const auto located = locate(request_.reg);
    if (!located)
        return ExitStatus::NoAnswer;
    if (const auto why = driverRefusal(bus_, device_, request_.force))
        return refused(*why);
    const CheckedWrite write = chip_.writeAndReadBack(device_, request_.reg, request_.value);
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
    if (!change.write->ok())
        return refused(writeFailureText(device_, change.reg, *change.write));
    return std::nullopt;
}

int CommandRun::pwm()
{
    const PwmChange& wanted = request_.pwm;
    const bool writes = wanted.behaviour || wanted.frequency || wanted.pulses || wanted.dutyByte;
    if (writes) {
        if (const auto why = addressRefusal(device_, request_.force))
            return refused(*why);
    }
    const auto startup = startUp();
    if (!startup)
        return ExitStatus::NoAnswer;
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
    QFile file(request_.path);
    if (!file.open(QIODevice::ReadOnly))
        return complain(err_, ExitStatus::BadCommandLine,
                        "Cannot read " + request_.path.toStdString() + ": " + file.errorString().toStdString() + ".");
    const std::string text = file.readAll().toStdString();
    std::string why;
    const auto snapshot = parseRegisterGrid(text, &why);
    if (!snapshot)
        return complain(err_, ExitStatus::BadCommandLine, request_.path.toStdString() + ": " + why);
    // The snapshot says which device it is of; --device must not contradict it.
    if (const auto device = snapshotDeviceIn(text)) {
        if (request_.deviceGiven && *device != device_)
            return complain(err_, ExitStatus::BadCommandLine,
                            "The snapshot is of device " + deviceText(*device) + ", not " + deviceText(device_) +
                                ". Nothing was written.");
        device_ = *device;
    }
    if (const auto why = addressRefusal(device_, request_.force))
        return refused(*why);
    const auto located = locate(0x00);
    if (!located)
        return ExitStatus::NoAnswer;
    if (const auto why = driverRefusal(bus_, device_, request_.force))
        return refused(*why);
    const RegisterSweep live = chip_.sweep(device_);
    if (live.failed.all())
        return noAnswer(live.outcome);
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
    for (const RegisterDifference& d : found) {
        const std::string reg = deviceText(d.reg);
        if (!d.tickedByDefault || (d.reg == rm::Pwm1Duty && dutyIsTheChips)) {
            out_ << reg << ": left at " << hexByte(d.live) << " (snapshot " << hexByte(d.snapshot) << "): "
                 << (d.tickedByDefault ? "the chip sets the duty outside Manual Mode" : "the chip measures it itself")
                 << "\n";
            continue;
        }
        const CheckedWrite write = chip_.writeAndReadBack(device_, d.reg, d.snapshot);
        ++written;
        if (write.took()) {
            out_ << reg << ": " << hexByte(d.live) << " to " << hexByte(d.snapshot) << "\n";
            continue;
        }
        status = ExitStatus::WriteNotTaken;
        if (!write.write.ok())
            out_ << reg << ": not written: " << writeFailureText(device_, d.reg, write.write) << "\n";
        else
            out_ << reg << ": did not take: " << (write.readBack.ok() ? "reads " + hexByte(write.readBack.value) : std::string("its read-back failed"))
                 << ", wanted " << hexByte(d.snapshot) << "\n";
    }
    if (written == 0 && status == ExitStatus::Ok)
        out_ << "Every register the program writes already holds the snapshot's value.\n";
    return status;
}

} // namespace

int runCommand(const CommandRequest& request, BusAdapter& bus, std::ostream& out, std::ostream& err)
{
    CommandRun run(request, bus, out, err);
    switch (request.command) {
    case Command::Read: return run.read();
    case Command::Record: return runRecord(request, bus, err);
    case Command::Dump: return run.dump();
    case Command::Scan: return run.scan();
    case Command::Get: return run.get();
    case Command::Set: return run.set();
    case Command::Pwm: return run.pwm();
    case Command::Restore: break;
    }
    return run.restore();
}
