#pragma once

#include "xl/channel.h"

#include <QCanBusDevice>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace xl {

// A channel on a Qt SerialBus device: a CAN adapter behind one of the plugins
// (socketcan, peakcan, …). The device exists only while the channel is on
// bus. Everything, its signals included, runs in the GUI thread.
//
// Once the device fails (unplugged, bus off) the channel traces why, delivers
// nothing more and refuses every frame until the last port has left the bus;
// a new activation then starts afresh.
class SerialBusChannel : public QObject, public Channel
{
    Q_OBJECT

public:
    // Makes a device that is not yet connected, or returns nullptr and says why.
    using DeviceFactory = std::function<std::unique_ptr<QCanBusDevice>(QString *errorMessage)>;

    // The channel "<plugin> <device>" on the device that the plugin creates.
    explicit SerialBusChannel(const QString &plugin, const QString &device);
    explicit SerialBusChannel(const QString &name, DeviceFactory factory);
    ~SerialBusChannel() override;

    // How long the device may take to connect before going on bus fails.
    static constexpr int connectTimeoutMs = 3000;

    XlStatus goOnBus(unsigned bitrate) override;
    void goOffBus() override;
    XlStatus write(const XlEvent &frame) override;

private:
    void readFrames();
    void deviceError(QCanBusDevice::CanBusError error);
    void deviceStateChanged(QCanBusDevice::CanBusDeviceState state);

    DeviceFactory createDevice;
    std::unique_ptr<QCanBusDevice> device;
};

// The channels of every CAN adapter that a Qt SerialBus plugin finds on this
// machine, each plugin's devices sorted by name and the plugins by theirs.
// Qt's virtualcan is left out: the virtual buses have a client of our own.
std::vector<std::unique_ptr<SerialBusChannel>> findSerialBusChannels();

} // namespace xl
