#include "xl/linkchannel.h"

namespace xl {

LinkChannel::LinkChannel(QString name, LinkFactory makeLink)
    : Channel(std::move(name))
    , makeLink(std::move(makeLink))
{
    batch.reserve(batchSize);
}

LinkChannel::~LinkChannel() = default;

// Frames that come while the link opens (a plugin's device may connect in a
// local event loop) are taken as any others.
XlStatus LinkChannel::goOnBus(unsigned bitrate)
{
    QString error;
    link = makeLink(bitrate, &error);
    if (!link) {
        qCWarning(lcXlChannel).noquote() << name() << "cannot be created:" << error;
        return XL_ERR_HW_NOT_PRESENT;
    }
    clearFailure();
    connect(link.get(), &bus::Link::framesArrived, this, &LinkChannel::takeFrames);
    // A bus that may have lost frames is not trusted on.
    connect(link.get(), &bus::Link::lost, this, [this](const QString &reason) { fail(reason); });
    connect(link.get(), &bus::Link::fault, this, [this](const QString &reason) { fail(reason); });
    if (!link->open(connectTimeoutMs, &error)) {
        qCWarning(lcXlChannel).noquote() << name() << "cannot connect:" << error;
        goOffBus();
        return XL_ERR_HW_NOT_PRESENT;
    }
    return XL_SUCCESS;
}

// Never called from the link's own signals (the channel only queues what it
// receives for the ports), so the link can go at once. Closing on purpose is
// no failure.
void LinkChannel::goOffBus()
{
    link.reset();
    clearFailure();
}

XlStatus LinkChannel::write(const XlEvent &frame)
{
    if (!link || !failure().isEmpty())
        return XL_ERR_TX_NOT_POSSIBLE;
    const bus::Frame out = toFrame(frame);
    if (out.id > bus::maxId(out.has(bus::Frame::Extended)))
        return XL_ERR_WRONG_PARAMETER;
    return link->write(out) ? XL_SUCCESS : XL_ERR_TX_NOT_POSSIBLE;
}

void LinkChannel::takeFrames()
{
    if (!link || !failure().isEmpty())
        return;
    batch.clear();
    const int taken = link->take(batch, batchSize);
    for (const bus::Frame &frame : batch) {
        if (frame.isClassicData())
            deliver(toEvent(frame));
    }
    lose(link->takeDropped());
    // The rest on a later turn, after whatever else waits.
    if (taken == batchSize)
        QMetaObject::invokeMethod(this, &LinkChannel::takeFrames, Qt::QueuedConnection);
}

} // namespace xl
