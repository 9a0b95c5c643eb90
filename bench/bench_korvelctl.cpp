#include "protocol/deviceprotocol.h"
#include "runbenchmarks.h"
#include "virtualbus/virtualcanaddress.h"
#include "virtualbus/virtualcanhub.h"
#include "virtualbus/virtualcanlink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// korvelctl against korvel-devsim on a virtual bus whose hub runs in a thread
// here, and a peer on it that notes when the job's frames pass: its first
// request, the last reply before the program ends.
class Bench
{
public:
    Bench()
    {
        hubThread.start();
        hub = new virtualbus::VirtualCanHub;
        hub->moveToThread(&hubThread);
        QMetaObject::invokeMethod(hub, [this] { port = hub->listen(0) ? hub->port() : 0; }, Qt::BlockingQueuedConnection);
        environment.insert(QStringLiteral("KORVEL_VIRTUALCAN_PORT"), QString::number(port));
        device.setProcessEnvironment(environment);
        device.start(QStringLiteral(KORVEL_DEVSIM));
        const bool listening = QTest::qWaitFor([&] { return device.canReadLine(); }, 10000);
        peer = std::make_unique<virtualbus::VirtualCanLink>(
            *virtualbus::parseVirtualCanAddress(QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port)));
        QString error;
        ready = listening && port != 0 && device.state() == QProcess::Running && peer->open(10000, &error);
        QObject::connect(peer.get(), &bus::Link::framesArrived, [this] {
            std::vector<bus::Frame> frames;
            peer->take(frames, bus::Link::handoffCapacity);
            for (const bus::Frame &frame : frames) {
                if (frame.id == protocol::requestId && firstRequest < 0)
                    firstRequest = clock.nsecsElapsed();
                if (frame.id == protocol::responseId)
                    lastReply = clock.nsecsElapsed();
            }
        });
    }
    ~Bench()
    {
        peer.reset();
        device.kill();
        device.waitForFinished();
        QMetaObject::invokeMethod(hub, [this] { delete hub; }, Qt::BlockingQueuedConnection);
        hubThread.quit();
        hubThread.wait();
    }

    // One run of korvelctl to its end, in ns since its start: its first
    // request on the bus, the last reply, its exit. False when it failed.
    bool run(const QStringList &arguments, qint64 *request, qint64 *reply, qint64 *exit)
    {
        QProcess ctl;
        ctl.setProcessEnvironment(environment);
        firstRequest = lastReply = -1;
        clock.start();
        ctl.start(QStringLiteral(KORVEL_CTL), QStringList{"--channel", "virtualcan can0"} + arguments);
        bool ended = false;
        QObject::connect(&ctl, &QProcess::finished, [&] {
            *exit = clock.nsecsElapsed();
            ended = true;
        });
        ended = QTest::qWaitFor([&] { return ended; }, 20000);
        // The last reply may still be on its way to the peer.
        QTest::qWait(5);
        *request = firstRequest;
        *reply = lastReply;
        return ended && ctl.exitCode() == 0 && firstRequest >= 0 && lastReply > firstRequest;
    }

    bool ready = false;

private:
    QThread hubThread;
    virtualbus::VirtualCanHub *hub = nullptr;  // in hubThread
    quint16 port = 0;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess device;
    std::unique_ptr<virtualbus::VirtualCanLink> peer;
    QElapsedTimer clock;
    qint64 firstRequest = -1;
    qint64 lastReply = -1;
};

// The program's whole time, from its start to its exit, against its start-up
// (to its first frame on the bus) and the exchanges on the bus: for check one
// request and its reply, for matrix the whole download.
void job(benchmark::State &state, const QStringList &arguments)
{
    Bench bench;
    if (!bench.ready) {
        state.SkipWithError("no simulated device on the bus");
        return;
    }
    double startUp = 0, onBus = 0, total = 0;
    for (auto _ : state) {
        qint64 request = 0, reply = 0, exit = 0;
        if (!bench.run(arguments, &request, &reply, &exit)) {
            state.SkipWithError("korvelctl failed");
            return;
        }
        startUp += double(request) / 1e6;
        onBus += double(reply - request) / 1e6;
        total += double(exit) / 1e6;
    }
    const double n = double(state.iterations());
    state.counters["startup_ms"] = startUp / n;
    state.counters["bus_ms"] = onBus / n;
    state.counters["total_ms"] = total / n;
    // What a bench waits for beyond the program's start and the bus.
    state.counters["ratio"] = total / (startUp + onBus);
    // The job once on the bus, against its exchanges.
    state.counters["job_ratio"] = (total - startUp) / onBus;
}

void check(benchmark::State &state)
{
    job(state, {"check"});
}

void matrix(benchmark::State &state)
{
    job(state, {"matrix"});
}

} // namespace

BENCHMARK(check)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(matrix)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The peer finds the bench's hub on the port, which is as meant.
    QLoggingCategory::setFilterRules(QStringLiteral("korvel.xl.virtualcan.info=false"));
    return runBenchmarks(argc, argv);
}
