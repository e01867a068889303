#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

EarlyExit badCommandLine(const QString& why)
{
    return {BadCommandLineStatus, QStringLiteral("corvane-bench: %1\nTry 'corvane-bench --help'.\n").arg(why)};
}

const QString HelpEpilogue = QStringLiteral(
    "\nExamples:\n"
    "  corvane-bench                         the PC's SMBus controllers\n"
    "  corvane-bench --smbus /dev/i2c-3      one adapter, as controller 1\n"
    "  corvane-bench --smbus 'SMBus I801 adapter at efa0',/dev/i2c-7\n"
    "  corvane-bench --record run.csv        record every poll to run.csv\n"
    "\nExit status: 0 when the window was closed, 1 when the SMBus could not be\n"
    "used and the simulated chip was declined, 2 for a bad command line or an\n"
    "--smbus adapter that cannot be used.\n");

} // namespace

std::variant<BusRequest, EarlyExit> parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Watches and drives a Corvane hardware monitor and fan controller on the PC's SMBus.\n"
        "With no option it uses the PC's first two SMBus host controllers as\n"
        "\"SMBus Controller 1\" and \"SMBus Controller 2\" (needs i2c-dev and access to /dev/i2c-*)."));
    // Not addHelpOption(): its --help-all lists Qt's own options, which this
    // command line does not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Use the built-in simulated chip instead of real hardware."));
    const QCommandLineOption smbus(
        QStringLiteral("smbus"),
        QStringLiteral("Use these I2C adapters as controllers 1 and 2, each named by device file "
                       "(/dev/i2c-N) or by its exact name as i2cdetect -l shows it."),
        QStringLiteral("DEV1[,DEV2]"));
    const QCommandLineOption hold(QStringLiteral("hold-readings"),
                                  QStringLiteral("With --simulate: hold the simulated chip's readings still, "
                                                 "for screenshots and measurements."));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("Record every poll's readings to FILE (CSV) from the start; "
                                                   "an existing FILE is replaced only after asking."),
                                    QStringLiteral("FILE"));
    parser.addOption(simulate);
    parser.addOption(hold);
    parser.addOption(smbus);
    parser.addOption(record);

    if (!parser.parse(arguments))
        return badCommandLine(parser.errorText());
    if (parser.isSet(help))
        return EarlyExit{0, parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                      QStringLiteral("corvane-bench")) + HelpEpilogue};
    if (parser.isSet(version))
        return EarlyExit{0, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                         QCoreApplication::applicationVersion())};
    if (!parser.positionalArguments().isEmpty())
        return badCommandLine(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    if (parser.isSet(simulate) && parser.isSet(smbus))
        return badCommandLine(QStringLiteral("--simulate and --smbus exclude each other."));
    if (parser.isSet(hold) && !parser.isSet(simulate))
        return badCommandLine(QStringLiteral("--hold-readings holds the simulated chip's readings: "
                                             "give it with --simulate."));
    const QString recordPath = parser.value(record);
    if (parser.isSet(record) && recordPath.trimmed().isEmpty())
        return badCommandLine(QStringLiteral("--record needs a file name."));
    if (parser.isSet(simulate))
        return BusRequest{BusRequest::Kind::Simulated, {}, parser.isSet(hold), recordPath};
    if (!parser.isSet(smbus))
        return BusRequest{BusRequest::Kind::HostControllers, {}, false, recordPath};

    const QStringList values = parser.values(smbus);
    if (values.size() > 1)
        return badCommandLine(QStringLiteral("--smbus is given once, with both adapters: --smbus DEV1,DEV2."));
    QStringList names;
    for (const QString& name : values.first().split(QLatin1Char(',')))
        names << name.trimmed();
    if (names.size() > 2)
        return badCommandLine(QStringLiteral("--smbus takes at most two adapters, one per controller."));
    if (names.contains(QString()))
        return badCommandLine(QStringLiteral("--smbus '%1' names an empty adapter.").arg(values.first()));
    return BusRequest{BusRequest::Kind::NamedAdapters, names, false, recordPath};
}
