#pragma once

#include "sim/korveldevice.h"
#include "xl/virtualcanlink.h"

#include <QCanBusDevice>
#include <QObject>
#include <QString>
#include <QTimer>

namespace sim {

// The simulated device as a node on a Qt SerialBus bus, or on a virtual bus
// through our own client, in place of the real one: data frames from the bus
// reach the device, and the device's frames go onto the bus with 29-bit
// identifiers.
class BusNode : public QObject
{
    Q_OBJECT

public:
    explicit BusNode(QObject *parent = nullptr);
    ~BusNode() override;

    KorvelDevice &device() { return simulated; }

    // Starts connecting to the interface through the plugin; attached() or
    // failed() follows from the event loop. One attach per node.
    void attach(const QString &plugin, const QString &interface, int timeoutMs);

signals:
    void attached();
    // The node is off the bus for good: it never got on, or the bus went away.
    void failed(const QString &reason);
    // An error the bus reported that left it connected.
    void problem(const QString &reason);

private:
    void fail(const QString &reason);
    void onStateChanged(QCanBusDevice::CanBusDeviceState state);
    void attachVirtual(const QString &interface, int timeoutMs);
    void receiveFrames();
    void receiveVirtualFrames();
    void transmit(quint32 id, bool extended, const QByteArray &data);

    KorvelDevice simulated;
    QCanBusDevice *bus = nullptr;  // a child: deleted once this node no longer hears it
    std::unique_ptr<xl::VirtualCanLink> link;  // on a virtual bus, in place of bus
    std::vector<xl::wire::Frame> received;
    QTimer connectTimeout;
    bool off = false;              // failed() was emitted
};

} // namespace sim
