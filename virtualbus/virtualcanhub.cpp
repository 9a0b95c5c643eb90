#include "virtualbus/virtualcanhub.h"

#include <QCoreApplication>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <map>
#include <memory>

namespace virtualbus {

VirtualCanHub::VirtualCanHub(QObject *parent)
    : QObject(parent)
    , tally(new FaultTally(QStringLiteral("virtual bus hub"), this))
{
}

VirtualCanHub::~VirtualCanHub() = default;

bool VirtualCanHub::listen(quint16 port)
{
    server = new QTcpServer(this);
    if (!server->listen(QHostAddress::LocalHost, port)) {
        qCInfo(lcVirtualCan).noquote() << "port" << port << "is served already:" << server->errorString();
        delete server;
        server = nullptr;
        return false;
    }
    connect(server, &QTcpServer::newConnection, this, &VirtualCanHub::accept);
    qCInfo(lcVirtualCan) << "hub listening on port" << server->serverPort();
    return true;
}

quint16 VirtualCanHub::port() const
{
    return server ? server->serverPort() : 0;
}

void VirtualCanHub::accept()
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        Client &client = clients.emplace_back();
        client.socket = socket;
        const auto at = std::prev(clients.end());
        connect(socket, &QTcpSocket::readyRead, this, [this, at] { read(*at); });
        // Later, not now: a client that leaves may do so from inside read().
        connect(socket, &QTcpSocket::disconnected, this, [this, at] {
            at->buses = 0;
            QMetaObject::invokeMethod(
                this,
                [this, at] {
                    at->socket->deleteLater();
                    clients.erase(at);
                },
                Qt::QueuedConnection);
        });
    }
}

void VirtualCanHub::read(Client &client)
{
    char chunk[16384];
    qint64 got = 0;
    while ((got = client.socket->read(chunk, sizeof chunk)) > 0) {
        client.splitter.feed(
            chunk, got, [&](QByteArrayView line) { handle(client, line); },
            [&] { tally->count(wire::Fault::TooLong); });
    }
}

void VirtualCanHub::handle(Client &client, QByteArrayView line)
{
    wire::Command command;
    if (const wire::Fault fault = wire::parseCommand(line, &command); fault != wire::Fault::None) {
        tally->count(fault);
        return;
    }
    switch (command.kind) {
    case wire::Command::Connect:
        client.buses |= quint8(1u << command.bus);
        break;
    case wire::Command::Disconnect:
        // The client leaves the hub with its bus, as Qt's hub has it.
        client.buses &= quint8(~(1u << command.bus));
        client.socket->disconnectFromHost();
        break;
    case wire::Command::Send:
        forward(client, command.bus, command.frameText);
        break;
    }
}

void VirtualCanHub::forward(const Client &from, int bus, QByteArrayView frameText)
{
    for (const Client &to : clients) {
        if (&to == &from || !(to.buses & (1u << bus)) || to.socket->state() != QAbstractSocket::ConnectedState)
            continue;
        if (to.socket->bytesToWrite() > maxBacklog) {
            tally->count(wire::Fault::Unread);
            continue;
        }
        to.socket->write(frameText.data(), frameText.size());
        to.socket->write("\n", 1);
    }
}

namespace {

// The hubs this process runs, each in a thread of its own, until the
// application ends.
struct RunningHub
{
    QThread thread;
    VirtualCanHub *hub = nullptr;  // lives in thread, deleted when it finishes
};
QMutex runningLock;
std::map<quint16, std::unique_ptr<RunningHub>> running;

void stopHubs()
{
    const QMutexLocker locker(&runningLock);
    for (auto &[port, hub] : running) {
        hub->thread.quit();
        hub->thread.wait();
    }
    running.clear();
}

} // namespace

bool VirtualCanHub::ensureRunning(quint16 port)
{
    const QMutexLocker locker(&runningLock);
    if (running.count(port))
        return true;
    if (running.empty())
        qAddPostRoutine(stopHubs);
    auto host = std::make_unique<RunningHub>();
    host->thread.setObjectName(QStringLiteral("virtual bus hub"));
    host->hub = new VirtualCanHub;
    host->hub->moveToThread(&host->thread);
    QObject::connect(&host->thread, &QThread::finished, host->hub, &QObject::deleteLater);
    host->thread.start();
    bool listening = false;
    QMetaObject::invokeMethod(
        host->hub, [&] { listening = host->hub->listen(port); }, Qt::BlockingQueuedConnection);
    if (!listening) {
        host->thread.quit();
        host->thread.wait();
        return false;
    }
    running.emplace(port, std::move(host));
    return true;
}

} // namespace virtualbus
