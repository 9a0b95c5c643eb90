#include "sim/simulatorchannel.h"

#include "xl/serialbusdevice.h"

namespace sim {

SimulatorChannel::SimulatorChannel()
    : Channel(QStringLiteral("Korvel-Simulator"))
{
    QObject::connect(&simulated, &KorvelDevice::frameOut, &faults, &FaultyLink::send);
    QObject::connect(&faults, &FaultyLink::received, &simulated, &KorvelDevice::handleFrame);
    QObject::connect(&faults, &FaultyLink::sent, &faults, [this](const QCanBusFrame &frame) {
        deliver(xl::receivedEvent(frame.frameId(), frame.hasExtendedFrameFormat(), frame.payload()));
    });
}

SimulatorChannel::~SimulatorChannel() = default;

XlStatus SimulatorChannel::write(const XlEvent &frame)
{
    faults.receive(xl::serialBusFrame(frame));
    return XL_SUCCESS;
}

} // namespace sim
