#include "support/tracecapture.h"
#include "virtualbus/virtualcanhub.h"
#include "virtualbus/virtualcanlink.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using virtualbus::wire::Fault;
using bus::Frame;

namespace {

// A frame line as a peer sends it, and the frame it must give.
const QByteArray saneLine = "291#X#0102\n";

// What a peer sends, why it is dropped (Fault::None: delivered as a frame),
// and what the hub is sent.
struct PeerLine { QByteArray line; Fault fault; QByteArray hubLine; };

// Our client on a hub of the test's own, which says nothing but what the
// test writes through peer.
struct RawHub
{
    explicit RawHub(int bus)
    {
        server.listen(QHostAddress::LocalHost);
        link = std::make_unique<virtualbus::VirtualCanLink>(virtualbus::VirtualCanAddress{"127.0.0.1", server.serverPort(), bus});
        QString error;
        if (!link->open(5000, &error))
            qWarning() << "cannot open:" << error;
        else if (server.hasPendingConnections() || server.waitForNewConnection(5000))
            peer.reset(server.nextPendingConnection());
    }

    QTcpServer server;
    std::unique_ptr<virtualbus::VirtualCanLink> link;
    std::unique_ptr<QTcpSocket> peer;
};

} // namespace

// The client and the hub of the virtual bus on real local sockets, against
// peers that send anything at all.
class TestVirtualCan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("KORVEL_VIRTUALCAN_PORT", "45000"); }

    void shouldReadOnlyAVirtualBus_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("text");  // the address as a URL, or what the error says

        QTest::newRow("can0 on this machine's port") << "can0" << "tcp://127.0.0.1:45000/can0";
        QTest::newRow("URL without port: Qt's") << "tcp://127.0.0.1/can0" << "tcp://127.0.0.1:35468/can0";
        QTest::newRow("port 65535, can1") << "tcp://127.0.0.1:65535/can1" << "tcp://127.0.0.1:65535/can1";
        QTest::newRow("port 0") << "tcp://127.0.0.1:0/can0" << R"(port 0 of "tcp://127.0.0.1:0/can0" is not within 1 to 65535)";
        QTest::newRow("port 65536") << "tcp://127.0.0.1:65536/can0"
                                    << R"(port 65536 of "tcp://127.0.0.1:65536/can0" is not within 1 to 65535)";
        QTest::newRow("IPv6 loopback") << "tcp://[::1]:40000/can0" << "tcp://[::1]:40000/can0";
    }

    void shouldReadOnlyAVirtualBus()
    {
        QFETCH(QString, device);
        QFETCH(QString, text);

        QString error;
        const std::optional<virtualbus::VirtualCanAddress> address = virtualbus::parseVirtualCanAddress(device, &error);
        QCOMPARE(address ? address->toString() : error, text);
        QVERIFY(!address || address->isLoopback());
    }

    void shouldDropWhatIsNotAFrame_data()
    {
        QTest::addColumn<PeerLine>("p");
        // The hub is sent the line on bus can0 unless a row says otherwise.
        const auto row = [](const char *name, const QByteArray &line, Fault fault, const QByteArray &hubLine = {}) {
            QTest::newRow(name) << PeerLine{line, fault, hubLine.isEmpty() ? "can0:" + line : hubLine};
        };
        row("empty line", "\n", Fault::Malformed);
        row("one hash", "291#X\n", Fault::Malformed);
        row("bus not named can", "bus0:291#X\n", Fault::Malformed, "bus0:291#X#0102\n");
        row("binary bytes, NUL as a flag", QByteArray("\x00\xff#\x00#\x01\n", 7), Fault::BadFlags);
        row("id in hex", "0x7F##\n", Fault::BadId);
        row("a letter in the id", "1a##\n", Fault::BadId);
        row("standard id 2048", "2048##\n", Fault::BadId);
        row("extended id 2^29", "536870912#X#\n", Fault::BadId);
        row("eleven digits", "00000000291#X#\n", Fault::BadId);
        row("unknown flag", "291#XQ#\n", Fault::BadFlags);
        row("flag twice", "291#XX#\n", Fault::BadFlags);
        row("non-hex data", "291#X#zz\n", Fault::BadData);
        row("odd digits", "291#X#012\n", Fault::BadData);
        row("9 bytes classic", "291#X#000102030405060708\n", Fault::BadData);
        row("9 bytes CAN FD", "291#XF#000102030405060708\n", Fault::BadData);
        row("1 MiB without '#'", QByteArray(1 << 20, 'A') + '\n', Fault::TooLong);
        row("257 bytes", "291#X#0102" + QByteArray(247, ' ') + '\n', Fault::TooLong);
        row("256 bytes", "291#X#0102" + QByteArray(246, ' ') + '\n', Fault::None);
        for (const int bytes : {12, 16, 20, 24, 32, 48, 64})
            row(qPrintable(QStringLiteral("CAN FD %1 bytes").arg(bytes)), "291#XF#" + QByteArray(2 * bytes, 'a') + '\n', Fault::None);
        row("CAN FD 25 bytes", "291#XF#" + QByteArray(50, 'a') + '\n', Fault::BadData);
        row("remote request, largest standard id", "2047#R#\n", Fault::None);
        row("largest extended id, 8 bytes in upper-case hex", "536870911#X#0AFF0AFF0AFF0AFF\n", Fault::None);
    }

    // Whatever a peer sends, our client and our hub drop, count and trace
    // what is not a frame, and take the next sane one; the hub passes on only
    // frames, to the clients of their bus, and keeps the sender connected.
    // The client stops at the end of its hub's connection.
    void shouldDropWhatIsNotAFrame()
    {
        QFETCH(PeerLine, p);
        const QByteArray passed = (p.fault == Fault::None ? p.line.trimmed() + '\n' : QByteArray()) + saneLine;

        RawHub raw(0);
        QVERIFY(raw.peer);
        QByteArray joined;
        QTRY_COMPARE((joined += raw.peer->readAll()), QByteArray("connect:can0\n"));
        const tests::TraceCapture traced;
        for (qsizetype at = 0; at < p.line.size(); at += 65536)  // in pieces, as a slow peer sends it
            raw.peer->write(p.line.mid(at, 65536));
        raw.peer->write(saneLine);
        std::vector<Frame> frames;
        QTRY_COMPARE_WITH_TIMEOUT((raw.link->take(frames, 10), int(frames.size())), passed.count('\n'), 10000);
        QCOMPARE(frames.back().id, 291u);
        QCOMPARE(frames.back().flags, quint8(Frame::Extended));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(frames.back().data.data()), frames.back().length), "\x01\x02");

        virtualbus::VirtualCanHub hub;
        QVERIFY(hub.listen(0));
        QTcpSocket sender, listener, otherBus;
        for (const auto &[client, bus] : {std::pair(&listener, "can0"), {&otherBus, "can1"}, {&sender, "can0"}}) {
            client->connectToHost(QHostAddress::LocalHost, hub.port());
            QVERIFY(client->waitForConnected(5000));
            client->write(QByteArray("connect:") + bus + '\n');
        }
        QTest::qWait(50);
        sender.write(p.hubLine + "can0:" + saneLine);
        QByteArray heard;
        QTRY_COMPARE_WITH_TIMEOUT((heard += listener.readAll()), passed, 10000);
        QCOMPARE(sender.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(otherBus.bytesAvailable(), 0);

        QCOMPARE(raw.link->faults(p.fault), quint64(p.fault != Fault::None));
        QCOMPARE(hub.dropped(p.fault), quint64(p.fault != Fault::None));
        const QString trace = QStringLiteral(" dropped 1 line: 1 ") + QLatin1String(virtualbus::wire::faultName(p.fault));
        QCOMPARE(traced.lines().filter("dropped"),
                 p.fault == Fault::None ? QStringList() : (QStringList{"virtualcan can0" + trace, "virtual bus hub" + trace}));

        // Our hub going away is said once, and nothing is written after it.
        QSignalSpy lost(raw.link.get(), &virtualbus::VirtualCanLink::lost);
        raw.peer->close();
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(!raw.link->write(Frame()));
    }

    // A client that does not take its frames loses the ones beyond the 16,384
    // of its handoff, counted; those it kept are the first ones, in order.
    void shouldCountWhatTheOwnerDidNotTake()
    {
        RawHub hub(1);
        QVERIFY(hub.peer);
        const int sent = 16384 + 1000;
        QByteArray lines;
        for (int i = 0; i < sent; ++i)
            lines += QByteArray::number(i % 2048) + "##\n";
        hub.peer->write(lines);

        quint64 dropped = 0;
        QTRY_COMPARE_WITH_TIMEOUT((dropped += hub.link->takeDropped()), 1000u, 10000);
        std::vector<Frame> frames;
        QCOMPARE(hub.link->take(frames, sent), 16384);
        QCOMPARE(frames.back().id, quint32(16383 % 2048));

        hub.link.reset();  // leaving, it tells the hub which bus
        QByteArray heard;
        QTRY_COMPARE((heard += hub.peer->readAll()), "connect:can1\ndisconnect:can1\n");
    }
};

QTEST_GUILESS_MAIN(TestVirtualCan)
#include "tst_virtualcan.moc"
