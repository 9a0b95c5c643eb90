#include "virtualbus/virtualcanlink.h"

#include "bus/busloss.h"
#include "virtualbus/virtualcanhub.h"

#include <QTcpSocket>

namespace virtualbus {

VirtualCanLink::VirtualCanLink(VirtualCanAddress address, QObject *parent)
    : Link(parent)
    , where(std::move(address))
    , tally(QStringLiteral("virtualcan can%1").arg(where.bus), this)
{
}

VirtualCanLink::~VirtualCanLink()
{
    if (!isOpen())
        return;
    socket->write(wire::disconnectLine(where.bus));
    socket->flush();
    socket->disconnectFromHost();
    tally.flush();
}

bool VirtualCanLink::open(int timeoutMs, QString *error)
{
    if (socket) {
        *error = QStringLiteral("already open");
        return false;
    }
    if (where.isLoopback())
        VirtualCanHub::ensureRunning(where.port);
    auto *opening = new QTcpSocket(this);
    opening->setReadBufferSize(readChunk);
    opening->connectToHost(where.host, where.port);
    if (!opening->waitForConnected(timeoutMs)) {
        *error = opening->error() == QAbstractSocket::SocketTimeoutError
            ? QStringLiteral("no connection to %1 within %2 ms").arg(where.toString()).arg(timeoutMs)
            : opening->errorString();
        delete opening;
        return false;
    }
    // On the wire before open() returns: a frame sent to the bus right after
    // it must find this client joined.
    opening->write(wire::connectLine(where.bus));
    opening->flush();
    socket = opening;
    connect(socket, &QTcpSocket::readyRead, this, &VirtualCanLink::read);
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::RemoteHostClosedError:
            connectionEnded(QLatin1String(bus::busloss::closed));
            break;
        case QAbstractSocket::NetworkError:
        case QAbstractSocket::HostNotFoundError:
            connectionEnded(QLatin1String(bus::busloss::unreachable));
            break;
        default:
            connectionEnded(socket->errorString());
        }
    });
    connect(socket, &QTcpSocket::disconnected, this, [this] { connectionEnded(QLatin1String(bus::busloss::closed)); });
    return true;
}

bool VirtualCanLink::write(const bus::Frame &frame)
{
    if (!isOpen())
        return false;
    QByteArray line;
    wire::appendFrameLine(line, where.bus, frame);
    socket->write(line);
    return true;
}

// What the socket holds is at most readChunk bytes: the rest stays with the
// system until the next turn.
void VirtualCanLink::read()
{
    char chunk[65536];
    qint64 got = 0;
    while ((got = socket->read(chunk, sizeof chunk)) > 0) {
        splitter.feed(
            chunk, got,
            [this](QByteArrayView line) {
                bus::Frame frame;
                if (const wire::Fault fault = wire::parseFrame(line, &frame); fault != wire::Fault::None)
                    tally.count(fault);
                else
                    keep(frame);
            },
            [this] { tally.count(wire::Fault::TooLong); });
    }
    announce();
}

// Once, and after the call that found the connection gone has returned.
void VirtualCanLink::connectionEnded(const QString &reason)
{
    QMetaObject::invokeMethod(this, [this, reason] { end(reason); }, Qt::QueuedConnection);
}

} // namespace virtualbus
