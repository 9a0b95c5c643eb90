#include "virtualbus/makelink.h"

#include "bus/serialbuslink.h"
#include "virtualbus/virtualcanaddress.h"
#include "virtualbus/virtualcanlink.h"

namespace virtualbus {

std::unique_ptr<bus::Link> makeLink(const QString &plugin, const QString &interface, unsigned bitrate,
                                    QString *error)
{
    if (plugin != virtualCanPlugin)
        return bus::SerialBusLink::create(plugin, interface, bitrate, error);
    const std::optional<VirtualCanAddress> address = parseVirtualCanAddress(interface, error);
    if (!address)
        return nullptr;
    return std::make_unique<VirtualCanLink>(*address);
}

} // namespace virtualbus
