#include "xl/channel.h"

#include <QLoggingCategory>

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

XlEvent receivedEvent(quint32 id, bool extended, const QByteArray &data, quint16 flags)
{
    XlEvent event{};
    event.tag = XL_RECEIVE_MSG;
    event.id = extended ? (id | XL_CAN_EXT_MSG_ID) : id;
    event.flags = flags;
    event.dlc = quint16(data.size());
    std::memcpy(event.data, data.constData(), size_t(qMin(data.size(), XL_CAN_MAX_DATA)));
    return event;
}

} // namespace xl
