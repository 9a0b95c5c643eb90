#pragma once

#include "bus/frame.h"

#include <QObject>
#include <QString>

#include <deque>
#include <utility>
#include <vector>

namespace bus {

// One way onto one bus, in the thread that made it: a CAN adapter, a virtual
// bus, whatever a subclass reaches. It keeps at most handoffCapacity frames
// from the bus for its owner, who takes them in batches of its choosing; what
// does not fit is counted as dropped. So a flood costs the owner no more than
// it chooses to take, and every frame the link lets go is counted here, not
// lost unseen in a queue further off.
class Link : public QObject
{
    Q_OBJECT

public:
    static constexpr int handoffCapacity = 16384;

    explicit Link(QObject *parent = nullptr);
    ~Link() override;
    Q_DISABLE_COPY_MOVE(Link)

    // Gets onto the bus, waiting at most timeoutMs; false, and why in *error,
    // when it does not. A link opens once; it closes when it goes.
    virtual bool open(int timeoutMs, QString *error) = 0;
    // Queues a frame for the bus; false when the bus refuses it, and once the
    // bus is lost.
    virtual bool write(const Frame &frame) = 0;

    // Appends at most max received frames to out, oldest first; returns how many.
    int take(std::vector<Frame> &out, int max);
    // Frames dropped since the last call because the owner had not taken the
    // ones before.
    quint64 takeDropped() { return std::exchange(dropped, 0); }

signals:
    // Frames wait, where none did before.
    void framesArrived();
    // The bus went away after open() had succeeded; said once.
    void lost(const QString &reason);
    // A frame the bus refused; the link stays on its bus.
    void problem(const QString &reason);
    // An error the bus reported while the link stays on it (a failed read,
    // a bus error): frames may have been lost. Whoever cannot trust the bus
    // after it gives up; a simulated node carries on.
    void fault(const QString &reason);

protected:
    // A frame from the bus for the owner, or a dropped one when the handoff
    // is full. Inline: a flood calls it for every frame.
    void keep(const Frame &frame)
    {
        if (handoff.size() >= size_t(handoffCapacity)) {
            ++dropped;
            return;
        }
        fresh = fresh || handoff.empty();
        handoff.push_back(frame);
    }
    // After the frames of one read: framesArrived() if none waited before them.
    void announce();
    // Says lost(reason), the first time only.
    void end(const QString &reason);
    bool hasEnded() const { return ended; }

private:
    std::deque<Frame> handoff;
    quint64 dropped = 0;
    bool fresh = false;  // kept frames into an empty handoff since the last announce()
    bool ended = false;
};

} // namespace bus
