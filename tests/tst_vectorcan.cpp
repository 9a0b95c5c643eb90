#include "can/vectorcan.h"
#include "support/scripteddriver.h"
#include "support/tracecapture.h"

#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {

// Beyond the eight bytes a frame carries, bytes that must not show up in an event.
const quint8 source[16] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                           0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01};
const QByteArray payload = QByteArray::fromHex("1122334455667788");
const QString allData = QStringLiteral("11 22 33 44 55 66 77 88");

// The 48 bytes of the transmit event (tag 10) for one frame.
QByteArray txEvent(quint32 rawId, quint16 dlc, const QByteArray &data)
{
    QByteArray bytes(48, '\0');
    bytes[0] = 10;
    qToLittleEndian<quint32>(rawId, bytes.data() + 16);
    qToLittleEndian<quint16>(dlc, bytes.data() + 22);
    return bytes.replace(32, data.size(), data);
}

// A frame handed to transmit() and its transmit event; none: refused.
struct Transmit { uint id; bool extended; int length; QByteArray event; };
// A received event's tag, identifier, flags and DLC, and the record it gives; none: dropped.
struct Received { int tag; uint rawId, flags; int dlc; QString record; };

// The step that fails, or what the driver hands out wrong; the channel asked
// for; the calls open() makes.
struct Opening { QString fault; int channelIndex; QString openCalls; };

// A driver with one CAN channel and an adapter on it.
struct Bench
{
    bool open() { return can.open(0, 500000, QStringLiteral("KORVEL-Console")); }

    tests::ScriptedDriver driver;
    tests::ScriptedChannel *channel = driver.addScriptedChannel(QStringLiteral("CAN 1"));
    VectorCAN can;
};

} // namespace

class TestVectorCAN : public QObject
{
    Q_OBJECT

private slots:
    void shouldTransmitEventBytes_data()
    {
        QTest::addColumn<Transmit>("t");
        QTest::newRow("standard id, DLC 0") << Transmit{0x123, false, 0, txEvent(0x123, 0, {})};
        QTest::newRow("extended, DLC 7") << Transmit{0x17F873F0, true, 7, txEvent(0x97F873F0, 7, payload.left(7))};
        // A length above 8 goes out as that DLC with 8 data bytes.
        QTest::newRow("length 15") << Transmit{0x123, false, 15, txEvent(0x123, 15, payload)};
        QTest::newRow("length 16 refused") << Transmit{0x123, false, 16, {}};
    }

    void shouldTransmitEventBytes()
    {
        QFETCH(Transmit, t);
        Bench b;
        QVERIFY(b.open());
        // A frame without data needs no buffer.
        QCOMPARE(b.can.transmit(t.id, t.extended, t.length, t.length == 0 ? nullptr : source), !t.event.isEmpty());
        QCOMPARE(b.channel->written, t.event.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{t.event});
    }

    void shouldTurnReceivedFrameEventsIntoRecords_data()
    {
        QTest::addColumn<Received>("r");
        QTest::newRow("extended id") << Received{1, 0x97FAF073, 0, 8, "rx 17faf073x [8] " + allData};
        QTest::newRow("TX receipt") << Received{1, 0x9BFF8300, 0x0040, 8, "tx 1bff8300x [8] " + allData};
        QTest::newRow("DLC 7") << Received{1, 0x123, 0, 7, "rx 123 [7] 11 22 33 44 55 66 77 00"};
        QTest::newRow("DLC 0xFFFF") << Received{1, 0x123, 0, 0xFFFF, "rx 123 [65535] " + allData};
        QTest::newRow("transmit request (tag 10)") << Received{10, 0x123, 0, 8, {}};
    }

    void shouldTurnReceivedFrameEventsIntoRecords()
    {
        QFETCH(Received, r);
        Bench b;
        QVERIFY(b.open());
        XlEvent event = xl::receivedEvent(0, false, payload, quint16(r.flags));
        event.tag = quint8(r.tag);
        event.id = r.rawId;
        event.dlc = quint16(r.dlc);
        b.channel->inject(event);
        b.channel->inject(xl::receivedEvent(0x200, false, payload.left(2)));  // and the next frame still arrives
        QSignalSpy received(&b.can, &VectorCAN::messageReceived);
        b.can.readMessages();
        // Every record waiting, as "rx 17faf073x [8] 11 22 33 44 55 66 77 88".
        QStringList taken;
        for (VectorCAN::Message msg; b.can.takeMessage(&msg);) {
            const QByteArray data(reinterpret_cast<const char *>(msg.data), sizeof msg.data);
            taken << QStringLiteral("%1 %2%3 [%4] %5").arg(msg.tx ? "tx" : "rx").arg(msg.id, 0, 16)
                         .arg(msg.extended ? "x" : "").arg(msg.dlc).arg(QString::fromLatin1(data.toHex(' ')));
        }
        const QStringList records = QStringList(r.record) + QStringList{"rx 200 [2] 11 22 00 00 00 00 00 00"};
        QCOMPARE(taken, records.mid(r.record.isEmpty()));
        QCOMPARE(received.count(), r.record.isEmpty() ? 1 : 2);
    }

