#include "sim/korveldevice.h"

#include <QtTest>

namespace {

constexpr quint32 requestId = 0x1BFF8300;
constexpr quint32 replyId = 0x1BFF8301;
constexpr quint32 isoTpId = 0x17F873F0;

const QByteArray pressureRequest = QByteArray::fromHex("2001000000000000");
const QByteArray copyRequest = QByteArray::fromHex("2002000000000000");

void feed(sim::KorvelDevice &device, const QByteArray &data, quint32 id = requestId, bool extended = true)
{
    QCanBusFrame frame(id, data);
    frame.setExtendedFrameFormat(extended);
    device.handleFrame(frame);
}

// A message as an ISO-TP sender cuts it, to a device that takes whole
// messages without pause: a single frame, or a first frame and consecutive ones.
void feedMessage(sim::KorvelDevice &device, const QByteArray &message)
{
    if (message.size() <= 7) {
        feed(device, char(message.size()) + message.leftJustified(7, '\xaa'), isoTpId);
        return;
    }
    feed(device, QByteArray::fromHex("10") + char(message.size()) + message.left(6), isoTpId);
    for (int at = 6, index = 1; at < message.size(); at += 7, ++index)
        feed(device, char(0x20 | (index & 0x0F)) + message.mid(at, 7).leftJustified(7, '\xaa'), isoTpId);
}

// The next reply the device sent, in hex, past its flow controls; any other
// frame shows as its identifier.
QByteArray nextReply(QSignalSpy &spy)
{
    while (!spy.isEmpty()) {
        const QCanBusFrame frame = spy.takeFirst().at(0).value<QCanBusFrame>();
        if (frame.frameId() == 0x17FAF073)
            continue;
        if (frame.frameId() != replyId || !frame.hasExtendedFrameFormat())
            return "frame on " + QByteArray::number(frame.frameId(), 16);
        return frame.payload().toHex();
    }
    return "nothing";
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

        QTest::newRow("0 N, neutral") << QByteArray() << 0.0 << QByteArray("01010101 2001000003e804b0");
        QTest::newRow("5 N, neutral") << QByteArray() << 5.0 << QByteArray("01010101 200188b804b00546");
        QTest::newRow("below unloaded: 0") << QByteArray() << -1.0 << QByteArray("01010101 2001000003c00492");
        QTest::newRow("5 N, console's calibration") << QByteArray("c8021110321e96c8ea27") << 5.0
                                                    << QByteArray("96c8ea27 2001138804b00546");
        QTest::newRow("calibrated, then reset") << QByteArray("c8021110321e96c8ea27 c8021110ff0001010101") << 5.0
                                                << QByteArray("01010101 200188b804b00546");
        QTest::newRow("TP diagnosis activation") << QByteArray("c80111042020") << 5.0
                                                 << QByteArray("01010101 200188b804b00546");
        QTest::newRow("zero divisors count as 1") << QByteArray("c8021110321e01000001") << 5.0
                                                  << QByteArray("01000001 200188b804b00546");
        QTest::newRow("factors are unsigned") << QByteArray("c8021110321ec89cea27") << 5.0
                                              << QByteArray("c89cea27 20011a7504b00546");
    }

