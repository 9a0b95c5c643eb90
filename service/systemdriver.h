#pragma once

#include "xl/driver.h"

namespace sim {
class KorvelDevice;
}

namespace service {

// The driver of this machine, for the life of the program: it installs itself
// for the xl* calls while it lives. Its channels, by index: the CAN adapters
// of the Qt SerialBus plugins ("socketcan can0", …), then the simulated
// device "Korvel-Simulator", then the virtual buses ("virtualcan can0" and
// "virtualcan can1"), so that the index of a real adapter does not move when
// the others change. Adapters that appear later join at the end.
class SystemDriver : public xl::Driver
{
public:
    SystemDriver();
    ~SystemDriver() override;

    // Adds the adapters plugged in since the list was made, after the others;
    // those gone stay listed and fail to open.
    void addNewAdapters();

    // The device behind the channel "Korvel-Simulator".
    sim::KorvelDevice &simulatedDevice() { return *simulated; }

private:
    sim::KorvelDevice *simulated = nullptr;  // owned by its channel
};

} // namespace service
