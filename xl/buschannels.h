#pragma once

#include "xl/linkchannel.h"

#include <memory>
#include <vector>

namespace xl {

// The channel "<plugin> <device>" on the device that the Qt SerialBus plugin
// creates.
std::unique_ptr<LinkChannel> serialBusChannel(const QString &plugin, const QString &device);

// The channels of every CAN adapter that a Qt SerialBus plugin finds on this
// machine, each plugin's devices sorted by name and the plugins by theirs.
// Qt's virtualcan is left out: the virtual buses have a client of our own.
std::vector<std::unique_ptr<LinkChannel>> findSerialBusChannels();

// "virtualcan can0" and "virtualcan can1" on this machine's virtual buses.
std::vector<std::unique_ptr<LinkChannel>> virtualCanChannels();

} // namespace xl
