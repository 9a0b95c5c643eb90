#pragma once

#include "bus/link.h"
#include "sim/faultylink.h"
#include "sim/korveldevice.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace sim {

// The simulated device as a node on whatever bus a link reaches, in place of
// the real one, behind a link that may be made faulty: data frames from the
// bus reach the device, and the device's frames go onto the bus.
class BusNode : public QObject
{
    Q_OBJECT

public:
    explicit BusNode(QObject *parent = nullptr);
    ~BusNode() override;

    KorvelDevice &device() { return simulated; }
    FaultyLink &link() { return faults; }

    // Opens the link, waiting at most timeoutMs; attached() or failed()
    // follows from the event loop. One attach per node.
    void attach(std::unique_ptr<bus::Link> onto, int timeoutMs);
    // Puts a frame on the bus as it is, past the device and its link.
    void transmit(const bus::Frame &frame);

signals:
    void attached();
    // The node is off the bus for good: it never got on, or the bus went away.
    void failed(const QString &reason);
    // An error the bus reported that left it connected.
    void problem(const QString &reason);

private:
    void fail(const QString &reason);
    void receiveFrames();

    KorvelDevice simulated;
    FaultyLink faults;
    std::unique_ptr<bus::Link> way;  // onto the bus, once attached
    std::vector<bus::Frame> received;
    bool off = false;                // failed() was emitted
};

} // namespace sim
