#include "bus/qtframe.h"

#include <algorithm>
#include <cstring>

namespace bus {

QCanBusFrame toQt(const Frame &frame)
{
    QCanBusFrame out(frame.id, QByteArray(reinterpret_cast<const char *>(frame.data.data()), std::min<int>(frame.length, 8)));
    out.setExtendedFrameFormat(frame.has(Frame::Extended));
    return out;
}

Frame fromQt(const QCanBusFrame &frame)
{
    const QByteArray payload = frame.payload();
    Frame out;
    out.id = frame.frameId();
    out.flags = frame.hasExtendedFrameFormat() ? Frame::Extended : 0;
    out.length = quint8(std::min<qsizetype>(payload.size(), qsizetype(out.data.size())));
    std::memcpy(out.data.data(), payload.constData(), out.length);
    return out;
}

} // namespace bus
