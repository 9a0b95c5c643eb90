#include "devsim/replay.h"

#include <algorithm>
#include <cmath>

namespace devsim {

namespace {

// Frames due at once go out in batches, so that a log played far faster than
// the bus can carry still lets the event loop turn.
constexpr int batch = 1024;

} // namespace

Replay::Replay(Send sender, QObject *parent)
    : QObject(parent)
    , send(std::move(sender))
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &Replay::playDue);
}

bool Replay::open(const QString &path, double factor, QString *error)
{
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    speed = factor;
    return true;
}

void Replay::start()
{
    readNext();
    firstMicros = next ? next->micros : 0;
    clock.start();
    playDue();
}

void Replay::readNext()
{
    next.reset();
    while (!next && !file.atEnd()) {
        QByteArray line = file.readLine();
        ++lineNumber;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        next = xl::candump::parseLine(std::string_view(line.constData(), size_t(line.size())));
        if (!next && ++malformed <= reportedLines)
            firstMalformed << lineNumber;
    }
}

void Replay::playDue()
{
    for (int n = 0; next && n < batch; ++n) {
        const qint64 dueNs = qint64(std::llround(double(next->micros - firstMicros) * 1000 / speed));
        const qint64 waitNs = dueNs - clock.nsecsElapsed();
        if (waitNs > 0) {
            timer.start(int((waitNs + 999999) / 1000000));
            return;
        }
        QCanBusFrame frame(next->id, QByteArray(reinterpret_cast<const char *>(next->data), std::min<int>(next->dlc, 8)));
        frame.setExtendedFrameFormat(next->extended);
        send(frame);
        ++frames;
        readNext();
    }
    if (next)
        timer.start(0);
    else
        emit finished();
}

} // namespace devsim