    void shouldAnswerPressureAsCalibrated()
    {
        QFETCH(QByteArray, messages);
        QFETCH(double, force);
        QFETCH(QByteArray, expected);

        sim::KorvelDevice device;
        device.setNoise(false);
        device.holdForce(force);
        QByteArrayList sent = messages.split(' ');
        sent.removeAll(QByteArray());
        for (QByteArray &message : sent) {
            message = QByteArray::fromHex(message);
            feedMessage(device, message);
        }
        QCOMPARE(device.receivedMessages(), sent);
        const sim::Calibration c = device.calibration();
        const quint8 factors[] = {c.sens1Mul, c.sens1Div, c.calMul, c.calDiv};

        QSignalSpy spy(&device, &sim::KorvelDevice::frameOut);
        feed(device, pressureRequest);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(factors), 4).toHex() + ' ' + nextReply(spy), expected);
    }

    void shouldHandOutTheCopiedMatrix_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("inside");  // of the four bytes from that position

        QTest::newRow("14 x 24, first position") << 14 << 24 << 0 << 0 << 4;
        QTest::newRow("column past its row runs on") << 14 << 24 << 0 << 22 << 4;
        QTest::newRow("last row, two left") << 14 << 24 << 13 << 22 << 2;
        QTest::newRow("past the end") << 14 << 24 << 14 << 0 << 0;
        QTest::newRow("0 rows") << 0 << 24 << 0 << 0 << 0;
        QTest::newRow("255 x 255, last byte") << 255 << 255 << 254 << 254 << 1;
    }

    void shouldHandOutTheCopiedMatrix()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, inside);

        sim::KorvelDevice device;
        device.setMatrixSize(rows, columns);
        QSignalSpy spy(&device, &sim::KorvelDevice::frameOut);
        feed(device, copyRequest);
        QCOMPARE(nextReply(spy), (QByteArray::fromHex("2002") + char(rows) + char(columns) + QByteArray(4, 0)).toHex());
        const QByteArray matrix = device.snapshot();
        QCOMPARE(matrix.size(), rows * columns);

        const QByteArray head = QByteArray::fromHex("2003") + char(row) + char(column);
        feed(device, head + QByteArray(4, 0));
        const QByteArray values = matrix.mid(row * columns + column, inside);
        QCOMPARE(nextReply(spy), (head + values + QByteArray(4 - inside, 0)).toHex());
    }

    void shouldKeepOnlyTheLatestMessages_data()
    {
        QTest::addColumn<int>("count");

        constexpr int kept = sim::KorvelDevice::keptMessages;
        QTest::newRow("one below the limit") << kept - 1;
        QTest::newRow("at the limit") << kept;
        QTest::newRow("one above") << kept + 1;
        QTest::newRow("many laps") << 10 * kept + 3;
    }

    void shouldKeepOnlyTheLatestMessages()
    {
        QFETCH(int, count);
        sim::KorvelDevice device;
        QList<QByteArray> sent;
        for (int i = 0; i < count; ++i) {
            sent << QByteArray::number(i);  // single frames, up to 7 bytes each
            feed(device, char(sent.last().size()) + sent.last().leftJustified(7, '\xaa'), isoTpId);
        }
        QCOMPARE(device.receivedMessages(), sent.mid(qMax(0, count - sim::KorvelDevice::keptMessages)));
    }

    void shouldReplyOnlyToItsRequests_data()
    {
        QTest::addColumn<quint32>("id");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("reply");

        const QByteArray ok = pressureRequest;
        QTest::newRow("pressure request") << requestId << true << ok << QByteArray("2001000003e804b0");
        QTest::newRow("standard identifier") << requestId << false << ok << QByteArray("nothing");
        QTest::newRow("reply identifier") << replyId << true << ok << QByteArray("nothing");
        QTest::newRow("DLC 7") << requestId << true << ok.left(7) << QByteArray("nothing");
        QTest::newRow("byte 0 not 0x20") << requestId << true << "\x21" + ok.mid(1) << QByteArray("nothing");
        QTest::newRow("sub-command 0x04") << requestId << true << ok.left(1) + '\x04' + ok.mid(2) << QByteArray("nothing");
        QTest::newRow("ISO-TP, standard id") << isoTpId << false << QByteArray::fromHex("06c80111042020aa")
                                             << QByteArray("nothing");
    }

    void shouldReplyOnlyToItsRequests()
    {
        QFETCH(quint32, id);
        QFETCH(bool, extended);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, reply);

        sim::KorvelDevice device;
        device.setNoise(false);
        device.holdForce(0);
        QSignalSpy spy(&device, &sim::KorvelDevice::frameOut);
        feed(device, data, id, extended);
        QCOMPARE(nextReply(spy), reply);
        QVERIFY(device.receivedMessages().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKorvelDevice)
#include "tst_korveldevice.moc"