    // Closed twice, the port is closed once.
    void shouldOpenOnlyWhenEveryStepSucceeds_data()
    {
        QTest::addColumn<Opening>("o");
        const QString port = QStringLiteral("xlGetDriverConfig xlOpenPort"), output = port + " xlCanSetChannelOutput";
        const QString activate = output + " xlCanSetChannelBitrate xlActivateChannel";
        QTest::newRow("every step succeeds") << Opening{"", 0, activate + " xlSetNotification"};
        QTest::newRow("xlGetDriverConfig fails") << Opening{"xlGetDriverConfig", 0, ""};
        QTest::newRow("no channels") << Opening{"no channels", 0, "xlGetDriverConfig"};
        QTest::newRow("unknown index 1") << Opening{"", 1, "xlGetDriverConfig"};
        QTest::newRow("handle -1") << Opening{"handle -1", 0, port};
        QTest::newRow("xlCanSetChannelOutput fails") << Opening{"xlCanSetChannelOutput", 0, output + " xlClosePort"};
        QTest::newRow("xlActivateChannel fails") << Opening{"xlActivateChannel", 0, activate + " xlClosePort"};
    }

    void shouldOpenOnlyWhenEveryStepSucceeds()
    {
        QFETCH(Opening, o);
        const bool driverOpen = !o.openCalls.isEmpty();  // open() reads the configuration first
        const bool opened = o.openCalls.endsWith("xlSetNotification");
        tests::ScriptedDriver driver;
        if (o.fault != "no channels")
            driver.addScriptedChannel(QStringLiteral("CAN 1"));
        driver.invalidPortHandle = o.fault == "handle -1";
        if (o.fault.startsWith("xl"))
            driver.failCall(o.fault, XL_ERR_HW_NOT_PRESENT);
        auto can = std::make_unique<VectorCAN>();
        // A driver whose configuration cannot be read is closed again at once.
        QCOMPARE(driver.calls.contains("xlCloseDriver"), !driverOpen);
        QList<VectorCAN::ChannelEntry> list{{7, QStringLiteral("stale")}};
        QCOMPARE(can->listChannels(list), driverOpen);
        QCOMPARE(list.size(), driverOpen && o.fault != "no channels" ? 1 : 0);

        driver.calls.clear();
        QCOMPARE(can->open(o.channelIndex, 500000, "KORVEL-Console"), opened);
        QCOMPARE(driver.calls.join(' '), o.openCalls);
        QVERIFY(!can->open(o.channelIndex, 500000, "KORVEL-Console"));  // an open port stays the one in use
        driver.calls.clear();
        can->close();
        can->close();
        QVERIFY(!can->transmit(0x123, false, 1, source));
        can.reset();
        QCOMPARE(driver.calls.join(' '), QString(opened ? "xlClosePort " : "") + (driverOpen ? "xlCloseDriver" : ""));
    }

    // Only CAN channels listed, all traced; an application name longer than
    // the driver's field cut to it; the channel on the bus at the rate asked for.
    void shouldListAndTraceChannelsAndCutTheName()
    {
        const tests::TraceCapture trace;
        Bench b;
        b.driver.addScriptedChannel(QStringLiteral("LIN 1"), false);
        QList<VectorCAN::ChannelEntry> list;
        QVERIFY(b.can.listChannels(list));
        QCOMPARE(list.size(), 1);
        const QByteArray name("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
        QVERIFY(b.can.open(0, 250000, QString::fromLatin1(name)));
        QCOMPARE(b.driver.appName, name.left(31) + '\0');  // the whole field, zero-terminated
        QCOMPARE(b.channel->bitrate, 250000u);
        QCOMPARE(trace.lines(), QStringList({"Vector VXL DLL version 0x01000000", "Number of channels available: 2",
                                             "#0 (0): CAN 1", "#1 (1): LIN 1"}));
    }
};

QTEST_GUILESS_MAIN(TestVectorCAN)
#include "tst_vectorcan.moc"
