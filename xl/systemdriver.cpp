#include "xl/systemdriver.h"

#include "sim/simulatorchannel.h"
#include "xl/serialbuschannel.h"
#include "xl/virtualcanchannel.h"

namespace xl {

SystemDriver::SystemDriver()
{
    for (auto &channel : findSerialBusChannels())
        addChannel(std::move(channel));
    auto simulator = std::make_unique<sim::SimulatorChannel>();
    simulated = &simulator->device();
    addChannel(std::move(simulator));
    for (auto &channel : virtualCanChannels())
        addChannel(std::move(channel));
    install(this);
}

// The base uninstalls the driver.
SystemDriver::~SystemDriver() = default;

} // namespace xl
