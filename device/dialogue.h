#pragma once

#include "can/vectorcan.h"

#include <QByteArray>

// How the console and the device address each other: each request is one
// frame on protocol::requestId, each reply one on protocol::responseId.
namespace device {

// The request for a sub-command; row and column only matter to touchpad data.
VectorCAN::Message request(quint8 subCommand, quint8 row = 0, quint8 column = 0);
// Whether a frame from the bus is the device's answer to a request; the
// console hears much else on the same bus.
bool isReply(const VectorCAN::Message &msg);
// The NMH frame, for whoever on the bus listens.
VectorCAN::Message nmhFrame();
// The ISO-TP message that switches the device's TP diagnosis on.
QByteArray activationMessage();

} // namespace device
