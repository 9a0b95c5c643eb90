#include "app/systemdriver.h"

#include "sim/simulatorchannel.h"
#include "xl/serialbuschannel.h"
#include "xl/virtualcanchannel.h"

namespace app {

SystemDriver::SystemDriver()
{
    for (auto &channel : xl::findSerialBusChannels())
        addChannel(std::move(channel));
    auto simulator = std::make_unique<sim::SimulatorChannel>();
    simulated = &simulator->device();
    addChannel(std::move(simulator));
    for (auto &channel : xl::virtualCanChannels())
        addChannel(std::move(channel));
    install(this);
}

// The base uninstalls the driver.
SystemDriver::~SystemDriver() = default;

} // namespace app
