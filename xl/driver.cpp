#include "xl/driver.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcXlDriver, "korvel.xl.driver")

namespace xl {

namespace {

Driver *installed = nullptr;

constexpr quint32 driverVersion = 0x01000000;
constexpr unsigned maxQueueSize = 1u << 20;
constexpr unsigned maxBitrate = 1000000;

XlAccess bit(int index)
{
    return XlAccess(1) << index;
}

} // namespace

Driver::Driver()
{
    clock.start();
}

Driver::~Driver()
{
    if (installed == this)
        installed = nullptr;
}

Driver &Driver::current()
{
    static Driver processDefault;
    return installed ? *installed : processDefault;
}

void Driver::install(Driver *driver)
{
    installed = driver;
}

void Driver::addChannel(std::unique_ptr<Channel> channel)
{
    if (channels.size() == XL_MAX_CHANNELS) {
        qCWarning(lcXlDriver) << "no room for channel" << channel->name();
        return;
    }
    const int index = int(channels.size());
    channel->sink = [this, index](const XlEvent &event) { deliver(index, event, nullptr); };
    channel->lossSink = [this, index](quint64 events) { lose(index, events); };
    channels.push_back({std::move(channel)});
}

quint64 Driver::lostEvents(XlPortHandle handle) const
{
    const auto it = ports.find(handle);
    return it == ports.end() ? 0 : it->second.queue.lost() + it->second.lostByChannels;
}

XlStatus Driver::openDriver()
{
    ++openCount;
    return XL_SUCCESS;
}

XlStatus Driver::getDriverConfig(XlDriverConfig *config)
{
    if (openCount == 0)
        return XL_ERR_CANNOT_OPEN_DRIVER;
    if (!config)
        return XL_ERR_WRONG_PARAMETER;
    std::memset(config, 0, sizeof *config);
    config->dllVersion = driverVersion;
    config->channelCount = quint32(channels.size());
    for (size_t i = 0; i < channels.size(); ++i) {
        XlChannelConfig &entry = config->channel[i];
        const QByteArray name = channels[i].channel->name().toLocal8Bit();
        std::memcpy(entry.name, name.constData(), size_t(qMin(name.size(), int(sizeof entry.name) - 1)));
        entry.channelIndex = quint8(i);
        entry.channelMask = bit(int(i));
        entry.busCapabilities = channels[i].channel->isCanCapable() ? XL_BUS_COMPATIBLE_CAN : 0;
    }
    return XL_SUCCESS;
}

XlStatus Driver::openPort(XlPortHandle *port, const char *, XlAccess accessMask,
                          XlAccess *permissionMask, unsigned rxQueueSize,
                          unsigned interfaceVersion, unsigned busType)
{
    if (openCount == 0)
        return XL_ERR_CANNOT_OPEN_DRIVER;
    if (!port || rxQueueSize == 0 || rxQueueSize > maxQueueSize
        || interfaceVersion != XL_INTERFACE_VERSION || busType != XL_BUS_TYPE_CAN)
        return XL_ERR_WRONG_PARAMETER;
    if (accessMask == 0 || (accessMask & ~allChannels()) != 0)
        return XL_ERR_INVALID_ACCESS;

    const XlPortHandle handle = nextPort++;
    Port &opened = ports.emplace(handle, Port(rxQueueSize)).first->second;
    opened.access = accessMask;
    // Every port gets init access: nothing behind these channels is shared with
    // another application that could hold it.
    if (permissionMask)
        *permissionMask &= accessMask;
    *port = handle;
    return XL_SUCCESS;
}

XlStatus Driver::canSetChannelOutput(XlPortHandle handle, XlAccess accessMask, int mode)
{
    Port *port = nullptr;
    if (const XlStatus status = findPort(handle, accessMask, port); status != XL_SUCCESS)
        return status;
    if (mode != XL_OUTPUT_MODE_SILENT && mode != XL_OUTPUT_MODE_NORMAL)
        return XL_ERR_WRONG_PARAMETER;
    port->outputMode = mode;
    return XL_SUCCESS;
}

XlStatus Driver::canSetChannelBitrate(XlPortHandle handle, XlAccess accessMask, unsigned bitrate)
{
    Port *port = nullptr;
    if (const XlStatus status = findPort(handle, accessMask, port); status != XL_SUCCESS)
        return status;
    if (bitrate == 0 || bitrate > maxBitrate)
        return XL_ERR_WRONG_PARAMETER;
    for (size_t i = 0; i < channels.size(); ++i) {
        if (accessMask & bit(int(i)))
            channels[i].bitrate = bitrate;
    }
    return XL_SUCCESS;
}

XlStatus Driver::activateChannel(XlPortHandle handle, XlAccess accessMask, unsigned busType,
                                 unsigned flags)
{
    Port *port = nullptr;
    if (const XlStatus status = findPort(handle, accessMask, port); status != XL_SUCCESS)
        return status;
    if (busType != XL_BUS_TYPE_CAN)
        return XL_ERR_WRONG_PARAMETER;

    for (size_t i = 0; i < channels.size(); ++i) {
        const XlAccess channelBit = bit(int(i));
        if (!(accessMask & channelBit) || (port->onBus & channelBit))
            continue;
        ChannelSlot &slot = channels[i];
        if (slot.portsOnBus == 0) {
            const XlStatus status = slot.channel->goOnBus(slot.bitrate);
            if (status != XL_SUCCESS) {
                qCWarning(lcXlDriver) << slot.channel->name() << "cannot go on bus, status" << status;
                return status;
            }
        }
        ++slot.portsOnBus;
        port->onBus |= channelBit;
    }
    if (flags & XL_ACTIVATE_RESET_CLOCK)
        port->clockStart = clock.nsecsElapsed();
    return XL_SUCCESS;
}

XlStatus Driver::setNotification(XlPortHandle handle, XlHandle *notification, int queueLevel)
{
    Port *port = findPort(handle);
    if (!port)
        return XL_ERR_INVALID_PORT;
    if (!notification || queueLevel < 1)
        return XL_ERR_WRONG_PARAMETER;
    if (!port->notifier) {
        QString error;
        port->notifier = Notifier::create(&error);
        if (!port->notifier) {
            qCWarning(lcXlDriver).noquote() << "no notification handle:" << error;
            return XL_ERROR;
        }
    }
    port->queueLevel = unsigned(queueLevel);
    updateNotification(*port);
    *notification = port->notifier->handle();
    return XL_SUCCESS;
}

XlStatus Driver::receive(XlPortHandle handle, unsigned *eventCount, XlEvent *events)
{
    Port *port = findPort(handle);
    if (!port)
        return XL_ERR_INVALID_PORT;
    if (!eventCount || *eventCount == 0 || !events)
        return XL_ERR_WRONG_PARAMETER;
    unsigned taken = 0;
    while (taken < *eventCount && port->queue.pop(&events[taken]))
        ++taken;
    *eventCount = taken;
    updateNotification(*port);
    return taken == 0 ? XL_ERR_QUEUE_IS_EMPTY : XL_SUCCESS;
}

XlStatus Driver::canTransmit(XlPortHandle handle, XlAccess accessMask, unsigned *messageCount,
                             const XlEvent *messages)
{
    Port *port = nullptr;
    if (const XlStatus status = findPort(handle, accessMask, port); status != XL_SUCCESS)
        return status;
    if (!messageCount || !messages)
        return XL_ERR_WRONG_PARAMETER;
    if (accessMask == 0)
        return XL_ERR_INVALID_ACCESS;
    if ((accessMask & ~port->onBus) != 0 || port->outputMode != XL_OUTPUT_MODE_NORMAL)
        return XL_ERR_PORT_IS_OFFLINE;
    const unsigned requested = *messageCount;
    XlStatus status = XL_SUCCESS;
    unsigned sent = 0;
    while (sent < requested && (status = transmitOne(*port, accessMask, messages[sent])) == XL_SUCCESS)
        ++sent;
    *messageCount = sent;
    return status;
}

XlStatus Driver::getPortState(XlPortHandle handle, XlPortState *state)
{
    const Port *port = findPort(handle);
    if (!port)
        return XL_ERR_INVALID_PORT;
    if (!state)
        return XL_ERR_WRONG_PARAMETER;
    std::memset(state, 0, sizeof *state);
    state->lostEvents = lostEvents(handle);
    for (size_t i = 0; i < channels.size(); ++i) {
        const QString &failure = channels[i].channel->failure();
        if (!(port->onBus & bit(int(i))) || failure.isEmpty())
            continue;
        state->busLost = 1;
        const QByteArray reason = failure.toUtf8().left(int(sizeof state->reason) - 1);
        std::memcpy(state->reason, reason.constData(), size_t(reason.size()));
        break;
    }
    return XL_SUCCESS;
}

XlStatus Driver::closePort(XlPortHandle handle)
{
    const auto it = ports.find(handle);
    if (it == ports.end())
        return XL_ERR_INVALID_PORT;
    goOffBus(it->second);
    ports.erase(it);
    return XL_SUCCESS;
}

XlStatus Driver::closeDriver()
{
    if (openCount == 0)
        return XL_ERR_CANNOT_OPEN_DRIVER;
    // The last user closes the driver and with it any port it left open.
    if (--openCount == 0) {
        while (!ports.empty())
            closePort(ports.begin()->first);
    }
    return XL_SUCCESS;
}

Driver::Port *Driver::findPort(XlPortHandle handle)
{
    const auto it = ports.find(handle);
    return it == ports.end() ? nullptr : &it->second;
}

XlStatus Driver::findPort(XlPortHandle handle, XlAccess accessMask, Port *&port)
{
    port = findPort(handle);
    if (!port)
        return XL_ERR_INVALID_PORT;
    return (accessMask & ~port->access) != 0 ? XL_ERR_INVALID_ACCESS : XL_SUCCESS;
}

XlAccess Driver::allChannels() const
{
    return channels.size() == XL_MAX_CHANNELS ? ~XlAccess(0) : bit(int(channels.size())) - 1;
}

XlStatus Driver::transmitOne(Port &port, XlAccess accessMask, const XlEvent &message)
{
    if (message.tag != XL_TRANSMIT_MSG || message.dlc > XL_CAN_MAX_DLC)
        return XL_ERR_WRONG_PARAMETER;
    for (size_t i = 0; i < channels.size(); ++i) {
        if (!(accessMask & bit(int(i))))
            continue;
        const XlStatus status = channels[i].channel->write(message);
        if (status != XL_SUCCESS)
            return status;

        XlEvent heard = message;
        heard.tag = XL_RECEIVE_MSG;
        heard.flags &= ~XL_CAN_MSG_FLAG_TX_COMPLETED;
        deliver(int(i), heard, &port);

        XlEvent receipt = heard;
        receipt.channelIndex = quint8(i);
        receipt.flags |= XL_CAN_MSG_FLAG_TX_COMPLETED;
        receipt.timeStamp = quint64(clock.nsecsElapsed() - port.clockStart);
        enqueue(port, receipt);
    }
    return XL_SUCCESS;
}

void Driver::deliver(int channelIndex, const XlEvent &event, const Port *except)
{
    const XlAccess channelBit = bit(channelIndex);
    const qint64 now = clock.nsecsElapsed();
    for (auto &[handle, port] : ports) {
        if (&port == except || !(port.onBus & channelBit))
            continue;
        XlEvent stamped = event;
        stamped.channelIndex = quint8(channelIndex);
        stamped.timeStamp = quint64(now - port.clockStart);
        enqueue(port, stamped);
    }
}

void Driver::lose(int channelIndex, quint64 events)
{
    for (auto &[handle, port] : ports) {
        if (port.onBus & bit(channelIndex))
            port.lostByChannels += events;
    }
}

void Driver::enqueue(Port &port, const XlEvent &event)
{
    if (port.queue.push(event))
        updateNotification(port);
}

// The notification handle is readable exactly while at least queueLevel events
// wait, so a watcher that drains the queue is not woken again for nothing.
void Driver::updateNotification(Port &port)
{
    if (port.notifier)
        port.notifier->setRaised(port.queue.size() >= port.queueLevel);
}

void Driver::goOffBus(Port &port)
{
    for (size_t i = 0; i < channels.size(); ++i) {
        if ((port.onBus & bit(int(i))) && --channels[i].portsOnBus == 0)
            channels[i].channel->goOffBus();
    }
    port.onBus = 0;
}

} // namespace xl
