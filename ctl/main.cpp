#include "ctl/jobs.h"
#include "ctl/options.h"
#include "ctl/output.h"
#include "ctl/station.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvelctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));

    const ctl::Parsed parsed = ctl::parseOptions(QCoreApplication::arguments());
    if (!parsed.options) {
        std::fputs(qPrintable(parsed.text + QLatin1Char('\n')), parsed.exit == ctl::Exit::Done ? stdout : stderr);
        return int(parsed.exit);
    }
    const ctl::Options &options = *parsed.options;
    const ctl::Output output(options.json);
    if (const QString problem = language::use(options.language); !problem.isEmpty())
        output.failure(QStringLiteral("Qt's texts stay English: ") + problem);
    // stderr is for the person at the bench: the libraries' traces, of
    // plugins that cannot work here among them, stay out of it, and so does
    // the calibration record's warning, which korvelctl gives in its own words.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false\nqt.canbus.*=false\nkorvel.xl.serialbus=false\n"
                                                    "korvel.service.calibrationrecord.warning=false"));

    ctl::Station station(options.timeoutMs);
    if (options.command == ctl::Command::ListChannels) {
        for (const QString &name : station.channels())
            output.result({{QStringLiteral("channel"), name}}, name);
        return 0;
    }
    ctl::Exit exit = station.open(options.channel);
    if (exit == ctl::Exit::Done)
        exit = ctl::runJob(options, station, output);
    if (exit != ctl::Exit::Done)
        output.failure(station.failure());
    return int(exit);
}
