#include "xl/virtualcan.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <memory>

/*
 * Loads the virtual bus can0 as a busy 500 kbit/s bus does: 8-byte frames on
 * 2,000 standard identifiers, round robin, at a steady rate.
 *
 *   korvel-loadgen <seconds> [frames per second, default 3800]
 *
 * Prints "frames sent <n>" at the end.
 */
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int seconds = args.value(1).toInt();
    const int rate = args.size() > 2 ? args.at(2).toInt() : 3800;
    constexpr int identifiers = 2000;

    QString error;
    std::unique_ptr<QCanBusDevice> bus(
        QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), xl::virtualCanInterface(QStringLiteral("can0")), &error));
    if (!bus) {
        std::fprintf(stderr, "korvel-loadgen: no virtual bus: %s\n", qPrintable(error));
        return 1;
    }

    QElapsedTimer clock;
    qint64 sent = 0;
    QTimer pace;
    // Catches up by the clock, so that a late timer does not lower the rate.
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const qint64 due = clock.elapsed() * rate / 1000;
        for (; sent < due; ++sent) {
            const QByteArray data = QByteArray::number(sent, 16).rightJustified(8, '0').right(8);
            bus->writeFrame(QCanBusFrame(quint32(sent % identifiers), data));
        }
        if (clock.elapsed() >= seconds * 1000LL) {
            std::printf("frames sent %lld\n", sent);
            QCoreApplication::quit();
        }
    });
    // virtualcan connects after connectDevice() has returned; frames written
    // before then are refused, so the clock starts once it is connected. The
    // pacer as context ends this before the bus goes with its destructor.
    QObject::connect(bus.get(), &QCanBusDevice::stateChanged, &pace, [&](QCanBusDevice::CanBusDeviceState state) {
        if (state == QCanBusDevice::ConnectedState) {
            clock.start();
            pace.start(5);
        } else if (state == QCanBusDevice::UnconnectedState) {
            std::fprintf(stderr, "korvel-loadgen: virtual bus lost after %lld frames\n", sent);
            QCoreApplication::exit(1);
        }
    });
    if (!bus->connectDevice()) {
        std::fprintf(stderr, "korvel-loadgen: no virtual bus: %s\n", qPrintable(bus->errorString()));
        return 1;
    }
    return app.exec();
}
