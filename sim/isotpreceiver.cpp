#include "sim/isotpreceiver.h"

#include "protocol/deviceprotocol.h"

#include <algorithm>

namespace sim {

namespace {

constexpr int consecutiveTimeout = 1000;  // ms the device waits for the next consecutive frame
constexpr quint8 continueToSend = 0x30;
constexpr quint8 overflow = 0x32;

} // namespace

IsoTpReceiver::IsoTpReceiver(QObject *parent)
    : QObject(parent)
{
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, this, &IsoTpReceiver::abandon);
}

IsoTpReceiver::~IsoTpReceiver() = default;

/*
 * Frames, by the high nibble of byte 0:
 *   0  single frame       byte 0 low nibble = length 0-7, bytes 1.. = data
 *   1  first frame        length = (byte 0 low nibble << 8) | byte 1, 8-4095; bytes 2-7 = data
 *   2  consecutive frame  byte 0 low nibble = sequence 0-15 (1 first), bytes 1-7 = data
 * A classic CAN DLC above 8 still carries 8 bytes.
 */
void IsoTpReceiver::handleFrame(const quint8 *data, int dlc)
{
    const int length = std::min(dlc, 8);
    if (length < 1)
        return;
    switch (data[0] >> 4) {
    case 0: {
        const int size = data[0] & 0x0F;
        if (size > 7 || size >= length)
            return;
        abandon();  // a new message ends whatever transfer was running
        emit messageReceived(QByteArray(reinterpret_cast<const char *>(data + 1), size));
        break;
    }
    case 1:
        if (length == 8)
            startTransfer(data);
        break;
    case 2:
        takeConsecutive(data, length);
        break;
    default:
        break;
    }
}

void IsoTpReceiver::startTransfer(const quint8 *data)
{
    abandon();
    const int size = ((data[0] & 0x0F) << 8) | data[1];
    if (size < 8)
        return;
    if (size > capacity) {
        sendFlowControl(overflow);
        return;
    }
    message = QByteArray(reinterpret_cast<const char *>(data + 2), 6);
    expected = size;
    sequence = 1;
    blockCount = 0;
    sendFlowControl(continueToSend);
    timeout.start(consecutiveTimeout);
}

void IsoTpReceiver::takeConsecutive(const quint8 *data, int length)
{
    if (expected == 0)
        return;
    const int wanted = std::min(expected - int(message.size()), 7);
    if ((data[0] & 0x0F) != sequence || length < 1 + wanted) {
        abandon();
        return;
    }
    message.append(reinterpret_cast<const char *>(data + 1), wanted);
    sequence = (sequence + 1) & 0x0F;
    if (message.size() == expected) {
        const QByteArray complete = message;
        abandon();
        emit messageReceived(complete);
        return;
    }
    if (blockSize != 0 && ++blockCount == blockSize) {
        blockCount = 0;
        sendFlowControl(continueToSend);
    }
    timeout.start(consecutiveTimeout);
}

void IsoTpReceiver::sendFlowControl(quint8 status)
{
    QByteArray frame(8, char(protocol::isoTpPadding));
    frame[0] = char(status);
    frame[1] = char(blockSize);
    frame[2] = char(separationTime);
    emit flowControl(frame);
}

void IsoTpReceiver::abandon()
{
    timeout.stop();
    message.clear();
    expected = 0;
}

} // namespace sim
