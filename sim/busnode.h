#pragma once

#include "sim/faultylink.h"
#include "sim/korveldevice.h"
#include "virtualbus/virtualcanlink.h"

#include <QCanBusDevice>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace sim {

// The simulated device as a node on a Qt SerialBus bus, or on a virtual bus
// through our own client, in place of the real one, behind a link that may be
// made faulty: data frames from the bus reach the device, and the device's
// frames go onto the bus.
class BusNode : public QObject
{
    Q_OBJECT

public:
    explicit BusNode(QObject *parent = nullptr);
    ~BusNode() override;

    KorvelDevice &device() { return simulated; }
    FaultyLink &link() { return faults; }

    // Connects to the interface through the plugin, waiting at most timeoutMs;
    // attached() or failed() follows from the event loop. One attach per node.
    void attach(const QString &plugin, const QString &interface, int timeoutMs);
    // Puts a frame on the bus as it is, past the device and its link.
    void transmit(const QCanBusFrame &frame);

signals:
    void attached();
    // The node is off the bus for good: it never got on, or the bus went away.
    void failed(const QString &reason);
    // An error the bus reported that left it connected.
    void problem(const QString &reason);

private:
    bool attachSerialBus(const QString &plugin, const QString &interface, int timeoutMs, QString *reason);
    bool attachVirtual(const QString &interface, int timeoutMs, QString *reason);
    void fail(const QString &reason);
    void receiveVirtualFrames();

    KorvelDevice simulated;
    FaultyLink faults;
    std::unique_ptr<QCanBusDevice> bus;
    std::unique_ptr<virtualbus::VirtualCanLink> virtualBus;  // on a virtual bus, in place of bus
    std::vector<bus::Frame> received;
    bool off = false;              // failed() was emitted
};

} // namespace sim
