#include "isotp/isotptx.h"

#include "protocol/deviceprotocol.h"

#include <utility>

namespace {

constexpr int firstFrameRepeat = 100;  // ms between repeated first frames
constexpr int blockTimeout = 500;      // ms to wait for the flow control after a block
// Block size 0 means "no limit": the consecutive frames of a 4095-byte message.
constexpr int unlimitedBlock = 585;

// STmin as the receiver encodes it: 0x00-0x7F milliseconds, 0xF1-0xF9 hundreds
// of microseconds (the timer's millisecond is the nearest it can do), every
// reserved value the longest time, 10 ms.
int separationTime(quint8 stMin)
{
    if (stMin <= 0x7F)
        return stMin;
    if (stMin >= 0xF1 && stMin <= 0xF9)
        return 1;
    return 10;
}

} // namespace

ISOTPTX::ISOTPTX(VectorCAN *adapter, quint32 txId, bool txExtended, quint32 rxId,
                 bool rxExtended, QObject *parent)
    : QObject(parent)
    , adapter(adapter)
    , txId(txId)
    , txExtended(txExtended)
    , rxId(rxId)
    , rxExtended(rxExtended)
{
    connect(&timer, &QTimer::timeout, this, &ISOTPTX::tick);
}

ISOTPTX::~ISOTPTX() = default;

bool ISOTPTX::send(const char *data, int length)
{
    // QByteArray would take a negative length as "up to the terminating zero".
    if (length < 0)
        return false;
    return send(QByteArray(data, length));
}

bool ISOTPTX::send(const QByteArray &message)
{
    if (message.size() > maxLength)
        return false;
    if (state == Idle)
        startMessage(message);
    else
        pending.append(message);
    return true;
}

void ISOTPTX::handleFlowControl(const VectorCAN::Message &msg)
{
    if (msg.extended != rxExtended || msg.id != rxId || msg.dlc != 8)
        return;
    if (state != WaitFirstFlowControl && state != WaitBlockFlowControl)
        return;
    if ((msg.data[0] >> 4) != 3)
        return;
    switch (msg.data[0] & 0x0F) {
    case 0:  // continue to send
        blockRemaining = msg.data[1] ? msg.data[1] : unlimitedBlock;
        timer.start(separationTime(msg.data[2]));
        state = SendingConsecutive;
        break;
    case 2:  // overflow: the receiver cannot take the message
        emit transferAbandoned(current, tr("das Gerät meldet Überlauf"));
        nextMessage();
        break;
    default:  // wait, or reserved: the running timer decides
        break;
    }
}

void ISOTPTX::abandon(const QString &reason)
{
    // A message whose last frame is out only waits for the next tick.
    if (state != Idle && offset < current.size())
        emit transferAbandoned(current, reason);
    const QList<QByteArray> waiting = std::exchange(pending, {});
    for (const QByteArray &message : waiting)
        emit transferAbandoned(message, reason);
    state = Idle;
    timer.stop();
}

void ISOTPTX::tick()
{
    switch (state) {
    case Idle:
        timer.stop();
        break;
    case WaitFirstFlowControl:
        sendFirstFrame();
        break;
    case SendingConsecutive:
        if (offset < current.size())
            sendConsecutiveFrame();
        else
            nextMessage();
        break;
    case WaitBlockFlowControl:
        emit transferAbandoned(current, tr("keine Flusskontrolle nach einem Block"));
        nextMessage();
        break;
    }
}

void ISOTPTX::startMessage(const QByteArray &message)
{
    if (message.size() <= 7) {
        transmitPadded(char(message.size()) + message);
        state = Idle;
        emit transferSent(message);
        return;
    }
    current = message;
    offset = 6;
    sequence = 1;
    sendFirstFrame();
    state = WaitFirstFlowControl;
    timer.start(firstFrameRepeat);
}

void ISOTPTX::sendFirstFrame()
{
    const int length = int(current.size());
    QByteArray frame;
    frame.append(char(0x10 + (length >> 8)));
    frame.append(char(length & 0xFF));
    frame.append(current.left(6));
    transmitPadded(frame);
}

void ISOTPTX::sendConsecutiveFrame()
{
    const int n = qMin(int(current.size()) - offset, 7);
    transmitPadded(char(0x20 + sequence) + current.mid(offset, n));
    offset += n;
    --blockRemaining;
    sequence = (sequence + 1) & 0x0F;
    if (offset >= current.size()) {
        emit transferSent(current);
    } else if (blockRemaining == 0) {
        state = WaitBlockFlowControl;
        timer.start(blockTimeout);
    }
}

// Works the queue off in order: short messages go out at once, and the first
// longer one becomes the running transfer.
void ISOTPTX::nextMessage()
{
    while (!pending.isEmpty()) {
        startMessage(pending.takeFirst());
        if (state != Idle)
            return;
    }
    state = Idle;
    timer.stop();
}

void ISOTPTX::transmitPadded(const QByteArray &payload)
{
    VectorCAN::Message msg;
    msg.id = txId;
    msg.extended = txExtended;
    msg.dlc = 8;
    for (int i = 0; i < 8; ++i)
        msg.data[i] = i < payload.size() ? quint8(payload[i]) : protocol::isoTpPadding;
    adapter->transmit(msg);
}
