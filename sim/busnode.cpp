#include "sim/busnode.h"

#include <QCanBus>
#include <QCanBusFrame>
#include <QVariant>

#include <cstring>

namespace sim {

namespace {
constexpr int bitRate = 500000;
} // namespace

BusNode::BusNode(QObject *parent)
    : QObject(parent)
{
    connectTimeout.setSingleShot(true);
    connect(&connectTimeout, &QTimer::timeout, this,
            [this] { fail(tr("no connection after %1 ms").arg(connectTimeout.interval())); });
    connect(&simulated, &KorvelDevice::frameOut, this, &BusNode::transmit);
}

BusNode::~BusNode() = default;

void BusNode::attach(const QString &plugin, const QString &interface, int timeoutMs)
{
    if (plugin == xl::virtualCanPlugin) {
        attachVirtual(interface, timeoutMs);
        return;
    }
    QString reason;
    bus = QCanBus::instance()->createDevice(plugin, interface, &reason);
    if (bus) {
        bus->setParent(this);
        // Queued, like the failures below, so that attach() returns before
        // anything is reported.
        connect(bus, &QCanBusDevice::stateChanged, this, &BusNode::onStateChanged, Qt::QueuedConnection);
        connect(bus, &QCanBusDevice::framesReceived, this, &BusNode::receiveFrames);
        connect(bus, &QCanBusDevice::errorOccurred, this, [this] {
            if (bus->state() == QCanBusDevice::ConnectedState)
                emit problem(bus->errorString());
        });
        // Plugins without a bit rate of their own (virtualcan) ignore it; socketcan
        // leaves it to the interface's configuration when it may not set it.
        bus->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(bitRate));
        // Some plugins take any interface name and only flag it as wrong.
        if (bus->error() == QCanBusDevice::NoError && bus->connectDevice()) {
            connectTimeout.start(timeoutMs);
            return;
        }
        reason = bus->errorString();
    }
    QTimer::singleShot(0, this, [this, reason] { fail(reason); });
}

// Attached or not, it is said from the event loop, as for the other plugins.
void BusNode::attachVirtual(const QString &interface, int timeoutMs)
{
    QString reason;
    const std::optional<xl::VirtualCanAddress> address = xl::parseVirtualCanAddress(interface, &reason);
    if (address) {
        link = std::make_unique<xl::VirtualCanLink>(*address);
        if (link->open(timeoutMs, &reason)) {
            connect(link.get(), &xl::VirtualCanLink::framesArrived, this, &BusNode::receiveVirtualFrames);
            connect(link.get(), &xl::VirtualCanLink::lost, this, &BusNode::fail);
            QTimer::singleShot(0, this, &BusNode::attached);
            return;
        }
        link.reset();
    }
    QTimer::singleShot(0, this, [this, reason] { fail(reason); });
}

void BusNode::fail(const QString &reason)
{
    if (off)
        return;
    off = true;
    connectTimeout.stop();
    emit failed(reason);
}

void BusNode::onStateChanged(QCanBusDevice::CanBusDeviceState state)
{
    if (state == QCanBusDevice::ConnectedState && connectTimeout.isActive()) {
        connectTimeout.stop();
        emit attached();
    } else if (state == QCanBusDevice::UnconnectedState) {
        const QString reason = bus->errorString();
        fail(reason.isEmpty() ? tr("the bus closed the connection") : reason);
    }
}

void BusNode::receiveFrames()
{
    for (const QCanBusFrame &frame : bus->readAllFrames()) {
        if (!frame.isValid() || frame.frameType() != QCanBusFrame::DataFrame)
            continue;
        const QByteArray payload = frame.payload();
        simulated.handleFrame(frame.frameId(), frame.hasExtendedFrameFormat(), int(payload.size()),
                              reinterpret_cast<const quint8 *>(payload.constData()));
    }
}

void BusNode::receiveVirtualFrames()
{
    received.clear();
    link->take(received, xl::VirtualCanLink::handoffCapacity);
    for (const xl::wire::Frame &frame : received) {
        if (frame.has(xl::wire::Frame::RemoteRequest))
            continue;
        simulated.handleFrame(frame.id, frame.has(xl::wire::Frame::Extended), frame.length, frame.data.data());
    }
}

// A frame the bus refuses is reported by the plugin through errorOccurred().
void BusNode::transmit(quint32 id, bool extended, const QByteArray &data)
{
    if (link) {
        xl::wire::Frame frame;
        frame.id = id;
        frame.flags = extended ? xl::wire::Frame::Extended : 0;
        frame.length = quint8(qMin<qsizetype>(data.size(), 8));
        std::memcpy(frame.data.data(), data.constData(), frame.length);
        link->write(frame);
        return;
    }
    QCanBusFrame frame(id, data);
    frame.setExtendedFrameFormat(extended);
    bus->writeFrame(frame);
}

} // namespace sim
