#pragma once

#include "xl/xlapi.h"

#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QList>
#include <QLoggingCategory>
#include <QString>

#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcSerialBus)

// The one way onto Qt SerialBus, for every part of the program that uses a
// plugin's device: made, connected and read the same way everywhere.
namespace xl {

// The plugin's device for the interface, not yet connected; nullptr, and why
// in *error, when the plugin cannot make it.
std::unique_ptr<QCanBusDevice> createSerialBusDevice(const QString &plugin, const QString &interface,
                                                     QString *error);

// Sets the bit rate where the plugin takes one and connects, waiting at most
// timeoutMs in a local event loop without user input; false, and why in
// *error, when the device is not connected then.
bool connectSerialBusDevice(QCanBusDevice &device, unsigned bitrate, int timeoutMs, QString *error);

// The frames waiting on the device that carry data: remote requests, error
// frames, invalid frames and CAN FD frames are passed over, each traced at
// debug level with the name of whoever reads.
QList<QCanBusFrame> readDataFrames(QCanBusDevice &device, const QString &reader);

// A frame a port transmits as Qt SerialBus carries it: a 29-bit identifier
// exactly when the event's identifier has XL_CAN_EXT_MSG_ID (0x7FF may be a
// 29-bit one as well), with min(DLC, 8) data bytes.
QCanBusFrame serialBusFrame(const XlEvent &event);

} // namespace xl
