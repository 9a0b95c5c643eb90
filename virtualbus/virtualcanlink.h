#pragma once

#include "bus/link.h"
#include "virtualbus/faulttally.h"
#include "virtualbus/virtualcanaddress.h"
#include "virtualbus/virtualcanwire.h"

class QTcpSocket;

namespace virtualbus {

// A client of the virtual bus (see virtualcanwire.cpp for its lines), in the
// thread that made it. It takes at most readChunk bytes off the socket per
// turn of that thread's event loop, and what the hub sends that is no frame
// is counted here by kind.
//
// One thread for the socket and its owner: a frame from the bus costs that
// thread one wake and no other.
class VirtualCanLink : public bus::Link
{
    Q_OBJECT

public:
    static constexpr int readChunk = 256 * 1024;

    explicit VirtualCanLink(VirtualCanAddress address, QObject *parent = nullptr);
    ~VirtualCanLink() override;

    // Joins the bus. On this machine the hub is started first unless one
    // serves the port already.
    bool open(int timeoutMs, QString *error) override;
    bool isOpen() const { return socket && !hasEnded(); }
    const VirtualCanAddress &address() const { return where; }

    // False once the connection is gone.
    bool write(const bus::Frame &frame) override;
    // Lines from the hub dropped as not a frame, by kind.
    quint64 faults(wire::Fault fault) const { return tally.total(fault); }

private:
    void read();
    void connectionEnded(const QString &reason);

    VirtualCanAddress where;
    QTcpSocket *socket = nullptr;  // a child, once open
    FaultTally tally;
    wire::LineSplitter splitter;
};

} // namespace virtualbus
