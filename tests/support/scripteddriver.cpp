#include "scripteddriver.h"

namespace tests {

XlStatus ScriptedChannel::write(const XlEvent &frame)
{
    written.append(QByteArray(reinterpret_cast<const char *>(&frame), sizeof frame));
    return XL_SUCCESS;
}

ScriptedDriver::ScriptedDriver()
{
    install(this);
}

ScriptedChannel *ScriptedDriver::addScriptedChannel(const QString &name, bool canCapable)
{
    auto channel = std::make_unique<ScriptedChannel>(name, canCapable);
    ScriptedChannel *added = channel.get();
    addChannel(std::move(channel));
    return added;
}

XlStatus ScriptedDriver::openPort(XlPortHandle *port, const char *name, XlAccess accessMask,
                                  XlAccess *permissionMask, unsigned rxQueueSize,
                                  unsigned interfaceVersion, unsigned busType)
{
    appName = QByteArray(name, XL_MAX_APPNAME);
    return scripted("xlOpenPort", [=] {
        const XlStatus status = Driver::openPort(port, name, accessMask, permissionMask,
                                                 rxQueueSize, interfaceVersion, busType);
        if (status == XL_SUCCESS && invalidPortHandle) {
            Driver::closePort(*port);
            *port = XL_INVALID_PORTHANDLE;
        }
        return status;
    });
}

} // namespace tests
