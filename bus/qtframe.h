#pragma once

#include "bus/frame.h"

#include <QCanBusFrame>

namespace bus {

// A frame as Qt SerialBus carries it, and back: the identifier, its format and
// the data; anything else a QCanBusFrame knows is not kept. A frame of more
// than 8 bytes keeps its first 8.
QCanBusFrame toQt(const Frame &frame);
// The data frame's identifier, format and data, at most 64 bytes of it.
Frame fromQt(const QCanBusFrame &frame);

} // namespace bus
