#include "xl/systemdriver.h"

#include "sim/simulatorchannel.h"

namespace xl {

SystemDriver::SystemDriver()
{
    auto simulator = std::make_unique<sim::SimulatorChannel>();
    simulated = &simulator->device();
    addChannel(std::move(simulator));
    install(this);
}

// The base uninstalls the driver.
SystemDriver::~SystemDriver() = default;

} // namespace xl
