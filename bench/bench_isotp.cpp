#include "protocol/deviceprotocol.h"
#include "isotp/isotptx.h"
#include "tests/support/scripteddriver.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A 4095-byte message with block size 0 and STmin 0: from send() to the
// driver taking the last of its 586 frames.
void sendLongest(benchmark::State &state)
{
    // The first frame carries 6 bytes, each consecutive frame up to 7.
    constexpr int frames = 1 + (ISOTPTX::maxLength - 6 + 7 - 1) / 7;
    tests::ScriptedDriver driver;
    tests::ScriptedChannel *bus = driver.addScriptedChannel(QStringLiteral("CAN 1"));
    VectorCAN can;
    can.open(0, 500000, QStringLiteral("bench"));
    const QByteArray message(ISOTPTX::maxLength, 'x');
    VectorCAN::Message flowControl;
    flowControl.id = protocol::isoTpFlowControlId;
    flowControl.extended = true;
    flowControl.dlc = 8;
    flowControl.data[0] = 0x30;
    VectorCAN::Message receipt;
    for (auto _ : state) {
        state.PauseTiming();
        bus->written.clear();
        while (can.takeMessage(&receipt)) {
        }
        // A fresh transmitter: the last one still has its final tick to come.
        auto isotp = std::make_unique<ISOTPTX>(&can, protocol::isoTpTxId, true, protocol::isoTpFlowControlId, true);
        state.ResumeTiming();
        isotp->send(message);
        isotp->handleFlowControl(flowControl);
        while (bus->written.size() < frames)
            QCoreApplication::processEvents();
    }
}

} // namespace

BENCHMARK(sendLongest)->Unit(benchmark::kMillisecond)->UseRealTime();
