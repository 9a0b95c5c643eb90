#pragma once

#include "sim/faultylink.h"
#include "sim/korveldevice.h"
#include "xl/channel.h"

namespace sim {

// The channel "Korvel-Simulator": the simulated device as the one other node on
// the bus, behind a link that may be made faulty. What the console transmits
// reaches the device, and what the device sends arrives at the console's ports
// as received frames, always from the event loop, so the console's transmit
// receipt comes before the reply. Both share the bus at its bit rate: the
// device's replies queue behind the console's frames.
class SimulatorChannel : public xl::Channel
{
public:
    SimulatorChannel();
    ~SimulatorChannel() override;

    KorvelDevice &device() { return simulated; }
    FaultyLink &link() { return faults; }

    XlStatus write(const XlEvent &frame) override;

private:
    KorvelDevice simulated;
    FaultyLink faults;
};

} // namespace sim
