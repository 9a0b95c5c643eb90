#include "device/touchpaddownload.h"

#include "device/dialogue.h"
#include "protocol/deviceprotocol.h"

#include <QtGlobal>

namespace device {

void TouchpadDownload::start(qint64 now)
{
    current = Init;
    answeredAt = now;
}

TouchpadDownload::Answer TouchpadDownload::accept(const VectorCAN::Message &msg, qint64 now)
{
    if (!isReply(msg))
        return Answer::Ignored;
    if (current == Init && msg.data[1] == protocol::touchpadHeader) {
        rowCount = msg.data[2];
        columnCount = msg.data[3];
        data = QByteArray(rowCount * columnCount, 0);
        nextRow = 0;
        nextColumn = 0;
        current = Download;
        answeredAt = now;
        return Answer::HeaderTaken;
    }
    if (current == Download && msg.data[1] == protocol::touchpadData && msg.data[2] == nextRow
        && msg.data[3] == nextColumn)
        return takeData(msg.data + 4, now);
    return Answer::Ignored;
}

// Completion shows only when a byte would land past the end, so a matrix that
// ends on a frame's last byte takes one more exchange, for position (rows, 0).
TouchpadDownload::Answer TouchpadDownload::takeData(const quint8 *bytes, qint64 now)
{
    for (int i = 0; i < 4; ++i) {
        if (nextRow >= rowCount || nextColumn >= columnCount) {
            current = Idle;
            return Answer::Finished;
        }
        data[nextRow * columnCount + nextColumn] = char(bytes[i]);
        if (++nextColumn == columnCount) {
            ++nextRow;
            nextColumn = 0;
        }
    }
    answeredAt = now;
    return Answer::DataTaken;
}

TouchpadDownload::Tick TouchpadDownload::advance(qint64 now)
{
    if (current == Idle)
        return Tick::NotRunning;
    if (now - answeredAt > giveUpMs) {
        current = Idle;
        return Tick::GaveUp;
    }
    return Tick::Resend;
}

bool TouchpadDownload::stopAsking()
{
    if (current != Init)
        return false;
    current = Idle;
    return true;
}

VectorCAN::Message TouchpadDownload::request() const
{
    if (current == Download)
        return device::request(protocol::touchpadData, quint8(nextRow), quint8(nextColumn));
    return device::request(protocol::touchpadHeader);
}

// An empty matrix has nothing left to fetch, and the closing exchange for
// position (rows, 0) must not read above 100 %.
int TouchpadDownload::percent() const
{
    return rowCount == 0 ? 100 : qMin(100, 100 * (nextRow + 1) / rowCount);
}

} // namespace device
