#pragma once

#include "can/vectorcan.h"

#include <optional>

namespace device {

// What a pressure reply carries: the calibrated value in mN and both
// sensors' raw values.
struct PressureValues
{
    quint16 cali = 0;
    quint16 raw1 = 0;
    quint16 raw2 = 0;
};

// The values of a pressure reply; none for any other frame.
std::optional<PressureValues> pressureReply(const VectorCAN::Message &msg);

} // namespace device
