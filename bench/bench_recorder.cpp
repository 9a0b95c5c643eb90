#include "service/recorder.h"
#include "runbenchmarks.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Frames of a full bus into a recording on the local disk: the line written,
// the buffer going to the file when full, and the wall-clock stamp of each.
void recordFrames(benchmark::State &state)
{
    QTemporaryDir dir;
    service::Recorder recorder;
    recorder.setInterface(QStringLiteral("virtualcan can0"));
    QString error;
    if (!recorder.start(dir.filePath(QStringLiteral("bench.log")), &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    VectorCAN::Message msg;
    msg.extended = true;
    msg.dlc = 8;
    quint32 n = 0;
    for (auto _ : state) {
        // 2,000 identifiers and changing data, as under the soak's load.
        msg.id = 0x10000000 + n % 2000;
        msg.data[0] = quint8(n);
        msg.data[7] = quint8(n >> 8);
        msg.tx = (n & 0xFF) == 0;
        recorder.record(msg);
        ++n;
    }
    recorder.stop();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(recordFrames)->UseRealTime();

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
