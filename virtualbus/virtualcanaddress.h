#pragma once

#include <QString>

#include <optional>

namespace virtualbus {

// The interface name that puts a Qt "virtualcan" device on the virtual bus of
// this machine: a TCP bus on 127.0.0.1 whose port is Qt's own (35468) unless
// the environment variable KORVEL_VIRTUALCAN_PORT names another, so that
// tests and benches can run buses side by side. device is "can0" or "can1".
QString virtualCanInterface(const QString &device);

inline const QString virtualCanPlugin = QStringLiteral("virtualcan");

// Where a virtual bus is: the hub's address and port, and the bus on it
// (0 for can0, 1 for can1).
struct VirtualCanAddress
{
    QString host;
    quint16 port = 0;
    int bus = 0;

    bool isLoopback() const;
    // "tcp://127.0.0.1:35468/can0"
    QString toString() const;
};

// Reads "can0", "can1" (on this machine's bus, as virtualCanInterface() names
// it) or a full "tcp://<host>:<port>/can0" URL; the port may be left out for
// Qt's own. Anything else, a port outside 1 … 65535 included, gives nullopt
// and the reason in *error.
std::optional<VirtualCanAddress> parseVirtualCanAddress(const QString &device, QString *error = nullptr);

} // namespace virtualbus
