#include "xl/virtualcanlink.h"

#include "xl/virtualcanhub.h"

#include <QSemaphore>
#include <QTcpSocket>

namespace xl {

// The socket's side of the link, in the link's thread.
class VirtualCanWorker : public QObject
{
public:
    VirtualCanWorker(VirtualCanLink &link)
        : link(link)
        , tally(QStringLiteral("virtualcan can%1").arg(link.where.bus), this)
    {
    }

    // Connects; ready is released once it is clear whether that worked,
    // with the reason in *error where it did not.
    void start(QSemaphore *ready, QString *error)
    {
        opening = ready;
        openError = error;
        socket = new QTcpSocket(this);
        connect(socket, &QTcpSocket::connected, this, [this] {
            // On the wire before open() returns: a frame sent to the bus right
            // after it must find this client joined.
            socket->write(wire::connectLine(link.where.bus));
            socket->flush();
            connected = true;
            settle({});
        });
        connect(socket, &QTcpSocket::errorOccurred, this, [this] {
            if (connected)
                link.connectionEnded(socket->errorString());
            else
                settle(socket->errorString());
            connected = false;
        });
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            if (connected)
                link.connectionEnded(QStringLiteral("the hub closed the connection"));
            connected = false;
        });
        connect(socket, &QTcpSocket::readyRead, this, &VirtualCanWorker::read);
        socket->connectToHost(link.where.host, link.where.port);
    }

    void flush()
    {
        QByteArray bytes;
        {
            const QMutexLocker locker(&link.lock);
            bytes.swap(link.outgoing);
        }
        if (connected)
            socket->write(bytes);
    }

    void stop()
    {
        if (connected) {
            connected = false;
            flush();
            socket->write(wire::disconnectLine(link.where.bus));
            socket->flush();
            socket->disconnectFromHost();
        }
        delete socket;
        socket = nullptr;
        settle(QStringLiteral("closed"));
        // Nothing may run in this thread once it has stopped.
        tally.flush();
    }

    quint64 faults(wire::Fault fault) const { return tally.total(fault); }

private:
    // Once only: open() has gone on after the first answer, and with it what
    // the pointers point to.
    void settle(const QString &reason)
    {
        if (!opening)
            return;
        *openError = reason;
        opening->release();
        opening = nullptr;
        openError = nullptr;
    }

    void read()
    {
        char chunk[65536];
        qint64 got = 0;
        while ((got = socket->read(chunk, sizeof chunk)) > 0) {
            frames.clear();
            splitter.feed(
                chunk, got,
                [this](QByteArrayView line) {
                    wire::Frame frame;
                    if (const wire::Fault fault = wire::parseFrame(line, &frame); fault != wire::Fault::None)
                        tally.count(fault);
                    else
                        frames.push_back(frame);
                },
                [this] { tally.count(wire::Fault::TooLong); });
            if (!frames.empty())
                link.hand(frames);
        }
    }

    VirtualCanLink &link;
    FaultTally tally;
    QTcpSocket *socket = nullptr;
    wire::LineSplitter splitter;
    std::vector<wire::Frame> frames;
    bool connected = false;
    QSemaphore *opening = nullptr;  // open() waits on it until settled
    QString *openError = nullptr;
};

VirtualCanLink::VirtualCanLink(VirtualCanAddress address, QObject *parent)
    : QObject(parent)
    , where(std::move(address))
{
    thread.setObjectName(QStringLiteral("virtualcan can%1").arg(where.bus));
}

VirtualCanLink::~VirtualCanLink()
{
    shutDown();
}

// The worker's socket goes first, so that nothing it still had to say reaches
// the link afterwards.
void VirtualCanLink::shutDown()
{
    if (!worker)
        return;
    QMetaObject::invokeMethod(worker, [this] { worker->stop(); }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    delete worker;
    worker = nullptr;
}

bool VirtualCanLink::open(int timeoutMs, QString *error)
{
    if (worker) {
        *error = QStringLiteral("already open");
        return false;
    }
    if (where.isLoopback())
        VirtualCanHub::ensureRunning(where.port);
    worker = new VirtualCanWorker(*this);
    worker->moveToThread(&thread);
    thread.start();
    QSemaphore ready;
    QString reason;
    QMetaObject::invokeMethod(worker, [&] { worker->start(&ready, &reason); }, Qt::QueuedConnection);
    const bool settled = ready.tryAcquire(1, timeoutMs);
    if (!settled || !reason.isEmpty()) {
        shutDown();
        *error = settled ? reason : QStringLiteral("no connection to %1 within %2 ms").arg(where.toString()).arg(timeoutMs);
        return false;
    }
    opened = true;
    return true;
}

bool VirtualCanLink::write(const wire::Frame &frame)
{
    if (!isOpen())
        return false;
    bool wasEmpty = false;
    {
        const QMutexLocker locker(&lock);
        wasEmpty = outgoing.isEmpty();
        wire::appendFrameLine(outgoing, where.bus, frame);
    }
    if (wasEmpty)
        QMetaObject::invokeMethod(worker, [w = worker] { w->flush(); }, Qt::QueuedConnection);
    return true;
}

int VirtualCanLink::take(std::vector<wire::Frame> &out, int max)
{
    const QMutexLocker locker(&lock);
    const int count = qMin<int>(max, int(handoff.size()));
    out.insert(out.end(), handoff.begin(), handoff.begin() + count);
    handoff.erase(handoff.begin(), handoff.begin() + count);
    return count;
}

quint64 VirtualCanLink::faults(wire::Fault fault) const
{
    return worker ? worker->faults(fault) : 0;
}

quint64 VirtualCanLink::takeDropped()
{
    const QMutexLocker locker(&lock);
    return std::exchange(dropped, 0);
}

void VirtualCanLink::hand(const std::vector<wire::Frame> &frames)
{
    bool wasEmpty = false;
    {
        const QMutexLocker locker(&lock);
        wasEmpty = handoff.empty();
        const size_t room = handoffCapacity - handoff.size();
        const size_t taken = qMin(room, frames.size());
        handoff.insert(handoff.end(), frames.begin(), frames.begin() + qsizetype(taken));
        dropped += frames.size() - taken;
    }
    if (wasEmpty)
        QMetaObject::invokeMethod(this, &VirtualCanLink::framesArrived, Qt::QueuedConnection);
}

void VirtualCanLink::connectionEnded(const QString &reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            if (gone || !opened)
                return;
            gone = true;
            emit lost(reason);
        },
        Qt::QueuedConnection);
}

} // namespace xl
