#include "sim/simulatorchannel.h"

namespace sim {

SimulatorChannel::SimulatorChannel()
    : Channel(QStringLiteral("Korvel-Simulator"))
{
    QObject::connect(&simulated, &KorvelDevice::frameOut, &simulated,
                     [this](quint32 id, bool extended, const QByteArray &data) {
                         deliver(xl::receivedEvent(id, extended, data));
                     });
}

SimulatorChannel::~SimulatorChannel() = default;

XlStatus SimulatorChannel::write(const XlEvent &frame)
{
    simulated.handleFrame(frame.id & ~XL_CAN_EXT_MSG_ID, frame.id & XL_CAN_EXT_MSG_ID,
                          frame.dlc, frame.data);
    return XL_SUCCESS;
}

} // namespace sim
