#pragma once

#include "xl/driver.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

// A channel that records every frame the driver's ports put on it, byte by
// byte, and injects events of any content as if they came from the bus.
class ScriptedChannel : public xl::Channel
{
public:
    using Channel::Channel;

    XlStatus write(const XlEvent &frame) override;
    void inject(const XlEvent &event) const { deliver(event); }

    QList<QByteArray> written;
    XlStatus writeStatus = XL_SUCCESS;
};

// The real driver, installed for the xl* calls while it lives, with hooks that
// make it misbehave on purpose and a log of the calls it was given.
class ScriptedDriver : public xl::Driver
{
public:
    ScriptedDriver();
    ~ScriptedDriver() override;

    ScriptedChannel *addScriptedChannel(const QString &name, bool canCapable = true);
    // From now on the named call ("xlOpenPort", …) returns the status and does nothing else.
    void failCall(const QString &call, XlStatus status) { failures.insert(call, status); }

    QStringList calls;                                 // every call, in order
    QByteArray appName;                                // the name field xlOpenPort was given
    XlAccess withheldPermission = 0;                   // bits xlOpenPort takes out of the permission mask
    bool invalidPortHandle = false;                    // xlOpenPort succeeds with the handle -1
    std::function<void(XlDriverConfig &)> editConfig;  // rewrites the configuration handed out

    XlStatus openDriver() override;
    XlStatus getDriverConfig(XlDriverConfig *config) override;
    XlStatus openPort(XlPortHandle *port, const char *name, XlAccess accessMask,
                      XlAccess *permissionMask, unsigned rxQueueSize, unsigned interfaceVersion,
                      unsigned busType) override;
    XlStatus canSetChannelOutput(XlPortHandle port, XlAccess accessMask, int mode) override;
    XlStatus canSetChannelBitrate(XlPortHandle port, XlAccess accessMask, unsigned bitrate) override;
    XlStatus activateChannel(XlPortHandle port, XlAccess accessMask, unsigned busType,
                             unsigned flags) override;
    XlStatus setNotification(XlPortHandle port, XlHandle *handle, int queueLevel) override;
    XlStatus receive(XlPortHandle port, unsigned *eventCount, XlEvent *events) override;
    XlStatus canTransmit(XlPortHandle port, XlAccess accessMask, unsigned *messageCount,
                         const XlEvent *messages) override;
    XlStatus closePort(XlPortHandle port) override;
    XlStatus closeDriver() override;

private:
    std::optional<XlStatus> scripted(const char *call);

    QHash<QString, XlStatus> failures;
};

// A received CAN event as the bus would deliver it.
XlEvent rxEvent(quint32 id, bool extended, const QByteArray &data, quint16 flags = 0);
