#include "monitor/canviewer.h"

#include <benchmark/benchmark.h>

namespace {

// A list whose clock the benchmark moves, so that records fall silent at once.
class ClockedViewer : public CanViewer
{
public:
    qint64 time = 0;

protected:
    qint64 now() const override { return time; }
};

void receive(CanViewer &viewer, quint32 id)
{
    VectorCAN::Message msg;
    msg.id = id;
    msg.extended = true;
    msg.dlc = 8;
    msg.data[0] = quint8(id);
    viewer.handleMsg(msg);
}

// Scattered identifiers, so that rows do not arrive in their order.
void receiveScattered(CanViewer &viewer, quint32 count)
{
    for (quint32 i = 0; i < count; ++i)
        receive(viewer, (i * 7919) % 0x20000000);
}

void refresh(CanViewer &viewer)
{
    QMetaObject::invokeMethod(&viewer, "updateList");
}

// One refresh that creates a row for each of range(0) new identifiers; beyond
// CanViewer::maxRows the others wait and are counted.
void refreshNewRows(benchmark::State &state)
{
    const auto count = quint32(state.range(0));
    CanViewer viewer;
    for (auto _ : state) {
        state.PauseTiming();
        viewer.clear();
        receiveScattered(viewer, count);
        state.ResumeTiming();
        refresh(viewer);
    }
}

// One refresh that rewrites range(0) existing rows, each with a new frame.
void refreshUpdatedRows(benchmark::State &state)
{
    const auto count = quint32(state.range(0));
    CanViewer viewer;
    for (quint32 i = 0; i < count; ++i)
        receive(viewer, i);
    refresh(viewer);
    for (auto _ : state) {
        state.PauseTiming();
        for (quint32 i = 0; i < count; ++i)
            receive(viewer, i);
        state.ResumeTiming();
        refresh(viewer);
    }
}

// One refresh in which the records of range(0) identifiers, with rows or
// waiting for one, fall silent together.
void refreshExpiredRecords(benchmark::State &state)
{
    const auto count = quint32(state.range(0));
    ClockedViewer viewer;
    for (auto _ : state) {
        state.PauseTiming();
        receiveScattered(viewer, count);
        refresh(viewer);
        viewer.time += 10001;
        state.ResumeTiming();
        refresh(viewer);
    }
}

} // namespace

BENCHMARK(refreshNewRows)->Arg(CanViewer::maxRows)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(refreshUpdatedRows)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(refreshExpiredRecords)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
