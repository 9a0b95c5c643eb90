#pragma once

#include <QString>

namespace xl {

// The interface name that puts a Qt "virtualcan" device on the virtual bus of
// this machine: a TCP bus on 127.0.0.1 whose port is Qt's own (35468) unless
// the environment variable KORVEL_VIRTUALCAN_PORT names another, so that
// tests and benches can run buses side by side. device is "can0" or "can1".
QString virtualCanInterface(const QString &device);

inline const QString virtualCanPlugin = QStringLiteral("virtualcan");

// The interface name from which plugin creates device: for virtualcan the bus
// above, unless device is a full URL already; for every other plugin the
// device's own name.
QString serialBusInterface(const QString &plugin, const QString &device);

} // namespace xl
