#include "sim/isotpreceiver.h"
#include "sim/korveldevice.h"
#include "sim/simulatorchannel.h"
#include "xl/channel.h"

#include <QtTest>

namespace {

// "<id hex>[x for 29 bits] <data hex>"
bus::Frame frame(const QString &text)
{
    const QString id = text.section(' ', 0, 0);
    const QByteArray data = QByteArray::fromHex(text.section(' ', 1).toLatin1());
    bus::Frame out;
    out.id = id.left(8).toUInt(nullptr, 16);
    out.flags = id.endsWith('x') ? bus::Frame::Extended : 0;
    out.length = quint8(data.size());
    std::memcpy(out.data.data(), data.constData(), size_t(data.size()));
    return out;
}

// The frames the device is given, the factors and replies it then has, the
// pad's columns and rows, and the force on it.
struct Exchange { QStringList frames, replies; QSize pad; double force; };

} // namespace

Q_DECLARE_METATYPE(Exchange)

class TestKorvelDevice : public QObject
{
    Q_OBJECT

private slots:
    // Frames as frame() takes them, ISO-TP ones as the console cuts its
    // messages, to a pad of 24 x 14 pressed with 5 N unless the row says
    // otherwise: the factors of the calibration then, sens1Mul, sens1Div,
    // calMul, calDiv, and the replies.
    void shouldAnswerItsRequests_data()
    {
        QTest::addColumn<Exchange>("e");
        const auto row = [](const char *name, const QStringList &frames, const QStringList &replies,
                            QSize pad = {24, 14}, double force = 5) {
            QTest::newRow(name) << Exchange{frames, replies, pad, force};
        };
        const QString pressure("1bff8300x 2001000000000000"), neutral("01010101");
        // The console's calibration, c8021110321e96c8ea27, in its two frames.
        const QString calibration("17f873f0x 100ac8021110321e"), calibrated("17f873f0x 2196c8ea27aaaaaa");
        row("5 N, neutral", {pressure}, {neutral, "200188b804b00546"});
        row("below unloaded: 0", {pressure}, {neutral, "2001000003c00492"}, {24, 14}, -1);
        row("5 N, console's calibration", {calibration, calibrated, pressure}, {"96c8ea27", "2001138804b00546"});
        row("calibrated, then reset",
            {calibration, calibrated, "17f873f0x 100ac8021110ff00", "17f873f0x 2101010101aaaaaa", pressure},
            {neutral, "200188b804b00546"});
        row("zero divisors count as 1", {calibration, "17f873f0x 2101000001aaaaaa", pressure}, {"01000001", "200188b804b00546"});
        row("standard identifier", {"1bff8300 2001000000000000"}, {neutral});
        row("reply identifier", {"1bff8301x 2001000000000000"}, {neutral});
        row("DLC 7", {"1bff8300x 20010000000000"}, {neutral});
        row("consecutive frame out of sequence", {calibration, "17f873f0x 2296c8ea27aaaaaa"}, {neutral});
        // Without noise the pad is its baseline, 10, but under the finger,
        // which starts in the middle of the pad; a read runs on past its row.
        const QString copy("1bff8300x 2002000000000000"), copied("20020e1800000000");
        row("matrix, first position", {copy, "1bff8300x 2003000000000000"}, {neutral, copied, "200300000a0a0a0a"});
        row("matrix, above the finger", {copy, "1bff8300x 2003000a00000000"}, {neutral, copied, "2003000a0a0a0a0a"});
        row("matrix, past a row's end", {copy, "1bff8300x 2003001600000000"}, {neutral, copied, "200300160a0a0a0a"});
        row("matrix, last row, two left", {copy, "1bff8300x 20030d1600000000"}, {neutral, copied, "20030d160a0a0000"});
        row("matrix of 0 rows", {copy, "1bff8300x 2003000000000000"}, {neutral, "200200ff00000000", "2003000000000000"},
            {255, 0});
        row("matrix of 255 x 255, last byte", {copy, "1bff8300x 2003fefe00000000"},
            {neutral, "2002ffff00000000", "2003fefe0a000000"}, {255, 255});
    }

    void shouldAnswerItsRequests()
    {
        QFETCH(Exchange, e);

        sim::KorvelDevice device;
        device.setNoise(false);
        device.holdForce(e.force);
        device.setMatrixSize(e.pad.height(), e.pad.width());
        QSignalSpy spy(&device, &sim::KorvelDevice::frameOut);
        for (const QString &text : e.frames)
            device.handleFrame(frame(text));
        const sim::Calibration c = device.calibration();
        QStringList sent{QByteArray(reinterpret_cast<const char *>(&c), sizeof c).toHex()};
        // Past its flow controls: the data of each reply, any other frame as its identifier.
        for (const QList<QVariant> &signal : std::as_const(spy)) {
            const bus::Frame out = signal.at(0).value<bus::Frame>();
            if (out.id != 0x17FAF073)
                sent << (out.id == 0x1BFF8301 && out.has(bus::Frame::Extended)
                             ? QByteArray(reinterpret_cast<const char *>(out.data.data()), out.length).toHex()
                             : "frame on " + QString::number(out.id, 16));
        }
        QCOMPARE(sent, e.replies);
    }

    void shouldKeepOnlyTheLatest64Messages()
    {
        sim::KorvelDevice device;
        QList<QByteArray> sent;
        // Seven bytes: the longest a single frame carries.
        for (int i = 0; i <= 64; ++i)
            device.handleFrame(frame("17f873f0x 07" + sent.emplace_back(QByteArray::number(i).rightJustified(7, '0')).toHex()));
        QCOMPARE(device.receivedMessages(), sent.mid(1));
    }

