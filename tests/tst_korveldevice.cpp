#include "sim/buspace.h"
#include "sim/faultylink.h"
#include "sim/isotpreceiver.h"
#include "sim/korveldevice.h"
#include "sim/simulatorchannel.h"
#include "xl/channel.h"

#include <QtTest>

#include <algorithm>

namespace {

// "<id hex>[x for 29 bits] <data hex>"
QCanBusFrame frame(const QString &text)
{
    const QString id = text.section(' ', 0, 0);
    QCanBusFrame out(id.left(8).toUInt(nullptr, 16), QByteArray::fromHex(text.section(' ', 1).toLatin1()));
    out.setExtendedFrameFormat(id.endsWith('x'));
    return out;
}

// The same frame as the driver hands it to a channel.
XlEvent transmitted(const QString &text)
{
    const QCanBusFrame out = frame(text);
    return xl::receivedEvent(out.frameId(), out.hasExtendedFrameFormat(), out.payload());
}

// A frame from the bus.
void feed(sim::KorvelDevice &device, const QString &text)
{
    device.handleFrame(frame(text));
}

// Time as a test drives it, in nanoseconds on the bus's clock: moved on in
// steps, each handing on what has come due, as the bus's timer does when it
// fires late.
struct DrivenTime
{
    explicit DrivenTime(sim::BusPace &pace)
        : pace(pace)
    {
        pace.setClock([this] { return now; });
    }

    void runTo(qint64 until, qint64 step)
    {
        while (now < until) {
            now = std::min(until, now + step);
            pace.release();
        }
    }

    sim::BusPace &pace;
    qint64 now = 0;
};

// A message as an ISO-TP sender cuts it, to a device that takes whole
// messages without pause: a single frame, or a first frame and consecutive ones.
void feedMessage(sim::KorvelDevice &device, const QByteArray &message)
{
    const auto frame = [&](const QByteArray &data) { feed(device, "17f873f0x " + data.leftJustified(8, '\xaa').toHex()); };
    if (message.size() <= 7)
        return frame(char(message.size()) + message);
    frame("\x10" + (char(message.size()) + message.left(6)));
    for (int at = 6, index = 1; at < message.size(); at += 7, ++index)
        frame(char(0x20 | (index & 0x0F)) + message.mid(at, 7));
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
        feed(device, "1bff8300x 2001000000000000");
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

    // Frames as feed() takes them, to a pad of 24 x 14 unless the row says
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
        for (const QString &frame : frames)
            feed(device, frame);
        QCOMPARE(::replies(spy), replies);
        QVERIFY(device.receivedMessages().isEmpty());
    }

    void shouldCountAFramesBitsAtWorst_data()
    {
        QTest::addColumn<bool>("extended");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("bits");
        QTest::addColumn<qint64>("ns");  // at 500 kbit/s
        QTest::newRow("11 bit, no data") << false << 0 << 55 << qint64(110000);
        QTest::newRow("11 bit, 8 bytes") << false << 8 << 135 << qint64(270000);
        QTest::newRow("29 bit, no data") << true << 0 << 80 << qint64(160000);
        QTest::newRow("29 bit, 8 bytes") << true << 8 << 160 << qint64(320000);
    }

    void shouldCountAFramesBitsAtWorst()
    {
        QFETCH(bool, extended);
        QFETCH(int, bytes);
        QFETCH(int, bits);
        QFETCH(qint64, ns);
        QCOMPARE(sim::frameBits(extended, bytes), bits);
        QCOMPARE(sim::frameNanoseconds(extended, bytes), ns);
    }

    void shouldKeepToTheBusRate_data()
    {
        QTest::addColumn<bool>("extended");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("jitterMs");
        QTest::newRow("29 bit, 8 bytes") << true << 8 << 0;
        QTest::newRow("29 bit, no data") << true << 0 << 0;
        QTest::newRow("11 bit, 8 bytes") << false << 8 << 0;
        QTest::newRow("11 bit, no data") << false << 0 << 0;
        QTest::newRow("29 bit, 8 bytes, jitter 5 ms reorders") << true << 8 << 5;
    }

