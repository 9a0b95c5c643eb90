#include "sim/busnode.h"

#include "sim/buspace.h"
#include "bus/busloss.h"
#include "xl/serialbusdevice.h"

#include <QTimer>

#include <cstring>

namespace sim {

BusNode::BusNode(QObject *parent)
    : QObject(parent)
{
    connect(&simulated, &KorvelDevice::frameOut, &faults, &FaultyLink::send);
    connect(&faults, &FaultyLink::received, &simulated, &KorvelDevice::handleFrame);
    connect(&faults, &FaultyLink::sent, this, &BusNode::transmit);
}

// The bus goes before the device it would otherwise call.
BusNode::~BusNode()
{
    bus.reset();
    virtualBus.reset();
}

// Attached or not, it is said from the event loop, so that attach() returns
// before anything is reported.
void BusNode::attach(const QString &plugin, const QString &interface, int timeoutMs)
{
    QString reason;
    const bool on = plugin == virtualbus::virtualCanPlugin ? attachVirtual(interface, timeoutMs, &reason)
                                                   : attachSerialBus(plugin, interface, timeoutMs, &reason);
    if (on)
        QTimer::singleShot(0, this, &BusNode::attached);
    else
        QTimer::singleShot(0, this, [this, reason] { fail(reason); });
}

bool BusNode::attachSerialBus(const QString &plugin, const QString &interface, int timeoutMs, QString *reason)
{
    bus = xl::createSerialBusDevice(plugin, interface, reason);
    if (!bus || !xl::connectSerialBusDevice(*bus, busBitRate, timeoutMs, reason))
        return false;
    connect(bus.get(), &QCanBusDevice::framesReceived, this, [this] {
        for (const QCanBusFrame &frame : xl::readDataFrames(*bus, QStringLiteral("simulated device")))
            faults.receive(frame);
    });
    connect(bus.get(), &QCanBusDevice::errorOccurred, this, [this] {
        if (bus->state() == QCanBusDevice::ConnectedState)
            emit problem(bus->errorString());
    });
    connect(bus.get(), &QCanBusDevice::stateChanged, this, [this](QCanBusDevice::CanBusDeviceState state) {
        if (state == QCanBusDevice::UnconnectedState) {
            const QString why = bus->errorString();
            fail(why.isEmpty() ? QLatin1String(bus::busloss::closed) : why);
        }
    });
    return true;
}

bool BusNode::attachVirtual(const QString &interface, int timeoutMs, QString *reason)
{
    const std::optional<virtualbus::VirtualCanAddress> address = virtualbus::parseVirtualCanAddress(interface, reason);
    if (!address)
        return false;
    virtualBus = std::make_unique<virtualbus::VirtualCanLink>(*address);
    if (!virtualBus->open(timeoutMs, reason)) {
        virtualBus.reset();
        return false;
    }
    connect(virtualBus.get(), &virtualbus::VirtualCanLink::framesArrived, this, &BusNode::receiveVirtualFrames);
    connect(virtualBus.get(), &virtualbus::VirtualCanLink::lost, this, &BusNode::fail);
    return true;
}

void BusNode::fail(const QString &reason)
{
    if (off)
        return;
    off = true;
    emit failed(reason);
}

void BusNode::receiveVirtualFrames()
{
    received.clear();
    virtualBus->take(received, virtualbus::VirtualCanLink::handoffCapacity);
    for (const bus::Frame &frame : received) {
        if (!frame.isClassicData())
            continue;
        QCanBusFrame in(frame.id, QByteArray(reinterpret_cast<const char *>(frame.data.data()), frame.length));
        in.setExtendedFrameFormat(frame.has(bus::Frame::Extended));
        faults.receive(in);
    }
}

// A frame the bus refuses is reported by the plugin through errorOccurred().
void BusNode::transmit(const QCanBusFrame &frame)
{
    if (!virtualBus) {
        if (bus)
            bus->writeFrame(frame);
        return;
    }
    const QByteArray payload = frame.payload();
    bus::Frame out;
    out.id = frame.frameId();
    out.flags = frame.hasExtendedFrameFormat() ? bus::Frame::Extended : 0;
    out.length = quint8(qMin<qsizetype>(payload.size(), 8));
    std::memcpy(out.data.data(), payload.constData(), out.length);
    virtualBus->write(out);
}

} // namespace sim
