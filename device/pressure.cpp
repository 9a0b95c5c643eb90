#include "device/pressure.h"

#include "device/dialogue.h"
#include "protocol/deviceprotocol.h"

#include <QtEndian>

namespace device {

std::optional<PressureValues> pressureReply(const VectorCAN::Message &msg)
{
    if (!isReply(msg) || msg.data[1] != protocol::pressureValues)
        return std::nullopt;
    return PressureValues{qFromBigEndian<quint16>(msg.data + 2), qFromBigEndian<quint16>(msg.data + 4),
                          qFromBigEndian<quint16>(msg.data + 6)};
}

} // namespace device
