#include "sim/faultylink.h"

#include <QTimer>

namespace sim {

FaultyLink::FaultyLink(QObject *parent)
    : QObject(parent)
{
}

void FaultyLink::setSeed(quint32 seed)
{
    outgoingRandom.seed(seed);
    incomingRandom.seed(seed);
}

// Both draws are made for every frame, so that the faults depend only on the
// seed and the traffic.
void FaultyLink::send(const QCanBusFrame &frame)
{
    const bool dropped = outgoingRandom.generateDouble() < dropRate;
    const bool doubled = outgoingRandom.generateDouble() < duplicateRate;
    if (dropped)
        return;
    for (int i = 0; i < (doubled ? 2 : 1); ++i) {
        const int delay = latency + (jitter ? int(outgoingRandom.bounded(jitter + 1)) : 0);
        QTimer::singleShot(delay, Qt::PreciseTimer, this, [this, frame] { emit sent(frame); });
    }
}

void FaultyLink::receive(const QCanBusFrame &frame)
{
    if (incomingRandom.generateDouble() >= incomingDropRate)
        emit received(frame);
}

} // namespace sim
