#pragma once

#include "xl/faulttally.h"
#include "xl/virtualcanaddress.h"
#include "xl/virtualcanwire.h"

#include <QMutex>
#include <QObject>
#include <QThread>

#include <deque>
#include <memory>
#include <vector>

namespace xl {

class VirtualCanWorker;

// A client of the virtual bus (see virtualcanwire.cpp for its lines). A thread
// of its own takes the frames off the socket as fast as they come and keeps
// at most handoffCapacity of them for the owner, who takes them in batches of
// its choosing; what does not fit is counted as dropped, so that a flood
// costs the owner's thread no more than it chooses to take.
//
// The link is used from the thread that made it; its signals arrive there.
class VirtualCanLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int handoffCapacity = 16384;

    explicit VirtualCanLink(VirtualCanAddress address, QObject *parent = nullptr);
    ~VirtualCanLink() override;
    Q_DISABLE_COPY_MOVE(VirtualCanLink)

    // Joins the bus, waiting at most timeoutMs for the connection. On this
    // machine the hub is started first unless one serves the port already.
    bool open(int timeoutMs, QString *error);
    bool isOpen() const { return opened && !gone; }
    const VirtualCanAddress &address() const { return where; }

    // Queues a frame for the bus; false once the connection is gone.
    bool write(const wire::Frame &frame);
    // Appends at most max received frames to out, oldest first; returns how many.
    int take(std::vector<wire::Frame> &out, int max);
    // Frames dropped since the last call because the owner had not taken the
    // ones before.
    quint64 takeDropped();
    // Lines from the hub dropped as not a frame, by kind.
    quint64 faults(wire::Fault fault) const;

signals:
    // Frames wait, where none did before.
    void framesArrived();
    // The connection went away after open() had succeeded.
    void lost(const QString &reason);

private:
    friend class VirtualCanWorker;

    // Called in the worker's thread.
    void hand(const std::vector<wire::Frame> &frames);
    void connectionEnded(const QString &reason);
    void shutDown();

    VirtualCanAddress where;
    QThread thread;
    VirtualCanWorker *worker = nullptr;  // lives in thread
    bool opened = false;
    bool gone = false;

    QMutex lock;  // guards what follows, shared with the worker
    std::deque<wire::Frame> handoff;
    quint64 dropped = 0;
    QByteArray outgoing;
};

} // namespace xl
