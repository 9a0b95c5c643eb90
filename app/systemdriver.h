#pragma once

#include "xl/driver.h"

namespace sim {
class KorvelDevice;
}

namespace app {

// The driver of this machine, for the life of the program: it installs itself
// for the xl* calls while it lives. Its channels, by index: the CAN adapters
// of the Qt SerialBus plugins ("socketcan can0", …), then the simulated
// device "Korvel-Simulator", then the virtual buses ("virtualcan can0" and
// "virtualcan can1"), so that the index of a real adapter does not move when
// the others change. They are listed once, when the driver is made.
class SystemDriver : public xl::Driver
{
public:
    SystemDriver();
    ~SystemDriver() override;

    // The device behind the channel "Korvel-Simulator".
    sim::KorvelDevice &simulatedDevice() { return *simulated; }

private:
    sim::KorvelDevice *simulated = nullptr;  // owned by its channel
};

} // namespace app
