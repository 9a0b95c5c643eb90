#include "ctl/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <array>

namespace ctl {

namespace {

struct CommandName
{
    const char *name;
    Command command;
    // The options of its own it takes, besides the common ones.
    QStringList own;
};

const std::array<CommandName, 8> commands{{
    {"check", Command::Check, {}},
    {"pressure", Command::Pressure, {QStringLiteral("count")}},
    {"matrix", Command::Matrix, {QStringLiteral("out")}},
    {"calibrate", Command::Calibrate, {QStringLiteral("report"), QStringLiteral("force"), QStringLiteral("serial")}},
    {"reset-calibration", Command::ResetCalibration, {QStringLiteral("serial")}},
    {"tp-diag", Command::TpDiag, {}},
    {"nmh", Command::Nmh, {QStringLiteral("seconds")}},
    {"record", Command::Record, {QStringLiteral("seconds")}},
}};

const char description[] =
    "The Korvel device's functions for benches and scripts.\n"
    "\n"
    "Commands:\n"
    "  check                      does the device answer? (one pressure request)\n"
    "  pressure [--count N]       N readings of the three values (default 1), every 50 ms\n"
    "  matrix [--out FILE]        one touchpad download; CSV rows x columns to FILE or stdout\n"
    "  calibrate [--report FILE]  the two snapshots, computed factors, written; each step\n"
    "                             waits for a line on stdin; a snapshot is the mean of the\n"
    "                             readings of the 250 ms after the line\n"
    "  reset-calibration          the neutral calibration written\n"
    "  tp-diag                    the TP diagnosis activation sent\n"
    "  nmh --seconds S            the NMH frame every 100 ms for S seconds\n"
    "  record FILE --seconds S    every frame for S seconds, in the console's log format\n"
    "\n"
    "Results go to stdout, progress and prompts to stderr.\n"
    "\n"
    "Exit codes:\n"
    "  0  done\n"
    "  1  the device refused, the transfer was given up, or the calibration looks wrong\n"
    "  2  usage: unknown command, bad option or value, a file that cannot be written\n"
    "  3  the channel cannot be opened, or the bus was lost during the job\n"
    "  4  the device did not answer within --timeout\n"
    "  5  aborted: stdin closed before a step, or SIGINT/SIGTERM";

Parsed usage(const QString &why)
{
    return {std::nullopt, Exit::Usage, QStringLiteral("korvelctl: %1 (korvelctl --help lists the commands)").arg(why)};
}

// A whole number within the limits, or nothing.
std::optional<int> whole(const QString &text, int least, int most)
{
    bool valid = false;
    const int value = text.toInt(&valid);
    return valid && value >= least && value <= most ? std::optional<int>(value) : std::nullopt;
}

} // namespace

Parsed parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption list(QStringLiteral("list-channels"), QStringLiteral("Print the channels, one a line, as the console lists them."));
    const QCommandLineOption channel(QStringLiteral("channel"), QStringLiteral("The channel to open; the console's first unless given."), QStringLiteral("name"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QStringLiteral("How long to wait for the device's answer (default 1000)."), QStringLiteral("ms"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Each result as one JSON object a line."));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("The device's serial number, for the calibration record and report."), QStringLiteral("text"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("pressure: how many readings (default 1)."), QStringLiteral("N"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("matrix: the CSV file; stdout unless given."), QStringLiteral("file"));
    const QCommandLineOption report(QStringLiteral("report"), QStringLiteral("calibrate: a JSON report of the calibration."), QStringLiteral("file"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("calibrate: write factors that look wrong."));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("nmh, record: how long."), QStringLiteral("S"));
    const QCommandLineOption languageOption = language::option();
    parser.addOptions({list, channel, timeout, json, serial, count, out, report, force, seconds, languageOption});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands above."),
                                 QStringLiteral("COMMAND [OPTIONS]"));

    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help))
        return {std::nullopt, Exit::Done, parser.helpText()};
    if (parser.isSet(version))
        return {std::nullopt, Exit::Done, QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()};

    Options options;
    const std::optional<language::Language> spoken = language::choose(parser.value(languageOption), language::systemLanguages());
    if (!spoken)
        return usage(language::refusal(parser.value(languageOption)));
    options.language = *spoken;
    QStringList words = parser.positionalArguments();
    QStringList own;
    if (parser.isSet(list)) {
        if (!words.isEmpty())
            return usage(QStringLiteral("--list-channels takes no command"));
        options.command = Command::ListChannels;
    } else {
        if (words.isEmpty())
            return usage(QStringLiteral("no command given"));
        const QString word = words.takeFirst();
        const auto named = std::find_if(commands.begin(), commands.end(),
                                        [&word](const CommandName &c) { return word == QLatin1String(c.name); });
        if (named == commands.end())
            return usage(QStringLiteral("unknown command \"%1\"").arg(word));
        options.command = named->command;
        own = named->own;
        if (options.command == Command::Record) {
            if (words.isEmpty())
                return usage(QStringLiteral("record: no file given"));
            options.file = words.takeFirst();
        }
        if (!words.isEmpty())
            return usage(QStringLiteral("%1: unexpected argument \"%2\"").arg(word, words.constFirst()));
        if ((options.command == Command::Nmh || options.command == Command::Record) && !parser.isSet(seconds))
            return usage(QStringLiteral("%1: --seconds is needed").arg(word));
    }
    for (const QCommandLineOption *option : {&count, &out, &report, &force, &seconds, &serial}) {
        const QString name = option->names().constFirst();
        if (parser.isSet(*option) && !own.contains(name))
            return usage(QStringLiteral("--%1 does not go with this command").arg(name));
    }

    options.channel = parser.value(channel);
    options.json = parser.isSet(json);
    options.serial = parser.value(serial);
    options.out = parser.value(out);
    options.report = parser.value(report);
    options.force = parser.isSet(force);
    if (parser.isSet(timeout)) {
        const std::optional<int> ms = whole(parser.value(timeout), 1, 3600 * 1000);
        if (!ms)
            return usage(QStringLiteral("--timeout takes 1 to 3600000 ms, not \"%1\"").arg(parser.value(timeout)));
        options.timeoutMs = *ms;
    }
    if (parser.isSet(count)) {
        const std::optional<int> n = whole(parser.value(count), 1, 1000000);
        if (!n)
            return usage(QStringLiteral("--count takes 1 to 1000000, not \"%1\"").arg(parser.value(count)));
        options.count = *n;
    }
    if (parser.isSet(seconds)) {
        bool valid = false;
        options.seconds = parser.value(seconds).toDouble(&valid);
        if (!valid || !(options.seconds > 0 && options.seconds <= 7 * 24 * 3600))
            return usage(QStringLiteral("--seconds takes more than 0 and up to a week, not \"%1\"").arg(parser.value(seconds)));
    }
    return {options, Exit::Done, {}};
}

} // namespace ctl
