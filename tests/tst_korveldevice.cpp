#include "sim/isotpreceiver.h"
#include "sim/korveldevice.h"
#include "sim/simulatorchannel.h"
#include "xl/channel.h"

#include <QtTest>

namespace {

// "<id hex>[x for 29 bits] <data hex>"
QCanBusFrame frame(const QString &text)
{
    const QString id = text.section(' ', 0, 0);
    QCanBusFrame out(id.left(8).toUInt(nullptr, 16), QByteArray::fromHex(text.section(' ', 1).toLatin1()));
    out.setExtendedFrameFormat(id.endsWith('x'));
    return out;
}

// A message as an ISO-TP sender cuts it, to a device that takes whole
// messages without pause: a single frame, or a first frame and consecutive ones.
void feedMessage(sim::KorvelDevice &device, const QByteArray &message)
{
    const auto send = [&](const QByteArray &data) {
        device.handleFrame(frame("17f873f0x " + data.leftJustified(8, '\xaa').toHex()));
    };
    if (message.size() <= 7)
        return send(char(message.size()) + message);
    send("\x10" + (char(message.size()) + message.left(6)));
    for (int at = 6, index = 1; at < message.size(); at += 7, ++index)
        send(char(0x20 | (index & 0x0F)) + message.mid(at, 7));
}

// What the device sent, past its flow controls: the data of each reply in hex,
// any other frame as its identifier.
QStringList replies(QSignalSpy &spy)
{
    QStringList sent;
    for (const QList<QVariant> &signal : std::as_const(spy)) {
        const QCanBusFrame frame = signal.at(0).value<QCanBusFrame>();
        if (frame.frameId() != 0x17FAF073)
            sent << (frame.frameId() == 0x1BFF8301 && frame.hasExtendedFrameFormat()
                         ? frame.payload().toHex() : "frame on " + QString::number(frame.frameId(), 16));
    }
    return sent;
}

} // namespace

class TestKorvelDevice : public QObject
{
    Q_OBJECT

private slots:
    void shouldAnswerPressureAsCalibrated_data()
    {
        QTest::addColumn<QByteArray>("messages");  // in hex, one after the other
        QTest::addColumn<double>("force");
        QTest::addColumn<QByteArray>("expected");  // factors, then the pressure reply

        const auto row = [](const char *name, const char *messages, double force, const char *expected) {
            QTest::newRow(name) << QByteArray(messages) << force << QByteArray(expected);
        };
        row("5 N, neutral", "", 5, "01010101 200188b804b00546");
        row("below unloaded: 0", "", -1, "01010101 2001000003c00492");
        row("5 N, console's calibration", "c8021110321e96c8ea27", 5, "96c8ea27 2001138804b00546");
        row("calibrated, then reset", "c8021110321e96c8ea27 c8021110ff0001010101", 5, "01010101 200188b804b00546");
        row("zero divisors count as 1", "c8021110321e01000001", 5, "01000001 200188b804b00546");
    }

    void shouldAnswerPressureAsCalibrated()
    {
        QFETCH(QByteArray, messages);
        QFETCH(double, force);
        QFETCH(QByteArray, expected);

        sim::KorvelDevice device;
        device.setNoise(false);
        device.holdForce(force);
        QByteArrayList sent = messages.isEmpty() ? QByteArrayList() : messages.split(' ');
        for (QByteArray &message : sent)
            feedMessage(device, message = QByteArray::fromHex(message));
        QCOMPARE(device.receivedMessages(), sent);
        const sim::Calibration c = device.calibration();
        QSignalSpy spy(&device, &sim::KorvelDevice::frameOut);
        device.handleFrame(frame("1bff8300x 2001000000000000"));
        const QByteArray factors(reinterpret_cast<const char *>(&c), sizeof c);  // sens1Mul, sens1Div, calMul, calDiv
        QCOMPARE(factors.toHex() + ' ' + replies(spy).join(' ').toLatin1(), expected);
    }

    void shouldKeepOnlyTheLatest64Messages()
    {
        sim::KorvelDevice device;
        QList<QByteArray> sent;
        for (int i = 0; i <= 64; ++i)
            // Seven bytes: the longest a single frame carries.
            feedMessage(device, sent.emplace_back(QByteArray::number(i).rightJustified(7, '0')));
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

    // Frames as frame() takes them, to a pad of 24 x 14 unless the row says
    // otherwise; the replies. None of them is an ISO-TP message.
    void shouldTakeOnlyItsRequests_data()
    {
        QTest::addColumn<QSize>("pad");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QStringList>("replies");
        const auto row = [](const char *name, const QStringList &frames, const QStringList &replies = {},
                            QSize pad = {24, 14}) { QTest::newRow(name) << pad << frames << replies; };
        row("standard identifier", {"1bff8300 2001000000000000"});
        row("reply identifier", {"1bff8301x 2001000000000000"});
        row("DLC 7", {"1bff8300x 20010000000000"});
        row("consecutive frame out of sequence", {"17f873f0x 100ac8021110321e", "17f873f0x 2296c8ea27aaaaaa"});
        // Without noise the pad is its baseline, 10, but under the finger,
        // which starts in the middle of the pad; a read runs on past its row.
        const QString copy("1bff8300x 2002000000000000"), copied("20020e1800000000");
        row("matrix, first position", {copy, "1bff8300x 2003000000000000"}, {copied, "200300000a0a0a0a"});
        row("matrix, above the finger", {copy, "1bff8300x 2003000a00000000"}, {copied, "2003000a0a0a0a0a"});
        row("matrix, past a row's end", {copy, "1bff8300x 2003001600000000"}, {copied, "200300160a0a0a0a"});
        row("matrix, last row, two left", {copy, "1bff8300x 20030d1600000000"}, {copied, "20030d160a0a0000"});
        row("matrix of 0 rows", {copy, "1bff8300x 2003000000000000"}, {"200200ff00000000", "2003000000000000"}, {255, 0});
        row("matrix of 255 x 255, last byte", {copy, "1bff8300x 2003fefe00000000"},
            {"2002ffff00000000", "2003fefe0a000000"}, {255, 255});
    }

    void shouldTakeOnlyItsRequests()
    {
        QFETCH(QSize, pad);
        QFETCH(QStringList, frames);
        QFETCH(QStringList, replies);

        sim::KorvelDevice device;
        device.setNoise(false);
        device.holdForce(0);
        device.setMatrixSize(pad.height(), pad.width());
        QSignalSpy spy(&device, &sim::KorvelDevice::frameOut);
        for (const QString &text : frames)
            device.handleFrame(frame(text));
        QCOMPARE(::replies(spy), replies);
        QVERIFY(device.receivedMessages().isEmpty());
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
            const QCanBusFrame out = frame(step.mid(2));
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
            else if (channel.write(xl::receivedEvent(out.frameId(), out.hasExtendedFrameFormat(), out.payload()))
                     == XL_ERR_TX_NOT_POSSIBLE)
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
