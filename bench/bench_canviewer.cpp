#include "monitor/canviewer.h"

#include <benchmark/benchmark.h>

namespace {

void receive(CanViewer &viewer, quint32 id)
{
    VectorCAN::Message msg;
    msg.id = id;
    msg.extended = true;
    msg.dlc = 8;
    msg.data[0] = quint8(id);
    viewer.handleMsg(msg);
}

void refresh(CanViewer &viewer)
{
    QMetaObject::invokeMethod(&viewer, "updateList");
}

// One refresh that creates a row for each of range(0) new identifiers.
void refreshNewRows(benchmark::State &state)
{
    const auto count = quint32(state.range(0));
    CanViewer viewer;
    for (auto _ : state) {
        state.PauseTiming();
        viewer.clear();
        // Scattered identifiers, so that rows do not arrive in their order.
        for (quint32 i = 0; i < count; ++i)
            receive(viewer, (i * 7919) % 0x20000000);
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

} // namespace

BENCHMARK(refreshNewRows)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(refreshUpdatedRows)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
