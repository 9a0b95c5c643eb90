#include "xl/xlapi.h"

#include "xl/driver.h"

using xl::Driver;

XlStatus xlOpenDriver()
{
    return Driver::current().openDriver();
}

XlStatus xlGetDriverConfig(XlDriverConfig *config)
{
    return Driver::current().getDriverConfig(config);
}

XlStatus xlOpenPort(XlPortHandle *port, const char *appName, XlAccess accessMask,
                    XlAccess *permissionMask, unsigned rxQueueSize, unsigned interfaceVersion,
                    unsigned busType)
{
    return Driver::current().openPort(port, appName, accessMask, permissionMask, rxQueueSize,
                                      interfaceVersion, busType);
}

XlStatus xlCanSetChannelOutput(XlPortHandle port, XlAccess accessMask, int mode)
{
    return Driver::current().canSetChannelOutput(port, accessMask, mode);
}

XlStatus xlCanSetChannelBitrate(XlPortHandle port, XlAccess accessMask, unsigned bitrate)
{
    return Driver::current().canSetChannelBitrate(port, accessMask, bitrate);
}

XlStatus xlActivateChannel(XlPortHandle port, XlAccess accessMask, unsigned busType,
                           unsigned flags)
{
    return Driver::current().activateChannel(port, accessMask, busType, flags);
}

XlStatus xlSetNotification(XlPortHandle port, XlHandle *handle, int queueLevel)
{
    return Driver::current().setNotification(port, handle, queueLevel);
}

XlStatus xlReceive(XlPortHandle port, unsigned *eventCount, XlEvent *events)
{
    return Driver::current().receive(port, eventCount, events);
}

XlStatus xlCanTransmit(XlPortHandle port, XlAccess accessMask, unsigned *messageCount,
                       const XlEvent *messages)
{
    return Driver::current().canTransmit(port, accessMask, messageCount, messages);
}

XlStatus xlGetPortState(XlPortHandle port, XlPortState *state)
{
    return Driver::current().getPortState(port, state);
}

XlStatus xlClosePort(XlPortHandle port)
{
    return Driver::current().closePort(port);
}

XlStatus xlCloseDriver()
{
    return Driver::current().closeDriver();
}