    // The device sends more frames at once than the window holds; a timer
    // that fires up to a millisecond late takes them off the bus. The bus
    // carries them back to back, in order unless jitter delays some.
    void shouldKeepToTheBusRate()
    {
        QFETCH(bool, extended);
        QFETCH(int, bytes);
        QFETCH(int, jitterMs);

        sim::FaultyLink link;
        link.setJitter(jitterMs);
        DrivenTime time(link.pace());
        QList<quint32> carried;
        connect(&link, &sim::FaultyLink::sent, [&](const QCanBusFrame &out) { carried << out.frameId(); });
        for (quint32 id = 0; id < 500; ++id) {
            QCanBusFrame out(id, QByteArray(bytes, '\0'));
            out.setExtendedFrameFormat(extended);
            link.send(out);
        }
        QVERIFY(carried.isEmpty());  // never from inside send()
        constexpr qint64 window = 40'000'000;
        time.runTo(window, 1'370'000);
        const double load = double(carried.size()) * sim::frameBits(extended, bytes) / (sim::busBitRate * 0.04);
        QVERIFY2(load <= 1 && load >= 0.8, qPrintable(QString::number(load)));
        QCOMPARE(std::is_sorted(carried.cbegin(), carried.cend()), jitterMs == 0);
    }

    // On the steady clock and the event loop's timer: no frame comes before
    // the bus could have carried it and those before it.
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
        for (int i = 0; i < at.size(); ++i)
            QVERIFY(at[i] >= (i + 1) * sim::frameNanoseconds(true, 8));
    }

    // What the console writes at once to "Korvel-Simulator", and when each
    // reply has been carried, in µs.
    void shouldAnswerBehindTheConsolesFrames_data()
    {
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<int>("latencyMs");
        QTest::addColumn<QList<int>>("replies");
        const QString request("1bff8300x 2001000000000000");
        QTest::newRow("a request") << QStringList{request} << 0 << QList<int>{640};
        QTest::newRow("behind a frame it ignores")
            << QStringList{"1b000073x 7300040108000100", request} << 0 << QList<int>{960};
        QTest::newRow("behind an 11-bit frame without data") << QStringList{"123 ", request} << 0 << QList<int>{750};
        QTest::newRow("three requests, the replies behind them")
            << QStringList(3, request) << 0 << QList<int>{1280, 1600, 1920};
        QTest::newRow("latency 2 ms on top") << QStringList{request} << 2 << QList<int>{2640};
        QTest::newRow("three requests, latency 2 ms from each")
            << QStringList(3, request) << 2 << QList<int>{2640, 2960, 3280};
    }

    void shouldAnswerBehindTheConsolesFrames()
    {
        QFETCH(QStringList, frames);
        QFETCH(int, latencyMs);
        QFETCH(QList<int>, replies);

        sim::SimulatorChannel channel;
        channel.link().setLatency(latencyMs);
        DrivenTime time(channel.link().pace());
        QList<int> at;
        connect(&channel.link(), &sim::FaultyLink::sent, [&] { at << int(time.now / 1000); });
        for (const QString &text : frames)
            QCOMPARE(channel.write(transmitted(text)), XL_SUCCESS);
        time.runTo(10'000'000, 10'000);
        QCOMPARE(at, replies);
    }

    // A console that writes faster than the bus carries is refused once the
    // bus is booked BusPace::backlogNs ahead; the device hears none of the
    // frames refused, and the bus takes frames again once it has caught up.
    void shouldRefuseAFloodBeyondTheBacklog()
    {
        sim::SimulatorChannel channel;
        DrivenTime time(channel.link().pace());
        QSignalSpy replies(&channel.link(), &sim::FaultyLink::sent);
        const XlEvent request = transmitted("1bff8300x 2001000000000000");
        int accepted = 0;
        XlStatus status = XL_SUCCESS;
        while (accepted < 1000 && (status = channel.write(request)) == XL_SUCCESS)
            ++accepted;
        QCOMPARE(status, XL_ERR_TX_NOT_POSSIBLE);
        QCOMPARE(accepted, int(sim::BusPace::backlogNs / sim::frameNanoseconds(true, 8)) + 1);
        time.runTo(1'000'000'000, 1'000'000);
        QCOMPARE(replies.size(), accepted);
        QCOMPARE(channel.write(request), XL_SUCCESS);
    }

    // Frames heard from a bus were carried already: however many come at
    // once, the device's next frame goes at once; one that became ready while
    // a frame was heard goes after it.
    void shouldNotBookTheFutureForFramesHeard()
    {
        sim::FaultyLink link;
        DrivenTime time(link.pace());
        QList<int> at;
        connect(&link, &sim::FaultyLink::sent, [&] { at << int(time.now / 1000); });
        const QCanBusFrame request = frame("1bff8300x 2001000000000000");
        for (int i = 0; i < 1000; ++i)
            link.receive(request);
        link.send(request);
        time.runTo(1'000'000, 10'000);
        link.setLatency(1);
        link.send(request);     // ready at 2000 µs
        time.now = 2'200'000;   // and the timer late
        link.receive(request);
        time.runTo(4'000'000, 10'000);
        QCOMPARE(at, (QList<int>{320, 2520}));
    }
};

QTEST_GUILESS_MAIN(TestKorvelDevice)
#include "tst_korveldevice.moc"
