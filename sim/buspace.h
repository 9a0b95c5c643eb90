#pragma once

#include "bus/frame.h"
#include "protocol/deviceprotocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

namespace sim {

// The bits a classic data frame of 0 to 8 data bytes holds the bus for, at
// most: start of frame, identifier, the control bits and the data, then the
// CRC; its delimiter, ACK slot and delimiter, end of frame and the interframe
// space; and, as the worst case, one stuff bit for every 4 bits from the
// start of frame to the end of the CRC.
constexpr int frameBits(bool extended, int dataBytes)
{
    const int header = extended ? 39 : 19;  // SOF, identifier, SRR/RTR, IDE, reserved bits, DLC
    const int stuffed = header + 8 * dataBytes + 15;
    return stuffed + stuffed / 4 + 13;
}

constexpr qint64 frameNanoseconds(bool extended, int dataBytes)
{
    return qint64(frameBits(extended, dataBytes)) * 1'000'000'000 / protocol::bitRate;
}

// The simulated device's bus, busy for each frame's time at the device's bit rate: the
// device's frames go onto it one after the other, each once it is ready and
// the bus is free, and come out at their end, from the event loop. Frames of
// other nodes hold it as well. The times are kept exact in nanoseconds on a
// monotonic clock, so the pace holds on average though a timer of millisecond
// resolution lets a frame out up to a millisecond late; every frame that is
// due when it fires goes.
class BusPace : public QObject
{
    Q_OBJECT

public:
    // Nanoseconds on a monotonic clock.
    using Clock = std::function<qint64()>;

    // How far ahead the frames of other nodes may book the bus before it
    // refuses them, as a transmit queue of a few dozen frames does when full:
    // a node that writes faster than the bus carries would otherwise push its
    // frames, and the answers to them, ever further into the future.
    static constexpr qint64 backlogNs = 32 * frameNanoseconds(true, 8);

    explicit BusPace(QObject *parent = nullptr);

    // Another clock than the steady one, for whoever drives time itself and
    // calls release().
    void setClock(Clock clock);
    qint64 now() const { return clock(); }

    // A frame of the device's, to go onto the bus no earlier than readyAt:
    // carried() follows at its end. Frames go in the order of their ready
    // times, those ready at once in the order queued.
    void queue(const bus::Frame &frame, qint64 readyAt);
    // A frame another node puts on the bus now: it holds the bus for its time
    // behind whatever holds it already. Its end, or nothing if the bus is
    // booked more than backlogNs ahead: the frame is refused.
    std::optional<qint64> book(const bus::Frame &frame);
    // A frame the bus has carried already, heard now: the bus was busy with
    // it until now, so a frame of the device's that was ready meanwhile goes
    // after it; nothing is booked beyond now.
    void heard();
    // Hands on every frame whose end has come; the timer calls it.
    void release();

signals:
    void carried(const bus::Frame &frame);

private:
    struct Timed
    {
        qint64 at;  // ready, or at its end once on the bus
        bus::Frame frame;
    };

    // Puts the frames whose time has come onto the bus, each after the one before.
    void board(qint64 at);
    void arm(qint64 at);

    QElapsedTimer steady;
    Clock clock;
    qint64 freeAt = 0;          // the end of the last frame booked
    std::deque<Timed> waiting;  // by ready time
    std::deque<Timed> onBus;    // by end
    QTimer timer{this};  // a child, so that it follows the bus to another thread
};

} // namespace sim
