#include "devsim/devsimoptions.h"

#include "xl/virtualcan.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <climits>
#include <cstdio>
#include <vector>

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
    parser.addOptions({plugin, device, showMatrix});

    struct Whole
    {
        QCommandLineOption option;
        int *value;
        int maximum;  // the minimum is 0
    };
    const auto whole = [](const char *name, const char *description, int *value, int maximum) {
        return Whole{valued(name, description, "n", QString::number(*value)), value, maximum};
    };
    const std::vector<Whole> wholes = {
        whole("rows", "Rows of the touchpad matrix, 0 to 255.", &options.rows, 255),
        whole("columns", "Columns of the touchpad matrix, 0 to 255.", &options.columns, 255),
        whole("block-size", "Consecutive frames per ISO-TP block the device asks for, 0 (all) to 255.",
              &options.blockSize, 255),
        whole("stmin", "STmin byte of the device's flow control: 0 to 127 ms, 241 to 249 for 100 to 900 µs.",
              &options.stMin, 255),
        whole("latency", "Milliseconds from a request to the reply, 0 to 60000.", &options.latencyMs, 60000),
        whole("seed", "Seed of the faults and the sensor noise.", &options.seed, INT_MAX),
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
        if (!ok || *w.value < 0 || *w.value > w.maximum) {
            reject(QStringLiteral("--%1 takes a whole number from 0 to %2, not \"%3\"")
                       .arg(w.option.names().constFirst())
                       .arg(w.maximum)
                       .arg(text));
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
    options.plugin = parser.value(plugin);
    options.device = parser.value(device);
    options.interface = xl::serialBusInterface(options.plugin, options.device);
    return options;
}
