#include "bus/serialbuslink.h"

#include "bus/busloss.h"

#include <QCanBus>
#include <QEventLoop>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcSerialBus, "korvel.xl.serialbus")

namespace bus {

namespace {

// The identifier, its format and at most 8 data bytes: all that a classic
// data frame is.
QCanBusFrame toQt(const Frame &frame)
{
    QCanBusFrame out(frame.id, QByteArray(reinterpret_cast<const char *>(frame.data.data()), std::min<int>(frame.length, 8)));
    out.setExtendedFrameFormat(frame.has(Frame::Extended));
    return out;
}

Frame fromQt(const QCanBusFrame &frame)
{
    const QByteArray payload = frame.payload();
    Frame out;
    out.id = frame.frameId();
    out.flags = frame.hasExtendedFrameFormat() ? Frame::Extended : 0;
    out.length = quint8(std::min<qsizetype>(payload.size(), qsizetype(out.data.size())));
    std::memcpy(out.data.data(), payload.constData(), out.length);
    return out;
}

} // namespace

std::unique_ptr<SerialBusLink> SerialBusLink::create(const QString &plugin, const QString &interface,
                                                     unsigned bitrate, QString *error)
{
    std::unique_ptr<QCanBusDevice> device(QCanBus::instance()->createDevice(plugin, interface, error));
    if (!device)
        return nullptr;
    return std::unique_ptr<SerialBusLink>(
        new SerialBusLink(plugin + QLatin1Char(' ') + interface, std::move(device), bitrate));
}

SerialBusLink::SerialBusLink(QString name, std::unique_ptr<QCanBusDevice> device, unsigned bitrate)
    : name(std::move(name))
    , device(std::move(device))
    , bitrate(bitrate)
{
}

// Closing on purpose is no loss.
SerialBusLink::~SerialBusLink()
{
    device->disconnect(this);
    if (device->state() == QCanBusDevice::ConnectedState)
        device->disconnectDevice();
}

bool SerialBusLink::open(int timeoutMs, QString *error)
{
    connect(device.get(), &QCanBusDevice::framesReceived, this, &SerialBusLink::read);
    // Plugins without a bit rate of their own (virtualcan) ignore it; socketcan
    // keeps the one its interface was brought up with unless it may change it.
    device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(bitrate));
    // Some plugins take any interface name and only flag it as wrong.
    if (device->error() != QCanBusDevice::NoError || !device->connectDevice()) {
        *error = device->errorString();
        return false;
    }
    if (device->state() == QCanBusDevice::ConnectingState) {
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        QObject::connect(device.get(), &QCanBusDevice::stateChanged, &loop, &QEventLoop::quit);
        // No clicks meanwhile: whoever asked is still opening its bus.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (device->state() != QCanBusDevice::ConnectedState) {
        *error = device->state() == QCanBusDevice::ConnectingState
            ? QStringLiteral("no connection within %1 ms").arg(timeoutMs)
            : device->errorString();
        return false;
    }
    connect(device.get(), &QCanBusDevice::errorOccurred, this, &SerialBusLink::deviceError);
    connect(device.get(), &QCanBusDevice::stateChanged, this, [this](QCanBusDevice::CanBusDeviceState state) {
        if (state != QCanBusDevice::ConnectedState)
            end(QLatin1String(busloss::adapterGone));
    });
    return true;
}

bool SerialBusLink::write(const Frame &frame)
{
    if (hasEnded())
        return false;
    const QCanBusFrame out = toQt(frame);
    if (!device->writeFrame(out)) {
        qCDebug(lcSerialBus).noquote() << name << "refused" << out.toString() << device->errorString();
        return false;
    }
    return true;
}

void SerialBusLink::read()
{
    if (hasEnded())
        return;
    for (const QCanBusFrame &frame : device->readAllFrames()) {
        if (frame.frameType() == QCanBusFrame::DataFrame && frame.isValid() && !frame.hasFlexibleDataRateFormat())
            keep(fromQt(frame));
        else
            qCDebug(lcSerialBus).noquote() << name << "passes over a frame of type" << frame.frameType()
                                           << frame.toString() << device->interpretErrorFrame(frame);
    }
    announce();
}

// A refused frame fails its own transmit, not the bus: a full transmit queue
// empties again. An error that takes the adapter off the bus ends the link
// through its state.
void SerialBusLink::deviceError(QCanBusDevice::CanBusError error)
{
    if (hasEnded() || device->state() != QCanBusDevice::ConnectedState)
        return;
    if (error == QCanBusDevice::WriteError)
        emit problem(device->errorString());
    else
        emit fault(device->errorString());
}

} // namespace bus
