#include "xl/serialbuschannel.h"

#include "bus/busloss.h"
#include "xl/serialbusdevice.h"
#include "virtualbus/virtualcanaddress.h"

#include <QCanBus>

namespace xl {

SerialBusChannel::SerialBusChannel(const QString &plugin, const QString &device)
    : SerialBusChannel(plugin + QLatin1Char(' ') + device, [plugin, device](QString *errorMessage) {
        return createSerialBusDevice(plugin, device, errorMessage);
    })
{
}

SerialBusChannel::SerialBusChannel(const QString &name, DeviceFactory factory)
    : Channel(name)
    , createDevice(std::move(factory))
{
}

// The device must not call back into a channel that is half destroyed.
SerialBusChannel::~SerialBusChannel()
{
    goOffBus();
}

XlStatus SerialBusChannel::goOnBus(unsigned bitrate)
{
    QString error;
    device = createDevice(&error);
    if (!device) {
        qCWarning(lcSerialBus).noquote() << name() << "cannot be created:" << error;
        return XL_ERR_HW_NOT_PRESENT;
    }
    clearFailure();
    connect(device.get(), &QCanBusDevice::framesReceived, this, &SerialBusChannel::readFrames);
    if (!connectSerialBusDevice(*device, bitrate, connectTimeoutMs, &error)) {
        qCWarning(lcSerialBus).noquote() << name() << "cannot connect:" << error;
        goOffBus();
        return XL_ERR_HW_NOT_PRESENT;
    }
    connect(device.get(), &QCanBusDevice::errorOccurred, this, &SerialBusChannel::deviceError);
    connect(device.get(), &QCanBusDevice::stateChanged, this, &SerialBusChannel::deviceStateChanged);
    return XL_SUCCESS;
}

// Never called from the device's own signals (the channel only queues what it
// receives for the ports), so the device can go at once.
void SerialBusChannel::goOffBus()
{
    if (!device)
        return;
    // Closing on purpose is no failure.
    device->disconnect(this);
    if (device->state() == QCanBusDevice::ConnectedState)
        device->disconnectDevice();
    device.reset();
    clearFailure();
}

XlStatus SerialBusChannel::write(const XlEvent &frame)
{
    if (!device || !failure().isEmpty())
        return XL_ERR_TX_NOT_POSSIBLE;
    const QCanBusFrame out = serialBusFrame(frame);
    if (!out.isValid())
        return XL_ERR_WRONG_PARAMETER;
    if (!device->writeFrame(out)) {
        qCDebug(lcSerialBus).noquote() << name() << "refused" << out.toString() << device->errorString();
        return XL_ERR_TX_NOT_POSSIBLE;
    }
    return XL_SUCCESS;
}

void SerialBusChannel::readFrames()
{
    if (!device || !failure().isEmpty())
        return;
    for (const QCanBusFrame &frame : readDataFrames(*device, name()))
        deliver(receivedEvent(frame.frameId(), frame.hasExtendedFrameFormat(), frame.payload()));
}

void SerialBusChannel::deviceError(QCanBusDevice::CanBusError error)
{
    // A refused frame fails its own transmit, not the bus: a full transmit
    // queue empties again.
    if (error == QCanBusDevice::WriteError)
        return;
    fail(device->errorString());
}

void SerialBusChannel::deviceStateChanged(QCanBusDevice::CanBusDeviceState state)
{
    if (state != QCanBusDevice::ConnectedState)
        fail(QLatin1String(bus::busloss::adapterGone));
}

std::vector<std::unique_ptr<SerialBusChannel>> findSerialBusChannels()
{
    const QCanBus *bus = QCanBus::instance();
    QStringList plugins = bus->plugins();
    plugins.removeAll(virtualbus::virtualCanPlugin);
    plugins.sort();
    std::vector<std::unique_ptr<SerialBusChannel>> found;
    for (const QString &plugin : std::as_const(plugins)) {
        QString error;
        const QList<QCanBusDeviceInfo> infos = bus->availableDevices(plugin, &error);
        if (!error.isEmpty()) {
            qCInfo(lcSerialBus).noquote() << "plugin" << plugin << "skipped:" << error;
            continue;
        }
        QStringList devices;
        for (const QCanBusDeviceInfo &info : infos)
            devices << info.name();
        devices.sort();
        for (const QString &device : std::as_const(devices)) {
            // Some plugins (tinycan) list devices that their missing vendor
            // library can never open: only a device the plugin creates counts.
            if (!createSerialBusDevice(plugin, device, &error)) {
                qCInfo(lcSerialBus).noquote() << plugin << device << "skipped:" << error;
                continue;
            }
            found.push_back(std::make_unique<SerialBusChannel>(plugin, device));
        }
    }
    return found;
}

} // namespace xl
