#include "devsim/devsim.h"

#include "protocol/deviceprotocol.h"
#include "sim/buspace.h"
#include "virtualbus/makelink.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

namespace devsim {

namespace {

constexpr int connectTimeoutMs = 5000;

// Flushed at once: whoever reads the output follows it while the program runs.
void print(FILE *stream, const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

} // namespace

DevSim::DevSim(const DevSimOptions &chosen, QObject *parent)
    : QObject(parent)
    , options(chosen)
    , replay([this](const bus::Frame &frame) { node.transmit(frame); })
{
    sim::KorvelDevice &device = node.device();
    device.setMatrixSize(options.rows, options.columns);
    device.setFlowControl(quint8(options.blockSize), quint8(options.stMin));
    device.setSeed(quint32(options.seed));
    sim::FaultyLink &link = node.link();
    link.setLatency(options.latencyMs);
    link.setSeed(quint32(options.seed));
    link.setDropRate(options.dropRate);
    link.setDuplicateRate(options.duplicateRate);

    connect(&device, &sim::KorvelDevice::messageHandled, this, [](const QString &summary) { print(stdout, summary); });
    connect(&device, &sim::KorvelDevice::snapshotTaken, this, [this](int rows, int columns) {
        const QString line = QStringLiteral("snapshot %1 x %2 served").arg(rows).arg(columns);
        print(stdout, options.showMatrix ? line + QStringLiteral(": ") + QString::fromLatin1(node.device().snapshot().toHex())
                                         : line);
    });
    connect(&node, &sim::BusNode::attached, this, [this] {
        onBus = true;
        print(stdout, QStringLiteral("%1 on %2 %3, %4")
                          .arg(QCoreApplication::applicationName(), options.plugin, options.interface,
                               options.noDevice ? QStringLiteral("replay only")
                                                : QStringLiteral("matrix %1 x %2").arg(options.rows).arg(options.columns)));
        if (!options.replayFile.isEmpty())
            replay.start();
    });
    connect(&replay, &Replay::finished, this, [this] {
        QString line = QStringLiteral("replay of %1 done: %2 frames").arg(replay.name()).arg(replay.played());
        if (replay.skipped() > 0) {
            QStringList numbers;
            for (const qint64 number : replay.skippedLines())
                numbers << QString::number(number);
            if (replay.skipped() > replay.skippedLines().size())
                numbers << QStringLiteral("…");
            line += QStringLiteral(", %1 malformed lines skipped (lines %2)")
                        .arg(replay.skipped())
                        .arg(numbers.join(QLatin1String(", ")));
        }
        print(stdout, line);
        if (options.noDevice)
            QCoreApplication::quit();
    });
    connect(&replay, &Replay::failed, this, [](const QString &message) {
        print(stderr, QCoreApplication::applicationName() + QStringLiteral(": ") + message);
        QCoreApplication::exit(1);
    });
    if (options.controls) {
        controls = std::make_unique<Controls>(device);
        connect(controls.get(), &Controls::obeyed, this, [](const QString &what) { print(stdout, what); });
        connect(controls.get(), &Controls::refused, this, &DevSim::report);
    }
    // The device hears the bus but says nothing, neither frames nor lines.
    node.device().blockSignals(options.noDevice);
    connect(&node, &sim::BusNode::failed, this, &DevSim::leaveBus);
    connect(&node, &sim::BusNode::problem, this, &DevSim::report);
}

DevSim::~DevSim() = default;

void DevSim::start()
{
    // The device's trace lines would repeat on stderr what this program prints
    // on stdout, and the virtual bus's own notes either concern no user or say
    // again what report() says.
    QLoggingCategory::setFilterRules(
        QStringLiteral("korvel.sim.device.info=false\nkorvel.xl.virtualcan.info=false\n"
                       "qt.canbus.plugins.virtualcan=false"));

    stopSignals = std::make_unique<platform::StopSignals>();
    if (!stopSignals->error().isEmpty()) {
        report(QStringLiteral("cannot watch for SIGINT and SIGTERM: ") + stopSignals->error());
        // Queued: the event loop has not started yet.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
        return;
    }
    connect(stopSignals.get(), &platform::StopSignals::stopRequested, this, [] { QCoreApplication::quit(); });

    QString error;
    if (!options.replayFile.isEmpty() && !replay.open(options.replayFile, options.speed, &error)) {
        print(stderr, QCoreApplication::applicationName() + QStringLiteral(": ") + error);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
        return;
    }

    std::unique_ptr<bus::Link> link = virtualbus::makeLink(options.plugin, options.interface, protocol::bitRate, &error);
    if (link)
        node.attach(std::move(link), connectTimeoutMs);
    else
        QMetaObject::invokeMethod(this, [this, error] { leaveBus(error); }, Qt::QueuedConnection);
}

void DevSim::leaveBus(const QString &reason)
{
    report((onBus ? QStringLiteral("lost the bus: ") : QStringLiteral("cannot get on the bus: ")) + reason);
    QCoreApplication::exit(1);
}

void DevSim::report(const QString &message) const
{
    print(stderr, QStringLiteral("%1: %2 %3: %4")
                      .arg(QCoreApplication::applicationName(), options.plugin, options.interface, message));
}

} // namespace devsim
