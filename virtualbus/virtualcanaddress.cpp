#include "virtualbus/virtualcanaddress.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QtGlobal>

namespace virtualbus {

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

bool VirtualCanAddress::isLoopback() const
{
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}

QString VirtualCanAddress::toString() const
{
    // An IPv6 host goes back into the brackets that keep its colons apart from the port's.
    const QString bracketed = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("tcp://%1:%2/can%3").arg(bracketed).arg(port).arg(bus);
}

std::optional<VirtualCanAddress> parseVirtualCanAddress(const QString &device, QString *error)
{
    // Parsed by hand: QUrl takes a port above 65535 as no port at all, and the
    // bus name must be exactly can0 or can1.
    // Anchored whole: a plain $ would let a trailing newline through.
    static const QRegularExpression url(QRegularExpression::anchoredPattern(
        QStringLiteral(R"(tcp://([A-Za-z0-9.\-]+|\[[0-9A-Fa-f:.]+\])(?::(\d{1,5}))?/can([01]))")));
    static const QRegularExpression bare(QRegularExpression::anchoredPattern(QStringLiteral("can([01])")));
    const QString full = device.contains(QLatin1String("://")) ? device : virtualCanInterface(device);
    const QRegularExpressionMatch match = url.match(full);
    const bool named = device.contains(QLatin1String("://")) || bare.match(device).hasMatch();
    if (!named || !match.hasMatch()) {
        if (error)
            *error = QStringLiteral("\"%1\" is no virtual bus: give can0, can1 or tcp://<host>:<port>/can0").arg(device);
        return std::nullopt;
    }
    VirtualCanAddress address;
    address.host = match.captured(1);
    if (address.host.startsWith(QLatin1Char('[')))
        address.host = address.host.mid(1, address.host.size() - 2);
    const uint port = match.captured(2).isEmpty() ? qtDefaultPort : match.captured(2).toUInt();
    if (port == 0 || port > 65535) {
        if (error)
            *error = QStringLiteral("port %1 of \"%2\" is not within 1 to 65535").arg(match.captured(2), device);
        return std::nullopt;
    }
    address.port = quint16(port);
    address.bus = match.captured(3).toInt();
    return address;
}

} // namespace virtualbus
