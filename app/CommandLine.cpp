#include "CommandLine.h"

#include "bus/FaultyBus.h"
#include "chip/DurationText.h"
#include "chip/RegisterMap.h"
#include "protocol/CorvaneProtocol.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace rm = RegisterMap;

namespace {

EarlyExit badCommandLine(const QString& why)
{
    return {BadCommandLineStatus, QStringLiteral("corvane-bench: %1\nTry 'corvane-bench --help'.\n").arg(why)};
}

struct CommandInfo {
    Command command;
    const char* name;
    const char* arguments; // as the help shows them
    int argumentCount;
};

constexpr CommandInfo Commands[] = {
    {Command::Read, "read", "", 0},
    {Command::Record, "record", "FILE|-", 1},
    {Command::Dump, "dump", "", 0},
    {Command::Scan, "scan", "", 0},
    {Command::Get, "get", "REG", 1},
    {Command::Set, "set", "REG VALUE", 2},
    {Command::Pwm, "pwm", "", 0},
    {Command::Restore, "restore", "FILE|-", 1},
    {Command::Serve, "serve", "", 0},
    {Command::Report, "report", "RECORDING.csv", 1},
};

const QString HelpEpilogue = QStringLiteral(
    "\nCommands (none opens a window or needs a display):\n"
    "  read                 one set of readings and the PWM1 settings; --json for JSON\n"
    "  record FILE|-        record the readings as CSV until --duration, SIGINT or SIGTERM;\n"
    "                       --interval, --limit KEY<=VALUE or KEY>=VALUE\n"
    "  dump                 all 256 registers, in the snapshot format\n"
    "  scan                 the bus scan, in i2cdetect's layout\n"
    "  get REG              one register, as two hex digits\n"
    "  set REG VALUE        write one register, then print what it reads back\n"
    "  pwm                  --behaviour, --frequency, --pulses, --duty; prints the settings\n"
    "  restore FILE|-       write the settings that differ from a snapshot, read them back;\n"
    "                       --all for every register that is not a measurement\n"
    "  serve                /metrics for a monitoring engine to scrape, polling every\n"
    "                       --interval (1s); --listen ADDR:PORT (127.0.0.1:10127)\n"
    "REG, VALUE and --device are hex, with or without 0x. Reads of 0x00-0x07, 0x30-0x37\n"
    "or 0x78-0x7F, writes there or to 0x50-0x57, and reads or writes of a device a kernel\n"
    "driver owns (see /sys/bus/i2c/devices/N-00AA/driver), are refused without --force.\n"
    "scan never goes past a driver: it marks such addresses UU.\n"
    "\nExamples:\n"
    "  corvane-bench                         the window, on the PC's SMBus controllers\n"
    "  corvane-bench run.csv                 the window, with a recording opened in it\n"
    "  corvane-bench --smbus /dev/i2c-3      one adapter, as controller 1\n"
    "  corvane-bench --smbus 'SMBus I801 adapter at efa0',/dev/i2c-7\n"
    "  corvane-bench --record run.csv        the window, recording every poll to run.csv\n"
    "  corvane-bench read --json\n"
    "  corvane-bench --simulate-faults fail=2%/10,silent=20s/2m   the simulated chip, misbehaving\n"
    "  corvane-bench pwm --behaviour manual --duty 60\n"
    "  corvane-bench record run.csv --duration 2h --limit local_c<=80 --limit fan1_rpm>=500\n"
    "\nExit status:\n"
    "  0  done; for the window, it was closed\n"
    "  1  the window: the SMBus could not be used and the simulated chip was declined\n"
    "  2  a bad command line, a bus that cannot be used, or a file that cannot be used\n"
    "  3  the device did not answer\n"
    "  4  a write did not take, or was refused\n"
    "  5  record: a limit was passed\n");

// A fault log that cannot be written is a plan that cannot be followed:
// said now, before anything runs.
std::optional<QString> faultLogProblem(const FaultPlan& plan)
{
    if (plan.log.empty())
        return std::nullopt;
    const int fd = FaultyBus::openLog(plan.log);
    if (fd < 0)
        return QStringLiteral("cannot write the log %1: %2").arg(QString::fromStdString(plan.log),
                                                                 QString::fromLocal8Bit(std::strerror(-fd)));
    ::close(fd);
    return std::nullopt;
}

// Hex as the command line takes it: one or two digits, with or without 0x.
std::optional<std::uint8_t> hexByte(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:0[xX])?([0-9a-fA-F]{1,2})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return static_cast<std::uint8_t>(match.captured(1).toUInt(nullptr, 16));
}

