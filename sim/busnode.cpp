#include "sim/busnode.h"

#include <QTimer>

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
    way.reset();
}

// Attached or not, it is said from the event loop, so that attach() returns
// before anything is reported.
void BusNode::attach(std::unique_ptr<bus::Link> onto, int timeoutMs)
{
    way = std::move(onto);
    connect(way.get(), &bus::Link::framesArrived, this, &BusNode::receiveFrames);
    QString reason;
    if (!way->open(timeoutMs, &reason)) {
        way.reset();
        QTimer::singleShot(0, this, [this, reason] { fail(reason); });
        return;
    }
    connect(way.get(), &bus::Link::lost, this, &BusNode::fail);
    connect(way.get(), &bus::Link::problem, this, &BusNode::problem);
    connect(way.get(), &bus::Link::fault, this, &BusNode::problem);
    QTimer::singleShot(0, this, &BusNode::attached);
}

void BusNode::fail(const QString &reason)
{
    if (off)
        return;
    off = true;
    emit failed(reason);
}

// All that waits: the device is as fast as any flood.
void BusNode::receiveFrames()
{
    received.clear();
    way->take(received, bus::Link::handoffCapacity);
    for (const bus::Frame &frame : received) {
        if (frame.isClassicData())
            faults.receive(frame);
    }
}

// A frame the bus refuses is reported through problem().
void BusNode::transmit(const bus::Frame &frame)
{
    if (way)
        way->write(frame);
}

} // namespace sim
