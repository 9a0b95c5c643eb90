#pragma once

#include "bus/frame.h"
#include "xl/xlapi.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcXlChannel)

namespace xl {

// One channel of the driver: a bus attachment such as a virtual bus, a simulated
// device or a CAN adapter. The driver owns its channels, hands frames that its
// ports transmit to write(), and passes on to the ports whatever the channel
// delivers from its bus.
class Channel
{
public:
    explicit Channel(QString name, bool canCapable = true);
    virtual ~Channel();
    Q_DISABLE_COPY_MOVE(Channel)

    const QString &name() const { return channelName; }
    bool isCanCapable() const { return canCapable; }

    // The first port of the process goes on bus with this channel.
    virtual XlStatus goOnBus(unsigned bitrate);
    // The last port left the bus.
    virtual void goOffBus();
    // A frame transmitted by one of the driver's ports (tag XL_TRANSMIT_MSG).
    // Ports of this process on the same channel hear it from the driver itself;
    // write() puts it on whatever lies beyond. Anything but XL_SUCCESS refuses it.
    virtual XlStatus write(const XlEvent &frame) = 0;

    // Why the channel lost its bus while on it (the device failed, the virtual
    // bus's hub went away); empty while all is well.
    const QString &failure() const { return failureReason; }

protected:
    // Hands a frame from the bus to every port on bus with this channel, as it is.
    void deliver(const XlEvent &event) const;
    // Frames from the bus that the channel had to let go before any port saw
    // them: they count as lost for every port on bus with it.
    void lose(quint64 frames) const;
    // Traces the failure once and keeps it until clearFailure().
    void fail(const QString &reason);
    void clearFailure() { failureReason.clear(); }

private:
    friend class Driver;

    QString channelName;
    bool canCapable = true;
    QString failureReason;
    std::function<void(const XlEvent &)> sink;
    std::function<void(quint64)> lossSink;
};

// A frame from a bus as the driver's ports receive it: the identifier with
// the marker bit of 29-bit identifiers, the length as the DLC and at most 8
// data bytes.
XlEvent toEvent(const bus::Frame &frame);
// A frame a port transmits, for the bus: a 29-bit identifier exactly when the
// event's identifier has XL_CAN_EXT_MSG_ID (0x7FF may be a 29-bit one as
// well), with min(DLC, 8) data bytes. Its identifier is not checked.
bus::Frame toFrame(const XlEvent &event);
// The received event of a frame given by its parts, flags and all.
XlEvent receivedEvent(quint32 id, bool extended, const QByteArray &data, quint16 flags = 0);

} // namespace xl
