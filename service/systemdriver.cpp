#include "service/systemdriver.h"

#include "sim/simulatorchannel.h"
#include "xl/buschannels.h"

#include <QSet>

#include <algorithm>

namespace service {

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

void SystemDriver::addNewAdapters()
{
    XlDriverConfig config;
    if (getDriverConfig(&config) != XL_SUCCESS)
        return;
    QSet<QString> listed;
    for (quint32 i = 0; i < std::min<quint32>(config.channelCount, XL_MAX_CHANNELS); ++i)
        listed.insert(QString::fromLocal8Bit(config.channel[i].name, int(qstrnlen(config.channel[i].name, sizeof config.channel[i].name))));
    for (auto &channel : xl::findSerialBusChannels()) {
        if (!listed.contains(channel->name()))
            addChannel(std::move(channel));
    }
}

// The base uninstalls the driver.
SystemDriver::~SystemDriver() = default;

} // namespace service
