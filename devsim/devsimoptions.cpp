#include "devsim/devsimoptions.h"

#include "virtualbus/virtualcanaddress.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

namespace devsim {

namespace {

QCommandLineOption valued(const char *name, const char *description, const char *valueName, const QString &value)
{
    return QCommandLineOption(QString::fromLatin1(name),
                              QString::fromUtf8(description) + QStringLiteral(" Default: %1.").arg(value),
                              QString::fromLatin1(valueName), value);
}

// In the form QCommandLineParser gives its own errors.
void reject(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(message));
}

} // namespace

std::optional<DevSimOptions> parseDevSimOptions(const QStringList &arguments)
{
    DevSimOptions options;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The simulated Korvel device on a CAN bus, in place of the real one."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption plugin = valued("plugin", "Qt SerialBus plugin of the bus.", "name", options.plugin);
    const QCommandLineOption device =
        valued("device", "Device of the plugin; for virtualcan can0 or can1 on the port in KORVEL_VIRTUALCAN_PORT, "
                         "or a full URL.",
               "name", options.device);
    const QCommandLineOption showMatrix(QStringLiteral("show-matrix"),
                                        QStringLiteral("Print each matrix copy's bytes, row by row in hex."));
    const QCommandLineOption replay(
        QStringLiteral("replay"),
        QStringLiteral("Play a log in the can-utils text format onto the bus; - reads standard input."),
        QStringLiteral("file"));
    const QCommandLineOption speed = valued("speed", "Times the original pace of the replay, above 0.", "x",
                                            QStringLiteral("1"));
    const QCommandLineOption noDevice(QStringLiteral("no-device"),
                                      QStringLiteral("With --replay: the replay alone, without the simulated device; "
                                                     "ends when the replay does."));
    const QCommandLineOption controls(QStringLiteral("controls"),
                                      QStringLiteral("Read the device's controls from standard input, one a line: "
                                                     "\"force N\" holds the force at N newtons, \"cycle\" runs the "
                                                     "force cycle again."));
    parser.addOptions({plugin, device, showMatrix, replay, speed, noDevice, controls});

    struct Range
    {
        int first;
        int last;
    };
    struct Whole
    {
        QCommandLineOption option;
        int *value;
        std::vector<Range> taken;  // every other value is refused
    };
    const auto whole = [](const char *name, const char *description, int *value, std::vector<Range> taken) {
        return Whole{valued(name, description, "n", QString::number(*value)), value, std::move(taken)};
    };
    const std::vector<Whole> wholes = {
        whole("rows", "Rows of the touchpad matrix, 0 to 255.", &options.rows, {{0, 255}}),
        whole("columns", "Columns of the touchpad matrix, 0 to 255.", &options.columns, {{0, 255}}),
        whole("block-size", "Consecutive frames per ISO-TP block the device asks for, 0 (all) to 255.",
              &options.blockSize, {{0, 255}}),
        // The codes between and above these ranges are reserved: a sender would
        // take them as 127 ms, not as what the user meant.
        whole("stmin", "STmin byte of the device's flow control: 0 to 127 ms, 241 to 249 for 100 to 900 µs.",
              &options.stMin, {{0, 127}, {241, 249}}),
        whole("latency", "Milliseconds from a request to the reply, 0 to 60000.", &options.latencyMs, {{0, 60000}}),
        whole("seed", "Seed of the faults and the sensor noise.", &options.seed, {{0, INT_MAX}}),
    };
    // Shares of the frames the device sends.
    const std::vector<std::pair<QCommandLineOption, double *>> rates = {
        {valued("drop", "Share of the frames that are lost, 0 to 1.", "rate", QStringLiteral("0")), &options.dropRate},
        {valued("duplicate", "Share of the frames sent twice, 0 to 1.", "rate", QStringLiteral("0")),
         &options.duplicateRate},
    };
    for (const Whole &w : wholes)
        parser.addOption(w.option);
    for (const auto &[option, value] : rates)
        parser.addOption(option);

    parser.process(arguments);
    if (!parser.positionalArguments().isEmpty()) {
        reject(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst()));
        return std::nullopt;
    }
    for (const Whole &w : wholes) {
        const QString text = parser.value(w.option);
        bool ok = false;
        *w.value = text.toInt(&ok);
        const auto within = [&w](const Range &r) { return *w.value >= r.first && *w.value <= r.last; };
        if (!ok || std::none_of(w.taken.cbegin(), w.taken.cend(), within)) {
            QStringList ranges;
            for (const Range &r : w.taken)
                ranges << QStringLiteral("from %1 to %2").arg(r.first).arg(r.last);
            reject(QStringLiteral("--%1 takes a whole number %2, not \"%3\"")
                       .arg(w.option.names().constFirst(), ranges.join(QLatin1String(" or ")), text));
            return std::nullopt;
        }
    }
    for (const auto &[option, value] : rates) {
        const QString text = parser.value(option);
        bool ok = false;
        *value = text.toDouble(&ok);
        if (!ok || !(*value >= 0 && *value <= 1)) {  // NaN too
            reject(QStringLiteral("--%1 takes a number from 0 to 1, not \"%2\"").arg(option.names().constFirst(), text));
            return std::nullopt;
        }
    }
    options.showMatrix = parser.isSet(showMatrix);
    options.replayFile = parser.value(replay);
    bool ok = false;
    options.speed = parser.value(speed).toDouble(&ok);
    if (!ok || !(options.speed > 0) || !std::isfinite(options.speed)) {
        reject(QStringLiteral("--speed takes a number above 0, not \"%1\"").arg(parser.value(speed)));
        return std::nullopt;
    }
    options.noDevice = parser.isSet(noDevice);
    if (options.noDevice && options.replayFile.isEmpty()) {
        reject(QStringLiteral("--no-device needs --replay"));
        return std::nullopt;
    }
    options.controls = parser.isSet(controls);
    if (options.controls && options.replayFile == QLatin1String("-")) {
        reject(QStringLiteral("--controls and --replay - both read standard input"));
        return std::nullopt;
    }
    options.plugin = parser.value(plugin);
    options.device = parser.value(device);
    options.interface = options.device;
    if (options.plugin == virtualbus::virtualCanPlugin) {
        // Read strictly: Qt's plugin takes can0x for can0 and a port out of
        // range for its own, so the bus joined would not be the one named.
        QString error;
        const std::optional<virtualbus::VirtualCanAddress> address = virtualbus::parseVirtualCanAddress(options.device, &error);
        if (!address) {
            reject(error);
            return std::nullopt;
        }
        options.interface = address->toString();
    }
    return options;
}

} // namespace devsim
