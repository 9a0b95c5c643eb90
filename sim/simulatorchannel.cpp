#include "sim/simulatorchannel.h"

namespace sim {

SimulatorChannel::SimulatorChannel()
    : Channel(QStringLiteral("Korvel-Simulator"))
{
    QObject::connect(&simulated, &KorvelDevice::frameOut, &faults, &FaultyLink::send);
    QObject::connect(&faults, &FaultyLink::received, &simulated, &KorvelDevice::handleFrame);
    QObject::connect(&faults, &FaultyLink::sent, &faults, [this](const bus::Frame &frame) {
        deliver(xl::toEvent(frame));
    });
}

SimulatorChannel::~SimulatorChannel() = default;

// The console's frame holds the bus as the device's do; one the bus cannot
// take for now is refused as by a full transmit queue.
XlStatus SimulatorChannel::write(const XlEvent &frame)
{
    return faults.carry(xl::toFrame(frame)) ? XL_SUCCESS : XL_ERR_TX_NOT_POSSIBLE;
}

} // namespace sim
