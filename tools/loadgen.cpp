#include "virtualbus/virtualcanaddress.h"
#include "virtualbus/virtualcanlink.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstring>

// Loads the virtual bus can0 as a busy 500 kbit/s bus does, for scripts/soak.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("korvel.xl.virtualcan.info=false"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Loads the virtual bus can0 (port from KORVEL_VIRTUALCAN_PORT) as a busy 500 kbit/s bus does: 8-byte frames "
        "on 2,000 standard identifiers, round robin, at a steady rate. More identifiers than standard ones exist are "
        "29-bit ones. Prints \"frames sent <n>\" at the end."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("seconds"), QStringLiteral("How long the load lasts."));
    parser.addPositionalArgument(QStringLiteral("rate"), QStringLiteral("Frames a second, default 3800."),
                                 QStringLiteral("[rate]"));
    parser.addPositionalArgument(QStringLiteral("identifiers"), QStringLiteral("Default 2000, at most 536870912."),
                                 QStringLiteral("[identifiers]"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    const int seconds = args.value(0).toInt();
    const qint64 rate = args.value(1, QStringLiteral("3800")).toInt();
    const quint32 identifiers = args.value(2, QStringLiteral("2000")).toUInt();
    if (args.size() > 3 || seconds <= 0 || rate <= 0 || identifiers == 0 || identifiers > 0x20000000) {
        std::fputs(qPrintable(parser.helpText()), stderr);
        return 1;
    }

    virtualbus::VirtualCanLink bus(*virtualbus::parseVirtualCanAddress(QStringLiteral("can0")));
    QString error;
    if (!bus.open(3000, &error)) {
        std::fprintf(stderr, "korvel-loadgen: no virtual bus: %s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&bus, &virtualbus::VirtualCanLink::lost, [](const QString &reason) {
        std::fprintf(stderr, "korvel-loadgen: virtual bus lost: %s\n", qPrintable(reason));
        QCoreApplication::exit(1);
    });

    QElapsedTimer clock;
    clock.start();
    qint64 sent = 0;
    QTimer pace;
    // Catches up by the clock, so that a late timer does not lower the rate.
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const qint64 due = clock.elapsed() * rate / 1000;
        for (; sent < due; ++sent) {
            bus::Frame frame;
            frame.id = quint32(sent % identifiers);
            frame.flags = identifiers > 0x800 ? bus::Frame::Extended : 0;
            frame.length = 8;
            const quint64 count = quint64(sent);
            std::memcpy(frame.data.data(), &count, 8);
            bus.write(frame);
        }
        if (clock.elapsed() >= seconds * 1000LL) {
            std::printf("frames sent %lld\n", sent);
            QCoreApplication::quit();
        }
    });
    pace.start(5);
    return app.exec();
}
