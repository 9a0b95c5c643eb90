#include "can/vectorcan.h"
#include "isotp/isotptx.h"
#include "sim/isotpreceiver.h"
#include "xl/driver.h"
#include "xl/inprocessbus.h"

#include <QtTest>

// A console and a device, each with its own adapter on one virtual bus: the
// console's transmitter sends, the device's receiver reassembles and paces it.
class TestIsoTpExchange : public QObject
{
    Q_OBJECT

private slots:
    void shouldReassembleTheLongestMessage_data()
    {
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<int>("stMin");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("consoleFrames");  // first frame and consecutive frames of the long message

        QTest::newRow("block size 0, STmin 0") << 0 << 0x00 << 4095 << 586;
        QTest::newRow("block size 2, STmin 5") << 2 << 0x05 << 4095 << 586;
        QTest::newRow("overflow") << 0 << 0x00 << 4094 << 1;
    }

    void shouldReassembleTheLongestMessage()
    {
        QFETCH(int, blockSize);
        QFETCH(int, stMin);
        QFETCH(int, capacity);
        QFETCH(int, consoleFrames);

        xl::Driver driver;
        driver.addChannel(std::make_unique<xl::InProcessBus>(QStringLiteral("Virtual Bus")));
        xl::Driver::install(&driver);
        VectorCAN console;
        VectorCAN device;
        QVERIFY(console.open(0, 500000, QStringLiteral("console")) && device.open(0, 500000, QStringLiteral("device")));
        ISOTPTX tx(&console, 0x17F873F0, true, 0x17FAF073, true);
        sim::IsoTpReceiver rx;
        rx.setBlockSize(quint8(blockSize));
        rx.setSeparationTime(quint8(stMin));
        rx.setCapacity(capacity);

        // The frames of the console the device heard, and the flow controls it sent.
        int consoleFramesHeard = 0;
        connect(&console, &VectorCAN::messageReceived, [&] {
            for (VectorCAN::Message msg; console.takeMessage(&msg);)
                tx.handleFlowControl(msg);
        });
        connect(&device, &VectorCAN::messageReceived, [&] {
            for (VectorCAN::Message msg; device.takeMessage(&msg);) {
                if (!msg.tx && msg.extended && msg.id == 0x17F873F0) {
                    ++consoleFramesHeard;
                    rx.handleFrame(msg.data, msg.dlc);
                }
            }
        });
        connect(&rx, &sim::IsoTpReceiver::flowControl, [&](const QByteArray &frame) {
            device.transmit(0x17FAF073, true, 8, reinterpret_cast<const quint8 *>(frame.constData()));
        });
        QSignalSpy flowControls(&rx, &sim::IsoTpReceiver::flowControl);
        QSignalSpy received(&rx, &sim::IsoTpReceiver::messageReceived);

        QByteArray longest(ISOTPTX::maxLength, Qt::Uninitialized);
        for (int i = 0; i < longest.size(); ++i)
            longest[i] = char(i * 7 + i / 255);
        const QByteArray after = QByteArray::fromHex("c80111042020");
        QVERIFY(tx.send(longest));
        QVERIFY(tx.send(after));  // waits for the long transfer, whatever its end

        // A real event loop, so that the frames go out at the pace the device asked for.
        while (received.size() < (consoleFrames > 1 ? 2 : 1))
            QVERIFY(received.wait(30000));
        QCOMPARE(received.constLast().constFirst().toByteArray(), after);
        if (consoleFrames > 1)
            QVERIFY(received.constFirst().constFirst().toByteArray() == longest);
        QCOMPARE(consoleFramesHeard, consoleFrames + 1);
        QCOMPARE(flowControls.size(), blockSize ? (585 + blockSize - 1) / blockSize : 1);
    }
};

QTEST_GUILESS_MAIN(TestIsoTpExchange)
#include "tst_isotpexchange.moc"
