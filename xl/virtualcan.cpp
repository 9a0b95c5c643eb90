#include "xl/virtualcan.h"

#include <QtGlobal>

namespace xl {

namespace {
constexpr quint16 qtDefaultPort = 35468;
} // namespace

QString virtualCanInterface(const QString &device)
{
    bool valid = false;
    const uint port = qEnvironmentVariable("KORVEL_VIRTUALCAN_PORT").toUInt(&valid);
    return QStringLiteral("tcp://127.0.0.1:%1/%2")
        .arg(valid && port > 0 && port <= 65535 ? port : qtDefaultPort)
        .arg(device);
}

QString serialBusInterface(const QString &plugin, const QString &device)
{
    return plugin == virtualCanPlugin && !device.contains(QLatin1String("://")) ? virtualCanInterface(device)
                                                                               : device;
}

} // namespace xl
