#include "xl/channel.h"

#include <cstring>

Q_LOGGING_CATEGORY(lcXlChannel, "korvel.xl.channel")

namespace xl {

Channel::Channel(QString name, bool canCapable)
    : channelName(std::move(name))
    , canCapable(canCapable)
{
}

Channel::~Channel() = default;

XlStatus Channel::goOnBus(unsigned)
{
    return XL_SUCCESS;
}

void Channel::goOffBus()
{
}

void Channel::deliver(const XlEvent &event) const
{
    if (sink)
        sink(event);
}

void Channel::lose(quint64 frames) const
{
    if (lossSink && frames > 0)
        lossSink(frames);
}

void Channel::fail(const QString &reason)
{
    if (!failureReason.isEmpty())
        return;
    failureReason = reason.isEmpty() ? QStringLiteral("unknown reason") : reason;
    qCWarning(lcXlChannel).noquote() << name() << "failed, off the bus until reopened:" << failureReason;
}

XlEvent toEvent(const bus::Frame &frame)
{
    XlEvent event{};
    event.tag = XL_RECEIVE_MSG;
    event.id = frame.has(bus::Frame::Extended) ? frame.id | XL_CAN_EXT_MSG_ID : frame.id;
    event.dlc = frame.length;
    std::memcpy(event.data, frame.data.data(), size_t(qMin<int>(frame.length, XL_CAN_MAX_DATA)));
    return event;
}

bus::Frame toFrame(const XlEvent &event)
{
    bus::Frame frame;
    frame.id = event.id & ~XL_CAN_EXT_MSG_ID;
    frame.flags = event.id & XL_CAN_EXT_MSG_ID ? bus::Frame::Extended : 0;
    frame.length = quint8(qMin<int>(event.dlc, XL_CAN_MAX_DATA));
    std::memcpy(frame.data.data(), event.data, frame.length);
    return frame;
}

XlEvent receivedEvent(quint32 id, bool extended, const QByteArray &data, quint16 flags)
{
    bus::Frame frame;
    frame.id = id;
    frame.flags = extended ? bus::Frame::Extended : 0;
    frame.length = quint8(qMin<qsizetype>(data.size(), qsizetype(frame.data.size())));
    std::memcpy(frame.data.data(), data.constData(), frame.length);
    XlEvent event = toEvent(frame);
    event.flags = flags;
    return event;
}

} // namespace xl
