#include "scripteddriver.h"

#include <cstring>

XlStatus ScriptedChannel::write(const XlEvent &frame)
{
    written.append(QByteArray(reinterpret_cast<const char *>(&frame), sizeof frame));
    return writeStatus;
}

ScriptedDriver::ScriptedDriver()
{
    install(this);
}

ScriptedDriver::~ScriptedDriver()
{
    install(nullptr);
}

ScriptedChannel *ScriptedDriver::addScriptedChannel(const QString &name, bool canCapable)
{
    auto channel = std::make_unique<ScriptedChannel>(name, canCapable);
    ScriptedChannel *added = channel.get();
    addChannel(std::move(channel));
    return added;
}

std::optional<XlStatus> ScriptedDriver::scripted(const char *call)
{
    calls.append(QString::fromLatin1(call));
    const auto it = failures.constFind(QString::fromLatin1(call));
    if (it == failures.constEnd())
        return std::nullopt;
    return *it;
}

XlStatus ScriptedDriver::openDriver()
{
    if (auto failure = scripted("xlOpenDriver"))
        return *failure;
    return Driver::openDriver();
}

XlStatus ScriptedDriver::getDriverConfig(XlDriverConfig *config)
{
    if (auto failure = scripted("xlGetDriverConfig"))
        return *failure;
    const XlStatus status = Driver::getDriverConfig(config);
    if (status == XL_SUCCESS && editConfig)
        editConfig(*config);
    return status;
}

XlStatus ScriptedDriver::openPort(XlPortHandle *port, const char *name, XlAccess accessMask,
                                  XlAccess *permissionMask, unsigned rxQueueSize,
                                  unsigned interfaceVersion, unsigned busType)
{
    appName = QByteArray(name, XL_MAX_APPNAME);
    if (auto failure = scripted("xlOpenPort"))
        return *failure;
    const XlStatus status = Driver::openPort(port, name, accessMask, permissionMask, rxQueueSize,
                                             interfaceVersion, busType);
    if (status == XL_SUCCESS) {
        *permissionMask &= ~withheldPermission;
        if (invalidPortHandle) {
            Driver::closePort(*port);
            *port = XL_INVALID_PORTHANDLE;
        }
    }
    return status;
}

XlStatus ScriptedDriver::canSetChannelOutput(XlPortHandle port, XlAccess accessMask, int mode)
{
    if (auto failure = scripted("xlCanSetChannelOutput"))
        return *failure;
    return Driver::canSetChannelOutput(port, accessMask, mode);
}

XlStatus ScriptedDriver::canSetChannelBitrate(XlPortHandle port, XlAccess accessMask,
                                              unsigned bitrate)
{
    if (auto failure = scripted("xlCanSetChannelBitrate"))
        return *failure;
    return Driver::canSetChannelBitrate(port, accessMask, bitrate);
}

XlStatus ScriptedDriver::activateChannel(XlPortHandle port, XlAccess accessMask,
                                         unsigned busType, unsigned flags)
{
    if (auto failure = scripted("xlActivateChannel"))
        return *failure;
    return Driver::activateChannel(port, accessMask, busType, flags);
}

XlStatus ScriptedDriver::setNotification(XlPortHandle port, XlHandle *handle, int queueLevel)
{
    if (auto failure = scripted("xlSetNotification"))
        return *failure;
    return Driver::setNotification(port, handle, queueLevel);
}

// Receiving is not logged: the poll timer calls it at any time.
XlStatus ScriptedDriver::receive(XlPortHandle port, unsigned *eventCount, XlEvent *events)
{
    if (auto failure = failures.constFind(QStringLiteral("xlReceive")); failure != failures.constEnd())
        return *failure;
    return Driver::receive(port, eventCount, events);
}

XlStatus ScriptedDriver::canTransmit(XlPortHandle port, XlAccess accessMask,
                                     unsigned *messageCount, const XlEvent *messages)
{
    if (auto failure = scripted("xlCanTransmit"))
        return *failure;
    return Driver::canTransmit(port, accessMask, messageCount, messages);
}

XlStatus ScriptedDriver::closePort(XlPortHandle port)
{
    if (auto failure = scripted("xlClosePort"))
        return *failure;
    return Driver::closePort(port);
}

XlStatus ScriptedDriver::closeDriver()
{
    if (auto failure = scripted("xlCloseDriver"))
        return *failure;
    return Driver::closeDriver();
}

XlEvent rxEvent(quint32 id, bool extended, const QByteArray &data, quint16 flags)
{
    XlEvent event{};
    event.tag = XL_RECEIVE_MSG;
    event.id = extended ? (id | XL_CAN_EXT_MSG_ID) : id;
    event.flags = flags;
    event.dlc = quint16(data.size());
    std::memcpy(event.data, data.constData(), size_t(qMin(data.size(), XL_CAN_MAX_DATA)));
    return event;
}
