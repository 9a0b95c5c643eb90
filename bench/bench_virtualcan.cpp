#include "virtualbus/virtualcanlink.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Fewer than our client keeps for its owner: a late owner must not make it
// drop any.
constexpr int framesPerBlock = virtualbus::VirtualCanLink::handoffCapacity / 2;

// The hub's side of a virtual bus: a block of frame lines on 2,000 29-bit
// identifiers, 8 bytes each, as a busy bus carries them.
struct Hub
{
    Hub()
    {
        server.listen(QHostAddress::LocalHost);
        for (int i = 0; i < framesPerBlock; ++i)
            block += QByteArray::number(0x10000000 + i % 2000) + "#X#" + QByteArray::number(0x0123456789abcdefULL + i, 16).rightJustified(16, '0') + '\n';
    }

    bool accept()
    {
        if (!server.waitForNewConnection(5000))
            return false;
        peer.reset(server.nextPendingConnection());
        return true;
    }

    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    QByteArray block;
};

// Seconds of the process's CPU time per frame.
void reportPerFrame(benchmark::State &state)
{
    state.counters["per_frame"] = benchmark::Counter(double(state.iterations()) * framesPerBlock,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Qt's virtualcan plugin, taking every frame off the device as it comes.
void qtClient(benchmark::State &state)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan=false"));
    Hub hub;
    const QString url = QStringLiteral("tcp://127.0.0.1:%1/can0").arg(hub.server.serverPort());
    std::unique_ptr<QCanBusDevice> device(QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), url));
    if (!device || !device->connectDevice() || !hub.accept()) {
        state.SkipWithError("no virtualcan device");
        return;
    }
    // Frames that come before the device says it is connected are not
    // passed on.
    const QDeadlineTimer connecting(5000);
    while (device->state() != QCanBusDevice::ConnectedState && !connecting.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (device->state() != QCanBusDevice::ConnectedState) {
        state.SkipWithError("virtualcan device not connected");
        return;
    }
    int received = 0;
    QObject::connect(device.get(), &QCanBusDevice::framesReceived,
                     [&] { received += int(device->readAllFrames().size()); });
    for (auto _ : state) {
        received = 0;
        hub.peer->write(hub.block);
        const QDeadlineTimer deadline(10000);
        while (received < framesPerBlock && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        if (received < framesPerBlock) {
            state.SkipWithError("frames missing");
            return;
        }
    }
    reportPerFrame(state);
}

// Our client, the owner taking batches as the console's channel does.
void ourClient(benchmark::State &state)
{
    Hub hub;
    virtualbus::VirtualCanLink link({QStringLiteral("127.0.0.1"), hub.server.serverPort(), 0});
    QString error;
    if (!link.open(5000, &error) || !hub.accept()) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    std::vector<bus::Frame> frames;
    frames.reserve(1024);
    for (auto _ : state) {
        int received = 0;
        hub.peer->write(hub.block);
        const QDeadlineTimer deadline(10000);
        while (received < framesPerBlock && !deadline.hasExpired()) {
            frames.clear();
            const int taken = link.take(frames, 1024);
            received += taken;
            // framesArrived wakes the loop once frames wait again.
            if (taken == 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        if (received < framesPerBlock) {
            state.SkipWithError("frames missing");
            return;
        }
    }
    reportPerFrame(state);
}

} // namespace

// Process CPU time, the worker thread's included: the cost, not the wait.
BENCHMARK(qtClient)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(ourClient)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
