#include "xl/virtualcanchannel.h"

#include <algorithm>
#include <cstring>

namespace xl {

VirtualCanChannel::VirtualCanChannel(const QString &device, virtualbus::VirtualCanAddress address)
    : Channel(virtualbus::virtualCanPlugin + QLatin1Char(' ') + device)
    , address(std::move(address))
{
    batch.reserve(batchSize);
}

VirtualCanChannel::~VirtualCanChannel() = default;

// The virtual bus has no bit rate: every frame arrives whole.
XlStatus VirtualCanChannel::goOnBus(unsigned)
{
    link = std::make_unique<virtualbus::VirtualCanLink>(address);
    QString error;
    if (!link->open(connectTimeoutMs, &error)) {
        qCWarning(lcVirtualCan).noquote() << name() << "cannot connect:" << error;
        link.reset();
        return XL_ERR_HW_NOT_PRESENT;
    }
    clearFailure();
    connect(link.get(), &virtualbus::VirtualCanLink::framesArrived, this, &VirtualCanChannel::takeFrames);
    connect(link.get(), &virtualbus::VirtualCanLink::lost, this, [this](const QString &reason) { fail(reason); });
    return XL_SUCCESS;
}

void VirtualCanChannel::goOffBus()
{
    link.reset();
    clearFailure();
}

XlStatus VirtualCanChannel::write(const XlEvent &frame)
{
    if (!link || !failure().isEmpty())
        return XL_ERR_TX_NOT_POSSIBLE;
    bus::Frame out;
    out.id = frame.id & ~XL_CAN_EXT_MSG_ID;
    // The flag alone decides: 0x7FF may be a 29-bit identifier as well.
    const bool extended = frame.id & XL_CAN_EXT_MSG_ID;
    if (out.id > bus::maxId(extended))
        return XL_ERR_WRONG_PARAMETER;
    out.flags = extended ? bus::Frame::Extended : 0;
    out.length = quint8(std::min<int>(frame.dlc, XL_CAN_MAX_DATA));
    std::memcpy(out.data.data(), frame.data, out.length);
    return link->write(out) ? XL_SUCCESS : XL_ERR_TX_NOT_POSSIBLE;
}

void VirtualCanChannel::takeFrames()
{
    if (!link || !failure().isEmpty())
        return;
    batch.clear();
    const int taken = link->take(batch, batchSize);
    for (const bus::Frame &frame : batch) {
        if (!frame.isClassicData())
            continue;
        XlEvent event{};
        event.tag = XL_RECEIVE_MSG;
        event.id = frame.has(bus::Frame::Extended) ? frame.id | XL_CAN_EXT_MSG_ID : frame.id;
        event.dlc = frame.length;
        std::memcpy(event.data, frame.data.data(), frame.length);
        deliver(event);
    }
    lose(link->takeDropped());
    // The rest on a later turn, after whatever else waits.
    if (taken == batchSize)
        QMetaObject::invokeMethod(this, &VirtualCanChannel::takeFrames, Qt::QueuedConnection);
}

std::vector<std::unique_ptr<VirtualCanChannel>> virtualCanChannels()
{
    std::vector<std::unique_ptr<VirtualCanChannel>> channels;
    for (const QString &device : {QStringLiteral("can0"), QStringLiteral("can1")})
        channels.push_back(std::make_unique<VirtualCanChannel>(device, *virtualbus::parseVirtualCanAddress(device)));
    return channels;
}

} // namespace xl
