#include "xl/serialbuschannel.h"

#include "xl/virtualcan.h"

#include <QCanBus>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>
#include <QVariant>

Q_LOGGING_CATEGORY(lcSerialBus, "korvel.xl.serialbus")

namespace xl {

namespace {

// virtualcan connects over TCP after connectDevice() has returned, and frames
// written before that are lost: the channel is on bus only once the device says so.
bool waitForConnection(QCanBusDevice &device)
{
    if (device.state() == QCanBusDevice::ConnectingState) {
        QEventLoop loop;
        QTimer::singleShot(SerialBusChannel::connectTimeoutMs, &loop, &QEventLoop::quit);
        QObject::connect(&device, &QCanBusDevice::stateChanged, &loop, &QEventLoop::quit);
        // No clicks meanwhile: the console is still opening its channel.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return device.state() == QCanBusDevice::ConnectedState;
}

} // namespace

SerialBusChannel::SerialBusChannel(const QString &plugin, const QString &device)
    : SerialBusChannel(plugin + QLatin1Char(' ') + device, [plugin, device](QString *errorMessage) {
        return QCanBus::instance()->createDevice(plugin, device, errorMessage);
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
    device.reset(createDevice(&error));
    if (!device) {
        qCWarning(lcSerialBus).noquote() << name() << "cannot be created:" << error;
        return XL_ERR_HW_NOT_PRESENT;
    }
    clearFailure();
    // Plugins without a bit rate of their own (virtualcan) ignore it; socketcan
    // keeps the one its interface was brought up with unless it may change it.
    device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(bitrate));
    connect(device.get(), &QCanBusDevice::framesReceived, this, &SerialBusChannel::readFrames);
    if (!device->connectDevice() || !waitForConnection(*device)) {
        const QString reason = device->state() == QCanBusDevice::ConnectingState
            ? QStringLiteral("no connection within %1 ms").arg(connectTimeoutMs)
            : device->errorString();
        qCWarning(lcSerialBus).noquote() << name() << "cannot connect:" << reason;
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
    QCanBusFrame out(frame.id & ~XL_CAN_EXT_MSG_ID,
                     QByteArray(reinterpret_cast<const char *>(frame.data), qMin<int>(frame.dlc, XL_CAN_MAX_DATA)));
    // The flag alone decides: 0x7FF may be a 29-bit identifier as well.
    out.setExtendedFrameFormat(frame.id & XL_CAN_EXT_MSG_ID);
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
    const QList<QCanBusFrame> frames = device->readAllFrames();
    for (const QCanBusFrame &frame : frames) {
        if (frame.frameType() != QCanBusFrame::DataFrame || !frame.isValid()
            || frame.hasFlexibleDataRateFormat()) {
            qCDebug(lcSerialBus).noquote() << name() << "passes over a frame of type" << frame.frameType()
                                           << frame.toString() << device->interpretErrorFrame(frame);
            continue;
        }
        deliver(receivedEvent(frame.frameId(), frame.hasExtendedFrameFormat(), frame.payload()));
    }
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
        fail(QStringLiteral("connection lost"));
}

std::vector<std::unique_ptr<SerialBusChannel>> findSerialBusChannels()
{
    const QCanBus *bus = QCanBus::instance();
    QStringList plugins = bus->plugins();
    plugins.removeAll(virtualCanPlugin);
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
            const std::unique_ptr<QCanBusDevice> probe(bus->createDevice(plugin, device, &error));
            if (!probe) {
                qCInfo(lcSerialBus).noquote() << plugin << device << "skipped:" << error;
                continue;
            }
            found.push_back(std::make_unique<SerialBusChannel>(plugin, device));
        }
    }
    return found;
}

} // namespace xl
