#include "ctl/station.h"

#include "ctl/output.h"

#include "protocol/deviceprotocol.h"

#include <QEventLoop>

#include <unistd.h>

#include <cerrno>

namespace ctl {

namespace {
// As often as the console polls the pressure values.
constexpr int repeatMs = 50;
} // namespace

Station::Station(int timeout)
    : timeoutMs(timeout)
    , isotp(&can, protocol::isoTpTxId, true, protocol::isoTpFlowControlId, true)
{
    clock.start();
    connect(&can, &VectorCAN::messageReceived, this, &Station::readFrames);
    connect(&stopSignals, &platform::StopSignals::stopRequested, this, [this] {
        stopped = true;
        check();
    });
    watch.setInterval(repeatMs);
    connect(&watch, &QTimer::timeout, this, &Station::check);
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    connect(&deadline, &QTimer::timeout, this, &Station::check);
}

Station::~Station() = default;

QStringList Station::channels()
{
    QList<VectorCAN::ChannelEntry> list;
    can.listChannels(list);
    QStringList names;
    for (const VectorCAN::ChannelEntry &entry : std::as_const(list))
        names << entry.name;
    return names;
}

Exit Station::open(const QString &name)
{
    QList<VectorCAN::ChannelEntry> list;
    can.listChannels(list);
    const auto entry = std::find_if(list.cbegin(), list.cend(), [&name](const VectorCAN::ChannelEntry &e) {
        return name.isEmpty() || e.name == name;
    });
    if (entry == list.cend()) {
        QStringList names;
        for (const VectorCAN::ChannelEntry &e : std::as_const(list))
            names << e.name;
        why = Texts::tr("Kein Kanal „%1“; die Kanäle sind: %2").arg(name, names.join(QLatin1String(", ")));
        return name.isEmpty() ? Exit::BusLost : Exit::Usage;
    }
    channel = entry->name;
    if (!can.open(entry->index, int(protocol::bitRate), QStringLiteral("korvelctl"))) {
        why = Texts::tr("%1 lässt sich nicht öffnen").arg(channel);
        return Exit::BusLost;
    }
    recording.setInterface(channel);
    return Exit::Done;
}

void Station::readFrames()
{
    VectorCAN::Message msg;
    while (can.takeMessage(&msg)) {
        recording.record(msg);
        isotp.handleFlowControl(msg);
        // The device's replies and its flow control show it is there.
        if (!msg.tx && msg.extended && (msg.id == protocol::responseId || msg.id == protocol::isoTpFlowControlId))
            lastSign = now();
        if (frameHandler)
            frameHandler(msg);
    }
    check();
}

Exit Station::ask(const VectorCAN::Message &request, const std::function<bool(const VectorCAN::Message &)> &accept)
{
    bool taken = false;
    onFrame([&](const VectorCAN::Message &msg) { taken = taken || accept(msg); });
    QTimer repeat;
    repeat.setInterval(repeatMs);
    connect(&repeat, &QTimer::timeout, this, [this, &request] { transmit(request); });
    transmit(request);
    repeat.start();
    const Exit exit = waitUntil([&taken] { return taken; }, true);
    onFrame(nullptr);
    return exit;
}

Exit Station::transfer(const QByteArray &message, QString *outcome)
{
    bool settled = false;
    QString reason;
    const QMetaObject::Connection sent = connect(&isotp, &ISOTPTX::transferSent, this, [&](const QByteArray &m) {
        settled = settled || m == message;
    });
    const QMetaObject::Connection abandoned =
        connect(&isotp, &ISOTPTX::transferAbandoned, this, [&](const QByteArray &m, const QString &r) {
            if (!settled && m == message) {
                settled = true;
                reason = r.isEmpty() ? Texts::tr("abgebrochen") : r;
            }
        });
    isotp.send(message);
    Exit exit = waitUntil([&settled] { return settled; }, true);
    // Not left half sent for a device that may come back after the job.
    if (!settled)
        isotp.abandon(why);
    disconnect(sent);
    disconnect(abandoned);
    *outcome = reason.isEmpty() && exit == Exit::Done ? QStringLiteral("gesendet") : QStringLiteral("abgebrochen");
    if (exit == Exit::Done && !reason.isEmpty()) {
        why = Texts::tr("Übertragung abgebrochen: ") + reason;
        exit = Exit::Refused;
    }
    return exit;
}

Exit Station::waitUntil(const std::function<bool()> &done, bool awaitingAnswer)
{
    QEventLoop loop;
    waitDone = done;
    awaiting = awaitingAnswer;
    lastSign = now();
    waiting = true;
    watch.start();
    const QMetaObject::Connection finished = connect(this, &Station::waitEnded, &loop, &QEventLoop::quit);
    check();
    if (waiting)
        loop.exec();
    disconnect(finished);
    watch.stop();
    deadline.stop();
    waitDone = nullptr;
    return ended;
}

Exit Station::waitUntilTime(qint64 ms, const std::function<bool()> &stop)
{
    deadline.start(int(std::max<qint64>(0, ms - now())));
    return waitUntil([this, ms, &stop] { return now() >= ms || (stop && stop()); }, false);
}

void Station::check()
{
    if (!waiting)
        return;
    quint64 lost = 0;
    QString offBus;
    if (stopped) {
        ended = Exit::Aborted;
        why = Texts::tr("durch ein Signal beendet");
    } else if (waitDone && waitDone()) {
        ended = Exit::Done;
    } else if (can.portState(&lost, &offBus) && !offBus.isEmpty()) {
        ended = Exit::BusLost;
        why = Texts::tr("%1 getrennt: %2").arg(channel, offBus);
    } else if (awaiting && now() - lastSign >= timeoutMs) {
        ended = Exit::NoAnswer;
        why = Texts::tr("keine Antwort vom Gerät in %1 ms").arg(timeoutMs);
    } else {
        return;
    }
    waiting = false;
    emit waitEnded();
}

Exit Station::readLine()
{
    if (!input) {
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(input.get(), &QSocketNotifier::activated, this, [this] {
            char chunk[4096];
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n > 0)
                inputBuffer.append(chunk, n);
            else if (n == 0 || (errno != EINTR && errno != EAGAIN))
                inputEnded = true;
            // An ended stdin stays readable: not asked again.
            input->setEnabled(!inputEnded);
            check();
        });
    }
    const Exit exit = waitUntil([this] { return inputEnded || inputBuffer.contains('\n'); }, false);
    if (exit != Exit::Done)
        return exit;
    // A last line without its newline is still a line.
    const qsizetype end = inputBuffer.indexOf('\n');
    if (end < 0 && inputBuffer.isEmpty()) {
        why = Texts::tr("Eingabe beendet");
        return Exit::Aborted;
    }
    inputBuffer.remove(0, end < 0 ? inputBuffer.size() : end + 1);
    return Exit::Done;
}

} // namespace ctl