// An entry by its one-word name, its list text, or its position.
std::optional<int> entryNamed(const QString& text, const auto& names, const auto& entries)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (text.compare(QString::fromUtf8(names[i].data(), static_cast<qsizetype>(names[i].size())),
                         Qt::CaseInsensitive) == 0 ||
            text.compare(QString::fromUtf8(entries[i].data(), static_cast<qsizetype>(entries[i].size())),
                         Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

QString joined(const auto& names)
{
    QStringList list;
    for (const auto name : names)
        list << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    return list.join(QStringLiteral(", "));
}

// ADDR:PORT for the exporter: 127.0.0.1:10127, [::1]:10127, localhost:9000.
bool listenAddress(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(?:(?<ipv4>\\d{1,3}(?:\\.\\d{1,3}){3})|\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(?:\\.[A-Za-z0-9-]+)*):(?<port>\\d{1,5})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    const int port = match.captured(u"port").toInt();
    if (port < 1 || port > 65535)
        return false;
    // Octets only where the host is four numbers: 300.example is a name.
    for (const QString& part : match.captured(u"ipv4").split(QLatin1Char('.'), Qt::SkipEmptyParts))
        if (part.toInt() > 255)
            return false;
    return true;
}

// A duty as the window's entry takes it, but whole: a script's "6O" is a
// typing mistake, not 6.
std::optional<double> dutyPercent(const QString& text)
{
    bool ok = false;
    const double percent = text.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(percent) : std::nullopt;
}

} // namespace

QStringList commandNames()
{
    QStringList names;
    for (const CommandInfo& info : Commands)
        names << QString::fromLatin1(info.name);
    return names;
}

std::optional<std::chrono::milliseconds> parseDuration(const QString& text)
{
    return durationOf(text.toStdString());
}

std::variant<BusRequest, CommandRequest, EarlyExit> parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Watches and drives a Corvane hardware monitor and fan controller on the PC's SMBus.\n"
        "With no command it opens the window; with one it runs it and prints the result.\n"
        "With no option it uses the PC's first two SMBus host controllers as\n"
        "\"SMBus Controller 1\" and \"SMBus Controller 2\" (needs i2c-dev and access to /dev/i2c-*)."));
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("One of the commands below; none opens the window."),
                                 QStringLiteral("[COMMAND [ARGUMENTS]]"));
    // Not addHelpOption(): its --help-all lists Qt's own options, which this
    // command line does not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Use the built-in simulated chip instead of real hardware. "
                                                     "Between commands it keeps its registers, as a chip does."));
    const QCommandLineOption smbus(
        QStringLiteral("smbus"),
        QStringLiteral("Use these I2C adapters as controllers 1 and 2, each named by device file "
                       "(/dev/i2c-N) or by its exact name as i2cdetect -l shows it."),
        QStringLiteral("DEV1[,DEV2]"));
    const QCommandLineOption hold(QStringLiteral("hold-readings"),
                                  QStringLiteral("With --simulate: hold the simulated chip's readings still, "
                                                 "for screenshots, measurements and tests."));
    const QCommandLineOption faults(
        QStringLiteral("simulate-faults"),
        QStringLiteral("The simulated chip, on a bus that does wrong to PLAN: items NAME=VALUE, comma-separated. "
                       "fail=SHARE[/BURST] fails that share of transactions in bursts (default 8); "
                       "errors=EIO+EAGAIN+ETIMEDOUT the errors they give; silent=SPAN/EVERY the chip answers "
                       "nothing for SPAN in every EVERY; slow=DELAY/SHARE that share of transactions take DELAY; "
                       "gone=SPAN/EVERY controller 2's adapter is removed for SPAN in every EVERY; seed=N the "
                       "same random draws each run; log=FILE (no comma in it) every fault and write appended to FILE. "
                       "Example: fail=2%/10,silent=20s/2m,slow=50ms/1%,gone=10s/5m"),
        QStringLiteral("PLAN"));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("The window: record every poll's readings to FILE (CSV) from the "
                                                   "start; an existing FILE is replaced only after asking."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption controller(QStringLiteral("controller"),
                                        QStringLiteral("Commands: use SMBus controller 1 or 2. Without it, where the "
                                                       "device answers, controller 2 first; scan uses controller 2."),
                                        QStringLiteral("1|2"));
    const QCommandLineOption device(QStringLiteral("device"),
                                    QStringLiteral("Commands: the device's address in hex (default 2E)."),
                                    QStringLiteral("HEX"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("read, pwm: print one JSON object."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Commands that read or write a device: read a reserved or memory-"
                                                  "module command address, read or write behind a kernel driver, "
                                                  "write to a dangerous address, or restore another device's "
                                                  "snapshot, all the same."));
    const QCommandLineOption noSettings(QStringLiteral("no-settings"),
                                        QStringLiteral("The window: start with the default settings, and write none."));
    const QCommandLineOption limitsFromSettings(
        QStringLiteral("limits-from-settings"),
        QStringLiteral("record: also hold the recording to the limits the window saved (Tools > Limits)."));
    const QCommandLineOption all(QStringLiteral("all"),
                                 QStringLiteral("restore: also write the registers that are not known settings."));
    const QCommandLineOption limit(QStringLiteral("limit"),
                                   QStringLiteral("record: a bound on a reading, KEY<=VALUE or KEY>=VALUE with a "
                                                  "JSON key (local_c<=80); repeatable."),
                                   QStringLiteral("BOUND"));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("record: one row per interval (500ms, 1s, 1m); every poll "
                                                     "(100 ms) without it. serve: the time between polls (1s)."),
                                      QStringLiteral("TIME"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("serve: the address and port to serve /metrics on (127.0.0.1:10127); "
                                                   "only loopback unless another address is named."),
                                    QStringLiteral("ADDR:PORT"));
    const QCommandLineOption duration(QStringLiteral("duration"),
                                      QStringLiteral("record: stop after this long (30s, 2h, 1h30m)."),
                                      QStringLiteral("TIME"));
    const QCommandLineOption behaviour(QStringLiteral("behaviour"),
                                       QStringLiteral("pwm: the PWM1 behaviour, by name (%1) or number 0-7.")
                                           .arg(joined(rm::BehaviourNames)),
                                       QStringLiteral("NAME|N"));
    const QCommandLineOption frequency(QStringLiteral("frequency"), QStringLiteral("pwm: the fan drive frequency."),
                                       QStringLiteral("low|high"));
    const QCommandLineOption pulses(QStringLiteral("pulses"), QStringLiteral("pwm: Fan1's tach pulses per revolution."),
                                    QStringLiteral("1-4"));
    const QCommandLineOption duty(QStringLiteral("duty"),
                                  QStringLiteral("pwm: the PWM1 duty, 0 to 100 %, in Manual Mode only."),
                                  QStringLiteral("PERCENT"));
    const QCommandLineOption compare(QStringLiteral("compare"),
                                     QStringLiteral("report: another recording, plotted from the same start."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption fanTest(QStringLiteral("fan-test"),
                                     QStringLiteral("report: a fan test's CSV, its duty to speed curve."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("report: write the report to FILE (- for standard output)."),
                                    QStringLiteral("FILE"));
    for (const auto* option : {&simulate, &faults, &hold, &smbus, &record, &noSettings, &controller, &device, &json, &force,
                               &all, &limit, &limitsFromSettings, &interval, &listen, &duration, &behaviour,
                               &frequency, &pulses, &duty, &compare, &fanTest, &output})
        parser.addOption(*option);

    if (!parser.parse(arguments))
        return badCommandLine(parser.errorText());
    if (parser.isSet(help))
        return EarlyExit{0, parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                      QStringLiteral("corvane-bench")) + HelpEpilogue};
    if (parser.isSet(version))
        return EarlyExit{0, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                         QCoreApplication::applicationVersion())};
    if (parser.isSet(simulate) && parser.isSet(smbus))
        return badCommandLine(QStringLiteral("--simulate and --smbus exclude each other."));
    if (parser.isSet(faults) && parser.isSet(smbus))
        return badCommandLine(QStringLiteral("--simulate-faults makes the simulated chip's bus do wrong; "
                                             "it does not go with --smbus."));
    const bool simulated = parser.isSet(simulate) || parser.isSet(faults);
    if (parser.isSet(hold) && !simulated)
        return badCommandLine(QStringLiteral("--hold-readings holds the simulated chip's readings: "
                                             "give it with --simulate."));

    BusRequest bus;
    bus.holdReadings = parser.isSet(hold);
    if (parser.isSet(faults)) {
        const QStringList plans = parser.values(faults);
        if (plans.size() > 1)
            return badCommandLine(QStringLiteral("--simulate-faults is given once, with the whole plan."));
        auto plan = parseFaultPlan(plans.first().toStdString());
        if (const auto* why = std::get_if<std::string>(&plan))
            return badCommandLine(QStringLiteral("--simulate-faults: %1.").arg(QString::fromStdString(*why)));
        bus.faults = std::get<FaultPlan>(plan);
        if (const auto why = faultLogProblem(*bus.faults))
            return badCommandLine(QStringLiteral("--simulate-faults: %1.").arg(*why));
    }
    if (simulated) {
        bus.kind = BusRequest::Kind::Simulated;
    } else if (parser.isSet(smbus)) {
        const QStringList values = parser.values(smbus);
        if (values.size() > 1)
            return badCommandLine(QStringLiteral("--smbus is given once, with both adapters: --smbus DEV1,DEV2."));
        for (const QString& name : values.first().split(QLatin1Char(',')))
            bus.adapterNames << name.trimmed();
        if (bus.adapterNames.size() > 2)
            return badCommandLine(QStringLiteral("--smbus takes at most two adapters, one per controller."));
        if (bus.adapterNames.contains(QString()))
            return badCommandLine(QStringLiteral("--smbus '%1' names an empty adapter.").arg(values.first()));
        bus.kind = BusRequest::Kind::NamedAdapters;
    }

    QStringList positional = parser.positionalArguments();
    // corvane-bench RUN.csv: the window, with the recording opened in it.
    QStringList recordings;
    const auto isRecording = [](const QString& word) {
        return word.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) &&
               std::none_of(std::begin(Commands), std::end(Commands),
                            [&word](const CommandInfo& c) { return word == QLatin1String(c.name); });
    };
    if (!positional.isEmpty() && std::all_of(positional.begin(), positional.end(), isRecording)) {
        recordings = positional;
        positional.clear();
    }
    if (positional.isEmpty()) {
        for (const auto* option : {&controller, &device, &json, &force, &all, &limit, &limitsFromSettings, &interval,
                                   &listen, &duration, &behaviour, &frequency, &pulses, &duty, &compare, &fanTest,
                                   &output}) {
            if (parser.isSet(*option))
                return badCommandLine(QStringLiteral("--%1 goes with a command; the window does not take it.")
                                          .arg(option->names().constLast()));
        }
        bus.recordPath = parser.value(record);
        bus.recordingsToOpen = recordings;
        bus.noSettings = parser.isSet(noSettings);
        if (parser.isSet(record) && bus.recordPath.trimmed().isEmpty())
            return badCommandLine(QStringLiteral("--record needs a file name."));
        return bus;
    }

    const CommandInfo* info = nullptr;
    for (const CommandInfo& candidate : Commands) {
        if (positional.first() == QLatin1String(candidate.name))
            info = &candidate;
    }
    if (!info)
        return badCommandLine(QStringLiteral("'%1' is not a command; the commands are %2.")
                                  .arg(positional.first(), commandNames().join(QStringLiteral(", "))));
    const QString name = QString::fromLatin1(info->name);
    const QStringList given = positional.mid(1);
    if (given.size() != info->argumentCount)
        return badCommandLine(info->argumentCount == 0
                                  ? QStringLiteral("%1 takes no argument; '%2' is one too many.").arg(name, given.first())
                                  : QStringLiteral("usage: corvane-bench %1 %2").arg(name, QLatin1String(info->arguments)));
    if (parser.isSet(record))
        return badCommandLine(QStringLiteral("--record is the window's; to record without it: corvane-bench record FILE."));
    if (parser.isSet(noSettings))
        return badCommandLine(QStringLiteral("--no-settings is the window's; the commands read no settings."));

    // Each option only with the commands it means something to.
    const struct {
        const QCommandLineOption* option;
        std::initializer_list<Command> commands;
    } belongs[] = {
        {&json, {Command::Read, Command::Pwm, Command::Report}},
        {&compare, {Command::Report}},
        {&fanTest, {Command::Report}},
        {&output, {Command::Report}},
        {&controller, {Command::Read, Command::Record, Command::Dump, Command::Scan, Command::Get, Command::Set,
                       Command::Pwm, Command::Restore, Command::Serve}},
        {&device, {Command::Read, Command::Record, Command::Dump, Command::Scan, Command::Get, Command::Set,
                   Command::Pwm, Command::Restore, Command::Serve}},
        {&simulate, {Command::Read, Command::Record, Command::Dump, Command::Scan, Command::Get, Command::Set,
                     Command::Pwm, Command::Restore, Command::Serve}},
        {&faults, {Command::Read, Command::Record, Command::Dump, Command::Scan, Command::Get, Command::Set,
                   Command::Pwm, Command::Restore, Command::Serve}},
        {&smbus, {Command::Read, Command::Record, Command::Dump, Command::Scan, Command::Get, Command::Set,
                  Command::Pwm, Command::Restore, Command::Serve}},
        {&force, {Command::Read, Command::Record, Command::Dump, Command::Get, Command::Set, Command::Pwm,
                  Command::Restore, Command::Serve}},
        {&all, {Command::Restore}},
        {&limit, {Command::Record}},
        {&limitsFromSettings, {Command::Record}},
        {&interval, {Command::Record, Command::Serve}},
        {&listen, {Command::Serve}},
        {&duration, {Command::Record}},
        {&behaviour, {Command::Pwm}},
        {&frequency, {Command::Pwm}},
        {&pulses, {Command::Pwm}},
        {&duty, {Command::Pwm}},
    };
    for (const auto& [option, commands] : belongs) {
        if (parser.isSet(*option) && std::find(commands.begin(), commands.end(), info->command) == commands.end())
            return badCommandLine(QStringLiteral("%1 does not take --%2.").arg(name, option->names().constLast()));
    }

    CommandRequest request;
    request.command = info->command;
    request.bus = bus;
    request.json = parser.isSet(json);
    request.force = parser.isSet(force);
    request.all = parser.isSet(all);
    request.limitsFromSettings = parser.isSet(limitsFromSettings);
    if (parser.isSet(controller)) {
        const QString text = parser.value(controller);
        if (text != QLatin1String("1") && text != QLatin1String("2"))
            return badCommandLine(QStringLiteral("--controller is 1 or 2, not '%1'.").arg(text));
        request.controller = text.toInt() - 1;
    }
    if (parser.isSet(device)) {
        const auto address = hexByte(parser.value(device));
        if (!address || *address > 0x7F)
            return badCommandLine(QStringLiteral("--device '%1' is not a 7-bit address in hex, 00 to 7F.")
                                      .arg(parser.value(device)));
        request.device = *address;
        request.deviceGiven = true;
    }
    if (info->command == Command::Get || info->command == Command::Set) {
        const auto reg = hexByte(given[0]);
        if (!reg)
            return badCommandLine(QStringLiteral("REG '%1' is not a register in hex, 00 to FF.").arg(given[0]));
        request.reg = *reg;
    }
    if (info->command == Command::Set) {
        const auto value = hexByte(given[1]);
        if (!value)
            return badCommandLine(QStringLiteral("VALUE '%1' is not a byte in hex, 00 to FF.").arg(given[1]));
        request.value = *value;
    }
    if (info->command == Command::Report) {
        request.path = given[0];
        request.comparePath = parser.value(compare);
        request.fanTestPath = parser.value(fanTest);
        if (parser.isSet(output))
            request.outputPath = parser.value(output);
        for (const QString& file : {request.path, request.outputPath}) {
            if (file.trimmed().isEmpty())
                return badCommandLine(QStringLiteral("report needs file names, not empty ones."));
        }
    }
    if (info->command == Command::Record || info->command == Command::Restore) {
        request.path = given[0];
        if (request.path.trimmed().isEmpty())
            return badCommandLine(QStringLiteral("%1 needs a file name.").arg(name));
    }
    for (const QString& text : parser.values(limit)) {
        auto parsed = parseLimit(text.toStdString());
        if (const auto* why = std::get_if<std::string>(&parsed))
            return badCommandLine(QString::fromStdString(*why));
        request.limits.push_back(std::get<Limit>(parsed));
    }
    if (parser.isSet(interval)) {
        const auto time = parseDuration(parser.value(interval));
        if (!time)
            return badCommandLine(QStringLiteral("--interval '%1' is not a time: 500ms, 1s, 1m.").arg(parser.value(interval)));
        request.interval = *time;
    }
    if (info->command == Command::Serve) {
        if (!parser.isSet(interval))
            request.interval = std::chrono::seconds(1);
        // Faster than the window's poll would be reading for its own sake.
        if (request.interval < std::chrono::milliseconds(100))
            return badCommandLine(QStringLiteral("--interval for serve is 100ms at the least."));
        const QString address = parser.isSet(listen) ? parser.value(listen) : QStringLiteral("127.0.0.1:10127");
        if (!listenAddress(address))
            return badCommandLine(QStringLiteral("--listen '%1' is not ADDR:PORT: an IPv4 address, an IPv6 address in "
                                                 "brackets or a host name, and a port from 1 to 65535.")
                                      .arg(address));
        request.listen = address.toStdString();
    }
    if (parser.isSet(duration)) {
        request.duration = parseDuration(parser.value(duration));
        if (!request.duration || request.duration->count() == 0)
            return badCommandLine(QStringLiteral("--duration '%1' is not a time: 30s, 2h, 1h30m.").arg(parser.value(duration)));
    }
    if (parser.isSet(behaviour)) {
        const QString text = parser.value(behaviour);
        request.pwm.behaviour = entryNamed(text, rm::BehaviourNames, rm::BehaviourEntries);
        bool number = false;
        const int k = text.toInt(&number);
        if (number && k >= 0 && k <= 7)
            request.pwm.behaviour = k;
        if (!request.pwm.behaviour)
            return badCommandLine(QStringLiteral("--behaviour '%1' is not a behaviour; they are %2, or 0 to 7.")
                                      .arg(text, joined(rm::BehaviourNames)));
    }
    if (parser.isSet(frequency)) {
        request.pwm.frequency = entryNamed(parser.value(frequency), rm::FrequencyNames, rm::FrequencyEntries);
        if (!request.pwm.frequency)
            return badCommandLine(QStringLiteral("--frequency is low or high, not '%1'.").arg(parser.value(frequency)));
    }
    if (parser.isSet(pulses)) {
        const QString text = parser.value(pulses);
        if (text.size() != 1 || text[0] < QLatin1Char('1') || text[0] > QLatin1Char('4'))
            return badCommandLine(QStringLiteral("--pulses is 1, 2, 3 or 4, not '%1'.").arg(text));
        request.pwm.pulses = text.toInt() - 1;
    }
    if (parser.isSet(duty)) {
        const auto percent = dutyPercent(parser.value(duty));
        request.pwm.dutyByte = percent ? CorvaneProtocol::dutyByteFor(*percent) : std::nullopt;
        if (!request.pwm.dutyByte)
            return badCommandLine(QStringLiteral("Invalid Value: --duty '%1' is not a percent from 0 to 100.")
                                      .arg(parser.value(duty)));
        if (request.pwm.behaviour && *request.pwm.behaviour != rm::ManualBehaviour)
            return badCommandLine(QStringLiteral("--duty is written only in Manual Mode: give --behaviour manual, "
                                                 "or leave --behaviour out while the chip is in Manual Mode."));
    }
    return request;
}
