#pragma once

#include "sim/buspace.h"

#include <QObject>
#include <QRandomGenerator>

namespace sim {

// The link between the simulated device and its bus, as slow and unreliable
// as asked: frames towards the bus leave after a latency and may be lost,
// sent twice or delayed further by jitter (which may reorder them); frames
// from the bus may be missed. The same seed gives the same faults for the same
// traffic. Frames towards the bus always leave from the event loop, never from
// inside send(), so that a sender sees the receipt of its own frame before
// the answer to it, and never faster than the bus carries them (BusPace).
class FaultyLink : public QObject
{
    Q_OBJECT

public:
    explicit FaultyLink(QObject *parent = nullptr);

    // A frame towards the bus; sent() follows at its end on the bus, or not.
    void send(const bus::Frame &frame);
    // A frame the bus has carried already; received() follows at once, or not.
    void receive(const bus::Frame &frame);
    // A frame another node puts on this bus now, which the device hears at
    // its end: received() follows at once, or not. False, and nothing heard,
    // when the bus refuses it (BusPace::book).
    bool carry(const bus::Frame &frame);

    // The bus it sends onto, whose clock a test may drive.
    BusPace &pace() { return pacing; }

    // Milliseconds a frame of the device's waits before it is ready to go,
    // counted from send() but from no earlier than the end of the last frame
    // the device heard; it goes as soon as the bus is free then.
    void setLatency(int ms) { latency = qMax(0, ms); }
    void setSeed(quint32 seed);
    // The share of frames towards the bus that are lost, the share sent twice
    // (a lost frame is not sent at all), and up to maxMs of extra delay each.
    void setDropRate(double rate) { dropRate = rate; }
    void setDuplicateRate(double rate) { duplicateRate = rate; }
    void setJitter(int maxMs) { jitter = qMax(0, maxMs); }
    // The share of frames from the bus that are missed, drawn from a stream of
    // its own, so that the faults towards the bus stay as they were for the seed.
    void setIncomingDropRate(double rate) { incomingDropRate = rate; }

signals:
    void sent(const bus::Frame &frame);
    void received(const bus::Frame &frame);

private:
    void hear(const bus::Frame &frame);

    BusPace pacing{this};  // a child, so that it follows the link to another thread
    qint64 heardAt = 0;  // the end of the last frame carry() put on the bus
    int latency = 0;
    double dropRate = 0;
    double duplicateRate = 0;
    int jitter = 0;
    double incomingDropRate = 0;
    QRandomGenerator outgoingRandom;
    QRandomGenerator incomingRandom;
};

} // namespace sim
