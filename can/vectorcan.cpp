#include "can/vectorcan.h"

#include <QDebug>
#include <QSocketNotifier>

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned receiveQueueSize = 4096;
constexpr int pollInterval = 50;

// The driver tells that events wait through a handle; on Linux it is a file
// descriptor that stays readable while they do.
QSocketNotifier *watchNotification(XlHandle handle, QObject *parent)
{
    return new QSocketNotifier(handle, QSocketNotifier::Read, parent);
}

} // namespace

VectorCAN::VectorCAN(QObject *parent)
    : QObject(parent)
{
    if (xlOpenDriver() != XL_SUCCESS)
        return;
    XlDriverConfig config;
    if (xlGetDriverConfig(&config) != XL_SUCCESS) {
        xlCloseDriver();
        return;
    }
    qDebug("Vector VXL DLL version 0x%08x", config.dllVersion);
    driverOpen = true;
    connect(&pollTimer, &QTimer::timeout, this, &VectorCAN::readMessages);
}

VectorCAN::~VectorCAN()
{
    close();
    if (driverOpen) {
        xlCloseDriver();
        driverOpen = false;
    }
}

bool VectorCAN::readDriverConfig(XlDriverConfig &config)
{
    if (xlGetDriverConfig(&config) != XL_SUCCESS)
        return false;
    config.channelCount = std::min<quint32>(config.channelCount, XL_MAX_CHANNELS);
    return true;
}

bool VectorCAN::listChannels(QList<ChannelEntry> &list)
{
    list.clear();
    XlDriverConfig config;
    if (!driverOpen || !readDriverConfig(config))
        return false;
    qDebug("Number of channels available: %d", int(config.channelCount));
    for (quint32 i = 0; i < config.channelCount; ++i) {
        const XlChannelConfig &entry = config.channel[i];
        const QString name = QString::fromLocal8Bit(entry.name, int(qstrnlen(entry.name, sizeof entry.name)));
        qDebug("#%d (%d): %s", int(i), int(entry.channelIndex), qPrintable(name));
        if (entry.busCapabilities & XL_BUS_COMPATIBLE_CAN)
            list.append({entry.channelIndex, name});
    }
    return true;
}

bool VectorCAN::open(int channelIndex, int bitrate, const QString &appName)
{
    // One adapter drives one port: a second open would lose the first one.
    XlDriverConfig config;
    if (!driverOpen || portOpen || !readDriverConfig(config) || config.channelCount == 0)
        return false;

    // Of several entries with the same index the last one counts.
    const XlChannelConfig *channel = nullptr;
    for (quint32 i = 0; i < config.channelCount; ++i) {
        if (config.channel[i].channelIndex == channelIndex)
            channel = &config.channel[i];
    }
    if (!channel)
        return false;
    const XlAccess mask = channel->channelMask;

    // The driver's name field is zero-terminated: a longer name is cut.
    char name[XL_MAX_APPNAME] = {};
    const QByteArray local = appName.toLocal8Bit();
    std::memcpy(name, local.constData(), size_t(std::min<int>(local.size(), XL_MAX_APPNAME - 1)));

    XlPortHandle handle = XL_INVALID_PORTHANDLE;
    XlAccess permission = mask;
    if (xlOpenPort(&handle, name, mask, &permission, receiveQueueSize, XL_INTERFACE_VERSION,
                   XL_BUS_TYPE_CAN)
            != XL_SUCCESS
        || handle == XL_INVALID_PORTHANDLE)
        return false;
    if (permission != mask
        || xlCanSetChannelOutput(handle, mask, XL_OUTPUT_MODE_NORMAL) != XL_SUCCESS
        || xlCanSetChannelBitrate(handle, mask, unsigned(bitrate)) != XL_SUCCESS
        || xlActivateChannel(handle, mask, XL_BUS_TYPE_CAN, XL_ACTIVATE_RESET_CLOCK) != XL_SUCCESS) {
        xlClosePort(handle);
        return false;
    }

    // Without a notification handle the poll timer alone picks the frames up.
    XlHandle event = -1;
    xlSetNotification(handle, &event, 1);
    if (event >= 0) {
        notifier = watchNotification(event, this);
        notifier->setEnabled(true);
        connect(notifier, &QSocketNotifier::activated, this, &VectorCAN::readMessages);
    }

    pollTimer.start(pollInterval);
    portOpen = true;
    portHandle = handle;
    accessMask = mask;
    return true;
}

void VectorCAN::close()
{
    if (!portOpen)
        return;
    pollTimer.stop();
    delete notifier;
    notifier = nullptr;
    xlClosePort(portHandle);
    portOpen = false;
}

void VectorCAN::readMessages()
{
    if (!portOpen)
        return;
    XlStatus status = XL_SUCCESS;
    while (status == XL_SUCCESS) {
        XlEvent event;
        unsigned count = 1;
        status = xlReceive(portHandle, &count, &event);
        if (status != XL_SUCCESS || count != 1 || event.tag != XL_RECEIVE_MSG)
            continue;
        Message msg;
        msg.id = event.id & ~XL_CAN_EXT_MSG_ID;
        msg.extended = (event.id & XL_CAN_EXT_MSG_ID) != 0;
        msg.dlc = event.dlc;
        msg.tx = (event.flags & XL_CAN_MSG_FLAG_TX_COMPLETED) != 0;
        std::memcpy(msg.data, event.data, size_t(std::min<int>(event.dlc, sizeof msg.data)));
        rxQueue.append(msg);
        emit messageReceived();
    }
}

bool VectorCAN::takeMessage(Message *msg)
{
    if (rxQueue.isEmpty())
        return false;
    *msg = rxQueue.takeFirst();
    return true;
}

bool VectorCAN::portState(quint64 *lostFrames, QString *offBusReason)
{
    XlPortState state;
    if (!portOpen || xlGetPortState(portHandle, &state) != XL_SUCCESS)
        return false;
    *lostFrames = state.lostEvents;
    *offBusReason = state.busLost ? QString::fromUtf8(state.reason, int(qstrnlen(state.reason, sizeof state.reason)))
                                  : QString();
    return true;
}

bool VectorCAN::transmit(quint32 id, bool extended, int length, const quint8 *data)
{
    if (!portOpen || length < 0)
        return false;
    XlEvent event{};
    event.tag = XL_TRANSMIT_MSG;
    event.id = extended ? (id | XL_CAN_EXT_MSG_ID) : id;
    event.dlc = quint16(std::min(length, 0xFFFF));
    // A frame without data may come without a buffer.
    if (length > 0)
        std::memcpy(event.data, data, size_t(std::min<int>(length, sizeof event.data)));
    unsigned count = 1;
    return xlCanTransmit(portHandle, accessMask, &count, &event) == XL_SUCCESS;
}

bool VectorCAN::transmit(const Message &msg)
{
    return transmit(msg.id, msg.extended, msg.dlc, msg.data);
}
