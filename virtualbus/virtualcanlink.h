#pragma once

#include "virtualbus/faulttally.h"
#include "virtualbus/virtualcanaddress.h"
#include "virtualbus/virtualcanwire.h"

#include <QObject>

#include <deque>
#include <vector>

class QTcpSocket;

namespace virtualbus {

// A client of the virtual bus (see virtualcanwire.cpp for its lines), in the
// thread that made it. It takes at most readChunk bytes off the socket per
// turn of that thread's event loop and keeps at most handoffCapacity frames
// for the owner, who takes them in batches of its choosing; what does not fit
// is counted as dropped. So a flood costs the owner no more than it chooses to
// take, and every frame the link lets go is counted here, not lost unseen in
// a queue of the hub's.
//
// One thread for the socket and its owner: a frame from the bus costs that
// thread one wake and no other.
class VirtualCanLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int handoffCapacity = 16384;
    static constexpr int readChunk = 256 * 1024;

    explicit VirtualCanLink(VirtualCanAddress address, QObject *parent = nullptr);
    ~VirtualCanLink() override;
    Q_DISABLE_COPY_MOVE(VirtualCanLink)

    // Joins the bus, waiting at most timeoutMs for the connection. On this
    // machine the hub is started first unless one serves the port already.
    bool open(int timeoutMs, QString *error);
    bool isOpen() const { return socket && !gone; }
    const VirtualCanAddress &address() const { return where; }

    // Queues a frame for the bus; false once the connection is gone.
    bool write(const bus::Frame &frame);
    // Appends at most max received frames to out, oldest first; returns how many.
    int take(std::vector<bus::Frame> &out, int max);
    // Frames dropped since the last call because the owner had not taken the
    // ones before.
    quint64 takeDropped() { return std::exchange(dropped, 0); }
    // Lines from the hub dropped as not a frame, by kind.
    quint64 faults(wire::Fault fault) const { return tally.total(fault); }

signals:
    // Frames wait, where none did before.
    void framesArrived();
    // The connection went away after open() had succeeded.
    void lost(const QString &reason);

private:
    void read();
    void connectionEnded(const QString &reason);

    VirtualCanAddress where;
    QTcpSocket *socket = nullptr;  // a child, once open
    FaultTally tally;
    wire::LineSplitter splitter;
    std::deque<bus::Frame> handoff;
    quint64 dropped = 0;
    bool gone = false;
};

} // namespace virtualbus
