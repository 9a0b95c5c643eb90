#pragma once

#include "xl/channel.h"
#include "virtualbus/virtualcanaddress.h"
#include "virtualbus/virtualcanlink.h"

#include <QObject>

#include <memory>
#include <vector>

namespace xl {

// A channel on a virtual bus of this machine ("virtualcan can0"), through our
// own client of its hub. It takes at most batchSize frames off the link per
// turn of the event loop, so that a flood on the bus leaves the console
// responsive; what the link could not keep meanwhile counts as lost.
//
// Once the connection is gone the channel says why, delivers nothing more and
// refuses every frame until the last port has left the bus.
class VirtualCanChannel : public QObject, public Channel
{
    Q_OBJECT

public:
    static constexpr int batchSize = 1024;
    static constexpr int connectTimeoutMs = 3000;

    // The channel "virtualcan <device>" on the bus that device names ("can0").
    VirtualCanChannel(const QString &device, virtualbus::VirtualCanAddress address);
    ~VirtualCanChannel() override;

    XlStatus goOnBus(unsigned bitrate) override;
    void goOffBus() override;
    XlStatus write(const XlEvent &frame) override;

private:
    void takeFrames();

    virtualbus::VirtualCanAddress address;
    std::unique_ptr<virtualbus::VirtualCanLink> link;
    std::vector<bus::Frame> batch;
};

// "virtualcan can0" and "virtualcan can1" on this machine's virtual buses.
std::vector<std::unique_ptr<VirtualCanChannel>> virtualCanChannels();

} // namespace xl
