#pragma once

#include "virtualbus/faulttally.h"
#include "virtualbus/virtualcanwire.h"

#include <QObject>

#include <list>

class QTcpServer;
class QTcpSocket;

namespace virtualbus {

// The hub of a virtual bus: it passes every frame a client sends to every
// other client on the same bus, can0 or can1. Unlike Qt's own hub it checks
// each line before passing it on, so that one peer's garbage cannot reach
// (and crash) the others, and it gives a client that does not read at most
// maxBacklog bytes before frames to it are dropped.
//
// A hub works in the thread it lives in. The one a process runs for its
// clients (ensureRunning) has a thread of its own.
class VirtualCanHub : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 maxBacklog = 1 << 20;

    explicit VirtualCanHub(QObject *parent = nullptr);
    ~VirtualCanHub() override;

    // Listens on 127.0.0.1 (any free port for 0); false when the port is
    // taken (by another hub).
    bool listen(quint16 port);
    quint16 port() const;
    // Starts the hub of this process on the port unless it runs already;
    // false when another process serves the port, which is as good.
    static bool ensureRunning(quint16 port);

    // Lines dropped, by kind; Unread counts the frames not passed to a client
    // whose backlog was full.
    quint64 dropped(wire::Fault fault) const { return tally->total(fault); }

private:
    struct Client
    {
        QTcpSocket *socket = nullptr;
        // A client's lines carry the bus in front of the frame: "can0:".
        wire::LineSplitter splitter{wire::maxLineLength + 5};
        quint8 buses = 0;  // bit n: joined can<n>
    };

    void accept();
    void read(Client &client);
    void handle(Client &client, QByteArrayView line);
    void forward(const Client &from, int bus, QByteArrayView frameText);

    QTcpServer *server = nullptr;
    std::list<Client> clients;
    FaultTally *tally = nullptr;
};

} // namespace virtualbus
