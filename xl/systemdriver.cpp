#include "xl/systemdriver.h"

#include "sim/simulatorchannel.h"
#include "xl/serialbuschannel.h"

namespace xl {

SystemDriver::SystemDriver()
{
    SerialBusChannels serialBus = findSerialBusChannels();
    for (auto &channel : serialBus.hardware)
        addChannel(std::move(channel));
    auto simulator = std::make_unique<sim::SimulatorChannel>();
    simulated = &simulator->device();
    addChannel(std::move(simulator));
    for (auto &channel : serialBus.virtualBuses)
        addChannel(std::move(channel));
    install(this);
}

// The base uninstalls the driver.
SystemDriver::~SystemDriver() = default;

} // namespace xl
