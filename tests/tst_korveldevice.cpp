#include "can/vectorcan.h"
#include "isotp/isotptx.h"
#include "sim/korveldevice.h"
#include "xl/systemdriver.h"

#include <QtTest>

#include <algorithm>

namespace {

constexpr quint32 requestId = 0x1BFF8300;
constexpr quint32 replyId = 0x1BFF8301;
constexpr quint32 isoTpId = 0x17F873F0;

const QByteArray pressureRequest = QByteArray::fromHex("2001000000000000");
const QByteArray copyRequest = QByteArray::fromHex("2002000000000000");

void feed(sim::KorvelDevice &device, const QByteArray &data, quint32 id = requestId, bool extended = true)
{
    device.handleFrame(id, extended, int(data.size()), reinterpret_cast<const quint8 *>(data.constData()));
}

// The next reply the device sends, in hex; any other frame shows as its identifier.
QByteArray nextReply(QSignalSpy &spy)
{
    if (spy.isEmpty() && !spy.wait(5000))
        return "nothing";
    const QList<QVariant> frame = spy.takeFirst();
    if (frame.at(0).toUInt() != replyId || !frame.at(1).toBool())
        return "frame on " + QByteArray::number(frame.at(0).toUInt(), 16);
    return frame.at(2).toByteArray().toHex();
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

    // Through the driver the program uses, with the console's own adapter and transmitter.
    void shouldAnswerPressureAsCalibrated()
    {
        QFETCH(QByteArray, messages);
        QFETCH(double, force);
        QFETCH(QByteArray, expected);

        xl::SystemDriver driver;
        sim::KorvelDevice &device = driver.simulatedDevice();
        device.setNoise(false);
        device.holdForce(force);
        VectorCAN can;
        QList<VectorCAN::ChannelEntry> channels;
        QVERIFY(can.listChannels(channels));
        const auto simulator = std::find_if(channels.cbegin(), channels.cend(), [](const VectorCAN::ChannelEntry &entry) {
            return entry.name == QLatin1String("Korvel-Simulator");
        });
        QVERIFY(simulator != channels.cend());
        QVERIFY(can.open(simulator->index, 500000, QStringLiteral("KORVEL-Console")));
        ISOTPTX tx(&can, isoTpId, true, 0x17FAF073, true);
        connect(&can, &VectorCAN::messageReceived, &can, [&] {
            VectorCAN::Message msg;
            while (can.takeMessage(&msg))
                tx.handleFlowControl(msg);
        });

        QByteArrayList sent;
        for (const QByteArray &hex : messages.split(' '))
            sent << QByteArray::fromHex(hex);
        sent.removeAll(QByteArray());
        for (const QByteArray &message : sent)
            tx.send(message);
        QTRY_COMPARE_WITH_TIMEOUT(device.receivedMessages(), sent, 10000);
        const sim::Calibration c = device.calibration();
        const quint8 factors[] = {c.sens1Mul, c.sens1Div, c.calMul, c.calDiv};

        QSignalSpy spy(&device, &sim::KorvelDevice::frameOut);
        QVERIFY(can.transmit(requestId, true, 8, reinterpret_cast<const quint8 *>(pressureRequest.constData())));
        QVERIFY(spy.isEmpty());  // not inside the console's transmit, so that its receipt comes first
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
        QTest::addColumn<double>("dropRate");
        QTest::addColumn<double>("duplicateRate");
        QTest::addColumn<int>("replies");  // to three such frames

        const QByteArray ok = pressureRequest;
        QTest::newRow("pressure request") << requestId << true << ok << 0.0 << 0.0 << 3;
        QTest::newRow("drop rate 1") << requestId << true << ok << 1.0 << 0.0 << 0;
        QTest::newRow("duplicate rate 1") << requestId << true << ok << 0.0 << 1.0 << 6;
        QTest::newRow("standard identifier") << requestId << false << ok << 0.0 << 0.0 << 0;
        QTest::newRow("reply identifier") << replyId << true << ok << 0.0 << 0.0 << 0;
        QTest::newRow("DLC 7") << requestId << true << ok.left(7) << 0.0 << 0.0 << 0;
        QTest::newRow("byte 0 not 0x20") << requestId << true << "\x21" + ok.mid(1) << 0.0 << 0.0 << 0;
        QTest::newRow("sub-command 0x04") << requestId << true << ok.left(1) + '\x04' + ok.mid(2)
                                          << 0.0 << 0.0 << 0;
        QTest::newRow("ISO-TP, standard id") << isoTpId << false << QByteArray::fromHex("06c80111042020aa")
                                             << 0.0 << 0.0 << 0;
    }

    void shouldReplyOnlyToItsRequests()
    {
        QFETCH(quint32, id);
        QFETCH(bool, extended);
        QFETCH(QByteArray, data);
        QFETCH(double, dropRate);
        QFETCH(double, duplicateRate);
        QFETCH(int, replies);

        sim::KorvelDevice device;
        device.setDropRate(dropRate);
        device.setDuplicateRate(duplicateRate);
        QSignalSpy spy(&device, &sim::KorvelDevice::frameOut);
        for (int i = 0; i < 3; ++i)
            feed(device, data, id, extended);
        device.setDropRate(0);
        device.setDuplicateRate(0);
        feed(device, copyRequest);  // its reply comes after anything the frames caused
        QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last().at(2).toByteArray().startsWith("\x20\x02"), 10000);
        QCOMPARE(spy.size(), replies + 1);
        QVERIFY(device.receivedMessages().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKorvelDevice)
#include "tst_korveldevice.moc"
