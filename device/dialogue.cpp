#include "device/dialogue.h"

#include "protocol/deviceprotocol.h"

#include <algorithm>

namespace device {

VectorCAN::Message request(quint8 subCommand, quint8 row, quint8 column)
{
    VectorCAN::Message msg;
    msg.id = protocol::requestId;
    msg.extended = true;
    msg.dlc = 8;
    msg.data[0] = protocol::service;
    msg.data[1] = subCommand;
    msg.data[2] = row;
    msg.data[3] = column;
    return msg;
}

bool isReply(const VectorCAN::Message &msg)
{
    return msg.extended && msg.id == protocol::responseId && msg.dlc == 8 && msg.data[0] == protocol::service;
}

VectorCAN::Message nmhFrame()
{
    VectorCAN::Message msg;
    msg.id = protocol::nmhId;
    msg.extended = true;
    msg.dlc = qint32(protocol::nmhFrame.size());
    std::copy(protocol::nmhFrame.begin(), protocol::nmhFrame.end(), msg.data);
    return msg;
}

QByteArray activationMessage()
{
    return protocol::bytes(protocol::activation).toByteArray();
}

} // namespace device
