#pragma once

#include "xl/driver.h"

namespace sim {
class KorvelDevice;
}

namespace xl {

// The driver of this machine, for the life of the program: it installs itself
// for the xl* calls while it lives. Its channels, by index: real CAN adapters
// first once there are any, then the simulated device, then virtual buses, so
// that the index of a real adapter does not move when the others change.
class SystemDriver : public Driver
{
public:
    SystemDriver();
    ~SystemDriver() override;

    // The device behind the channel "Korvel-Simulator".
    sim::KorvelDevice &simulatedDevice() { return *simulated; }

private:
    sim::KorvelDevice *simulated = nullptr;  // owned by its channel
};

} // namespace xl
