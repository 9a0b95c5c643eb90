#include "xl/buschannels.h"

#include "bus/serialbuslink.h"
#include "virtualbus/virtualcanaddress.h"
#include "virtualbus/virtualcanlink.h"

#include <QCanBus>

namespace xl {

std::unique_ptr<LinkChannel> serialBusChannel(const QString &plugin, const QString &device)
{
    return std::make_unique<LinkChannel>(plugin + QLatin1Char(' ') + device,
                                         [plugin, device](unsigned bitrate, QString *error) {
                                             return bus::SerialBusLink::create(plugin, device, bitrate, error);
                                         });
}

std::vector<std::unique_ptr<LinkChannel>> findSerialBusChannels()
{
    const QCanBus *canBus = QCanBus::instance();
    QStringList plugins = canBus->plugins();
    plugins.removeAll(virtualbus::virtualCanPlugin);
    plugins.sort();
    std::vector<std::unique_ptr<LinkChannel>> found;
    for (const QString &plugin : std::as_const(plugins)) {
        QString error;
        const QList<QCanBusDeviceInfo> infos = canBus->availableDevices(plugin, &error);
        if (!error.isEmpty()) {
            qCInfo(lcSerialBus).noquote() << "plugin" << plugin << "skipped:" << error;
            continue;
        }
        QStringList devices;
        for (const QCanBusDeviceInfo &info : infos)
            devices << info.name();
        devices.sort();
        for (const QString &device : std::as_const(devices)) {
            // Some plugins (tinycan) list devices that their missing vendor
            // library can never open: only a device the plugin creates counts.
            if (!bus::SerialBusLink::create(plugin, device, 0, &error)) {
                qCInfo(lcSerialBus).noquote() << plugin << device << "skipped:" << error;
                continue;
            }
            found.push_back(serialBusChannel(plugin, device));
        }
    }
    return found;
}

// The virtual bus has no bit rate: every frame arrives whole.
std::vector<std::unique_ptr<LinkChannel>> virtualCanChannels()
{
    std::vector<std::unique_ptr<LinkChannel>> channels;
    for (const QString &device : {QStringLiteral("can0"), QStringLiteral("can1")}) {
        const virtualbus::VirtualCanAddress address = *virtualbus::parseVirtualCanAddress(device);
        channels.push_back(std::make_unique<LinkChannel>(virtualbus::virtualCanPlugin + QLatin1Char(' ') + device,
                                                         [address](unsigned, QString *) {
                                                             return std::make_unique<virtualbus::VirtualCanLink>(address);
                                                         }));
    }
    return channels;
}

} // namespace xl