    // The flow control asks for the block size and separation time set, again
    // after each block but the last, and says overflow for a message beyond
    // the capacity; 300 bytes take 42 consecutive frames, the sequence wrapping.
    void shouldReceiveIsoTpAsTheFlowControlSays()
    {
        sim::IsoTpReceiver rx;
        rx.setBlockSize(2);
        rx.setSeparationTime(5);
        rx.setCapacity(300);
        QStringList said;
        connect(&rx, &sim::IsoTpReceiver::flowControl, [&](const QByteArray &frame) { said << frame.toHex(); });
        connect(&rx, &sim::IsoTpReceiver::messageReceived, [&](const QByteArray &message) { said << message.toHex(); });
        const auto frame = [&](const QByteArray &data) { rx.handleFrame(reinterpret_cast<const quint8 *>(data.data()), 8); };
        frame(QByteArray::fromHex("112d000000000000"));
        frame(QByteArray::fromHex("112c000000000000"));
        QByteArray sent(6, '\0');
        for (int index = 1; index <= 42; ++index) {
            sent += QByteArray(7, char(index));
            frame(char(0x20 | (index & 0x0F)) + QByteArray(7, char(index)));
        }
        QCOMPARE(said, QStringList{"320205aaaaaaaaaa"} + QStringList(21, "300205aaaaaaaaaa") + QStringList{sent.toHex()});
    }

    // On the steady clock and the event loop's timer, which the other pace
    // tests replace: every frame comes, the last no sooner than the bus could
    // have carried them all.
    void shouldLeaveNoSoonerThanTheBusCarries()
    {
        sim::FaultyLink link;
        QElapsedTimer clock;
        QList<qint64> at;
        connect(&link, &sim::FaultyLink::sent, [&] { at << clock.nsecsElapsed(); });
        clock.start();
        for (int i = 0; i < 20; ++i)
            link.send(frame("1bff8301x 2001000000000000"));
        QTRY_COMPARE_WITH_TIMEOUT(at.size(), 20, 10000);
        QVERIFY(at.last() >= 20 * sim::frameNanoseconds(true, 8));
    }

    // "Korvel-Simulator" on a clock the test drives, in steps: what the console
    // writes ("w"), the device hears from the bus ("r") or sends itself ("s");
    // the link's latency ("l" ms) and jitter ("j" ms); the clock moved on
    // without the timer ("@" µs). When each of the device's frames has been
    // carried, in µs, and each write refused as by a full transmit queue (-1).
    void shouldShareTheBus_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("carried");
        const auto row = [](const char *name, const QStringList &steps, const QList<int> &carried) {
            QTest::newRow(name) << steps << carried;
        };
        const QString request("w 1bff8300x 2001000000000000"), heard("r 1bff8300x 2001000000000000");
        // A frame holds the bus for its bits at worst, stuff bits and all, 2 µs
        // each: 55 and 135 at 11 bits, 80 and 160 at 29, without data and with 8 bytes.
        row("ready at once: in order, each its own time",
            {"l1", "s 123 ", "s 123 0000000000000000", "s 123x ", "s 123x 0000000000000000"}, {1110, 1380, 1540, 1860});
        row("behind an 11-bit frame without data", {"w 123 ", request}, {750});
        row("three requests, the replies behind them", QStringList(3, request), {1280, 1600, 1920});
        row("three requests, latency 2 ms from each", QStringList{"l2"} + QStringList(3, request), {2640, 2960, 3280});
        // Booked no further than backlogNs ahead, the bus refuses the request
        // that follows, unheard, and takes one once it has caught up.
        const int booked = int(sim::BusPace::backlogNs / sim::frameNanoseconds(true, 8)) + 1;
        row("beyond the backlog; a late timer hands on all that is due",
            QStringList(booked + 1, request) << "@30000" << request,
            QList<int>{-1} + QList<int>(booked, 30010) + QList<int>{30640});
        // A frame heard was carried already: it books nothing ahead, but a
        // frame of the device's that became ready meanwhile goes after it.
        row("heard, answered at once", {heard}, {320});
        row("ready while a frame is heard", {"l1", heard, "@1200", "r 123 "}, {1520});
        // The link's default seed draws 3, 5 and 4 ms: the last frame overtakes.
        row("jitter 5 ms reorders", {"j5", "s 123 ", "s 123x 0000000000000000", "s 123x "}, {3110, 4160, 5320});
    }

    void shouldShareTheBus()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, carried);
        sim::SimulatorChannel channel;
        sim::FaultyLink &link = channel.link();
        qint64 now = 0;  // ns
        QList<int> at;
        link.pace().setClock([&] { return now; });
        connect(&link, &sim::FaultyLink::sent, [&] { at << int(now / 1000); });
        for (const QString &step : steps) {
            const bus::Frame out = frame(step.mid(2));
            if (step.startsWith('@'))
                now = step.mid(1).toLongLong() * 1000;
            else if (step.startsWith('l'))
                link.setLatency(step.mid(1).toInt());
            else if (step.startsWith('j'))
                link.setJitter(step.mid(1).toInt());
            else if (step.startsWith('s'))
                link.send(out);
            else if (step.startsWith('r'))
                link.receive(out);
            else if (channel.write(xl::toEvent(out)) == XL_ERR_TX_NOT_POSSIBLE)
                at << -1;
        }
        // The timer, firing every 10 µs, hands on what has come due.
        for (; now < 40'000'000; link.pace().release())
            now += 10'000;
        QCOMPARE(at, carried);
    }
};

QTEST_GUILESS_MAIN(TestKorvelDevice)
#include "tst_korveldevice.moc"
