#include "sim/faultylink.h"

#include <algorithm>

namespace sim {

namespace {

constexpr qint64 nsPerMs = 1'000'000;

} // namespace

FaultyLink::FaultyLink(QObject *parent)
    : QObject(parent)
{
    connect(&pacing, &BusPace::carried, this, &FaultyLink::sent);
}

void FaultyLink::setSeed(quint32 seed)
{
    outgoingRandom.seed(seed);
    incomingRandom.seed(seed);
}

// Both draws are made for every frame, so that the faults depend only on the
// seed and the traffic.
void FaultyLink::send(const bus::Frame &frame)
{
    const bool dropped = outgoingRandom.generateDouble() < dropRate;
    const bool doubled = outgoingRandom.generateDouble() < duplicateRate;
    if (dropped)
        return;
    const qint64 ready = std::max(pacing.now(), heardAt) + latency * nsPerMs;
    for (int i = 0; i < (doubled ? 2 : 1); ++i)
        pacing.queue(frame, ready + (jitter ? qint64(outgoingRandom.bounded(jitter + 1)) * nsPerMs : 0));
}

void FaultyLink::receive(const bus::Frame &frame)
{
    pacing.heard();
    hear(frame);
}

bool FaultyLink::carry(const bus::Frame &frame)
{
    const std::optional<qint64> end = pacing.book(frame);
    if (!end)
        return false;
    heardAt = *end;
    hear(frame);
    return true;
}

void FaultyLink::hear(const bus::Frame &frame)
{
    if (incomingRandom.generateDouble() >= incomingDropRate)
        emit received(frame);
}

} // namespace sim
