#pragma once

#include "xl/driver.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>

namespace tests {

// A channel that records every frame the driver's ports put on it, byte by
// byte, and injects events of any content as if they came from the bus.
class ScriptedChannel : public xl::Channel
{
public:
    using Channel::Channel;

    XlStatus write(const XlEvent &frame) override;
    XlStatus goOnBus(unsigned rate) override { bitrate = rate; return Channel::goOnBus(rate); }
    void inject(const XlEvent &event) const { deliver(event); }
    void injectLoss(quint64 frames) const { lose(frames); }
    void injectFailure(const QString &reason) { fail(reason); }

    QList<QByteArray> written;
    unsigned bitrate = 0;  // the bus's, as the channel was last put on it
};

// The real driver, installed for the xl* calls while it lives, with hooks that
// make it misbehave on purpose and a log of the calls it was given.
class ScriptedDriver : public xl::Driver
{
public:
    ScriptedDriver();

    ScriptedChannel *addScriptedChannel(const QString &name, bool canCapable = true);
    // From now on the named call ("xlOpenPort", …) returns the status and does nothing else.
    void failCall(const QString &call, XlStatus status) { failures.insert(call, status); }

    QStringList calls;                                 // every call, in order
    QByteArray appName;                                // the name field xlOpenPort was given
    bool invalidPortHandle = false;                    // xlOpenPort succeeds with the handle -1

    XlStatus getDriverConfig(XlDriverConfig *config) override
    {
        return scripted("xlGetDriverConfig", [=] { return Driver::getDriverConfig(config); });
    }
    XlStatus openPort(XlPortHandle *port, const char *name, XlAccess accessMask,
                      XlAccess *permissionMask, unsigned rxQueueSize, unsigned interfaceVersion,
                      unsigned busType) override;
    XlStatus canSetChannelOutput(XlPortHandle port, XlAccess mask, int mode) override
    {
        return scripted("xlCanSetChannelOutput", [=] { return Driver::canSetChannelOutput(port, mask, mode); });
    }
    XlStatus canSetChannelBitrate(XlPortHandle port, XlAccess mask, unsigned bitrate) override
    {
        return scripted("xlCanSetChannelBitrate", [=] { return Driver::canSetChannelBitrate(port, mask, bitrate); });
    }
    XlStatus activateChannel(XlPortHandle port, XlAccess mask, unsigned busType, unsigned flags) override
    {
        return scripted("xlActivateChannel", [=] { return Driver::activateChannel(port, mask, busType, flags); });
    }
    XlStatus setNotification(XlPortHandle port, XlHandle *handle, int queueLevel) override
    {
        return scripted("xlSetNotification", [=] { return Driver::setNotification(port, handle, queueLevel); });
    }
    XlStatus closePort(XlPortHandle port) override { return scripted("xlClosePort", [=] { return Driver::closePort(port); }); }
    XlStatus closeDriver() override { return scripted("xlCloseDriver", [=] { return Driver::closeDriver(); }); }

private:
    // Logs the call, then fails it as scripted or lets the real driver do it.
    template <typename Call>
    XlStatus scripted(const char *name, Call call)
    {
        calls.append(QString::fromLatin1(name));
        const auto failure = failures.constFind(QString::fromLatin1(name));
        return failure == failures.constEnd() ? call() : *failure;
    }

    QHash<QString, XlStatus> failures;
};

} // namespace tests
