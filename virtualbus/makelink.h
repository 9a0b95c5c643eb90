#pragma once

#include "bus/link.h"

#include <QString>

#include <memory>

namespace virtualbus {

// The link, not yet open, onto the interface of a Qt SerialBus plugin: our own
// client for "virtualcan", whose interface is a virtual bus as
// parseVirtualCanAddress() reads it, else the plugin's device at the bit rate.
// nullptr, and why in *error, when there is no such bus or device.
std::unique_ptr<bus::Link> makeLink(const QString &plugin, const QString &interface, unsigned bitrate,
                                    QString *error);

} // namespace virtualbus
