#include "app/mainwindow.h"
#include "monitor/canviewer.h"
#include "monitor/canwindow.h"
#include "sim/faultylink.h"
#include "sim/korveldevice.h"
#include "tests/support/startconsole.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>

#include <benchmark/benchmark.h>

namespace {

// Fewer than the console's receive queue holds, so that the driver drops none.
constexpr int batch = 2500;

// Frames on range(0) identifiers, from the driver's queue through the console
// with its activity window open, in batches as the driver's notification
// hands them over. With more identifiers than a batch, the list is emptied
// before each round of them, so that every one makes a new entry.
void receivePath(benchmark::State &state)
{
    const auto identifiers = quint32(state.range(0));
    tests::ScriptedConsole console;
    MainWindow &window = *console.window;
    window.findChild<QAbstractButton *>(QStringLiteral("showCANView"))->click();
    CanViewer &activity = *tests::activityWindow()->findChild<CanViewer *>();
    const QByteArray data = QByteArray::fromHex("0102030405060708");
    quint32 next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (identifiers > batch && next % identifiers == 0)
            activity.clear();
        for (int i = 0; i < batch; ++i)
            console.bus->inject(xl::receivedEvent(0x100000 + next++ % identifiers, true, data));
        state.ResumeTiming();
        // The driver's notification wakes the console, which takes the whole batch.
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}

// The same frames as receivePath copied out of the driver's queue one by one,
// as the console takes them, and nothing else: the floor under its cost.
void receiveCopy(benchmark::State &state)
{
    const auto identifiers = quint32(state.range(0));
    tests::ScriptedDriver driver;
    tests::ScriptedChannel *bus = driver.addScriptedChannel(QStringLiteral("CAN 1"));
    XlDriverConfig config{};
    XlPortHandle port = XL_INVALID_PORTHANDLE;
    XlAccess permission = 0;
    xlOpenDriver();
    xlGetDriverConfig(&config);
    const XlAccess mask = config.channel[0].channelMask;
    xlOpenPort(&port, "bench", mask, &permission, 4096, XL_INTERFACE_VERSION, XL_BUS_TYPE_CAN);
    xlActivateChannel(port, mask, XL_BUS_TYPE_CAN, XL_ACTIVATE_RESET_CLOCK);
    const QByteArray data = QByteArray::fromHex("0102030405060708");
    std::vector<XlEvent> copied(batch);
    quint32 next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < batch; ++i)
            bus->inject(xl::receivedEvent(0x100000 + next++ % identifiers, true, data));
        state.ResumeTiming();
        unsigned count = 1;
        for (XlEvent *event = copied.data(); xlReceive(port, &count, event) == XL_SUCCESS; ++event)
            count = 1;
        benchmark::DoNotOptimize(copied.data());
    }
    state.SetItemsProcessed(state.iterations() * batch);
    xlClosePort(port);
    xlCloseDriver();
}

// Downloads from the simulated device with no latency, the matrix shown at
// the end of each: one copy request, a data request for every four bytes,
// and the closing one where the matrix ends on a frame's last byte.
void download(benchmark::State &state, int rows, int columns, bool paced)
{
    tests::SimulatedConsole console;
    console.devices[0]->setMatrixSize(rows, columns);
    // A clock a second further on at every look finds every frame due at once.
    if (!paced)
        console.links[0]->pace().setClock([now = qint64(0)]() mutable { return now += 1'000'000'000; });
    auto *box = console.window->findChild<QGroupBox *>(QStringLiteral("readTPraw"));
    // Ticked, the console asks for the next copy as soon as a download ends:
    // one download lies between two copies.
    int copies = 0;
    QObject::connect(console.devices[0], &sim::KorvelDevice::snapshotTaken, [&copies] { ++copies; });
    const auto waitForCopy = [&copies] {
        for (const int next = copies + 1; copies < next;)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    tests::toggle(box, true);
    waitForCopy();
    for (auto _ : state)
        waitForCopy();
    tests::toggle(box, false);
    // A matrix of n bytes takes n / 4 + 1 data exchanges, the last one closing it.
    const int exchanges = 1 + rows * columns / 4 + 1;
    state.counters["us_per_exchange"] = benchmark::Counter(
        double(state.iterations()) * exchanges / 1e6, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The console's cost of an exchange, the simulated device's included, on a
// bus without pace: on a paced one the time would be the bus's.
void downloadCost(benchmark::State &state)
{
    download(state, 255, 255, false);
}

// A download on the simulated bus, against its time on a 500 kbit/s bus.
void downloadPace(benchmark::State &state)
{
    download(state, 14, 24, true);
}

} // namespace

BENCHMARK(receivePath)->Arg(200)->Arg(10000)->UseRealTime();
BENCHMARK(receiveCopy)->Arg(200)->UseRealTime();
BENCHMARK(downloadCost)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(downloadPace)->Unit(benchmark::kMillisecond)->UseRealTime();
