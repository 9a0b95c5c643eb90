#include "support/scripteddriver.h"
#include "xl/inprocessbus.h"

#include <QtTest>

#include <poll.h>

#include <vector>

namespace {

constexpr XlAccess busA = 1;  // a virtual bus
constexpr XlAccess busB = 2;  // a channel that injects what a test wants the ports to hear

// A driver with a virtual bus and a scripted channel, driven through its calls.
struct TwoChannels : xl::Driver
{
    TwoChannels()
    {
        addChannel(std::make_unique<xl::InProcessBus>(QStringLiteral("A")));
        addChannel(std::unique_ptr<xl::Channel>(b));
        openDriver();
    }

    XlPortHandle open(XlAccess mask, bool activate = true, unsigned queueSize = 4096)
    {
        XlPortHandle port = XL_INVALID_PORTHANDLE;
        XlAccess permission = mask;
        openPort(&port, "tst_xldriver", mask, &permission, queueSize, XL_INTERFACE_VERSION, XL_BUS_TYPE_CAN);
        if (activate)
            activateChannel(port, mask, XL_BUS_TYPE_CAN, 0);
        return port;
    }

    // Takes the port's waiting events: identifier and flags of each.
    QStringList take(XlPortHandle port, unsigned max = 5000)
    {
        std::vector<XlEvent> events(max);
        QStringList taken;
        if (receive(port, &max, events.data()) == XL_SUCCESS) {
            for (unsigned i = 0; i < max; ++i)
                taken << QStringLiteral("%1/%2").arg(events[i].id, 0, 16).arg(events[i].flags, 0, 16);
        }
        return taken;
    }

    tests::ScriptedChannel *b = new tests::ScriptedChannel(QStringLiteral("B"));  // the driver owns it
};

bool readable(XlHandle handle)
{
    pollfd watched{handle, POLLIN, 0};
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLIN);
}

} // namespace

class TestXlDriver : public QObject
{
    Q_OBJECT

private slots:
    void shouldDeliverToEveryOtherPortOnBusWithTheChannel_data()
    {
        QTest::addColumn<bool>("senderOnBus");
        QTest::addColumn<int>("listener");
        QTest::addColumn<QStringList>("heard");
        QTest::newRow("sender gets a TX receipt") << true << 0 << QStringList{"9bff8300/40"};
        QTest::newRow("port on the same channel") << true << 1 << QStringList{"9bff8300/0"};
        QTest::newRow("port not yet activated") << true << 2 << QStringList();
        QTest::newRow("port on another channel") << true << 3 << QStringList();
        QTest::newRow("sender not yet activated") << false << 1 << QStringList();
    }

    void shouldDeliverToEveryOtherPortOnBusWithTheChannel()
    {
        QFETCH(bool, senderOnBus);
        QFETCH(int, listener);
        QFETCH(QStringList, heard);
        TwoChannels driver;
        const XlPortHandle ports[] = {driver.open(busA, senderOnBus), driver.open(busA),
                                      driver.open(busA, false), driver.open(busB)};
        XlEvent frame = xl::receivedEvent(0x1BFF8300, true, QByteArray(8, '\x11'));
        frame.tag = XL_TRANSMIT_MSG;
        unsigned count = 1;
        QCOMPARE(driver.canTransmit(ports[0], busA, &count, &frame),
                 senderOnBus ? XL_SUCCESS : XL_ERR_PORT_IS_OFFLINE);
        QCOMPARE(driver.take(ports[listener]), heard);
    }

    void shouldQueueUpToItsCapacityAndSignalWhileEventsWait_data()
    {
        QTest::addColumn<int>("pushed");
        QTest::newRow("no event") << 0;
        QTest::newRow("one event") << 1;
        QTest::newRow("at the capacity") << 4096;
        QTest::newRow("one above the capacity") << 4097;
    }

    void shouldQueueUpToItsCapacityAndSignalWhileEventsWait()
    {
        QFETCH(int, pushed);
        TwoChannels driver;
        const XlPortHandle port = driver.open(busB);
        XlHandle handle = -1;
        QCOMPARE(driver.setNotification(port, nullptr, 1), XL_ERR_WRONG_PARAMETER);
        QCOMPARE(driver.setNotification(port, &handle, 1), XL_SUCCESS);
        QStringList kept;
        for (int i = 0; i < pushed; ++i) {
            driver.b->inject(xl::receivedEvent(quint32(i), false, {}));
            if (i < 4096)
                kept << QStringLiteral("%1/0").arg(i, 0, 16);
        }
        QCOMPARE(readable(handle), pushed > 0);
        const QStringList first = driver.take(port, 1);
        QCOMPARE(readable(handle), pushed > 1);
        // The oldest events stay; the ones a full queue refuses are counted.
        QCOMPARE(first + driver.take(port), kept);
        QCOMPARE(driver.lostEvents(port), quint64(qMax(0, pushed - 4096)));
        QVERIFY(!readable(handle));
        XlEvent event;
        unsigned count = 1;
        QCOMPARE(driver.receive(port, &count, &event), XL_ERR_QUEUE_IS_EMPTY);
        count = 1;
        QCOMPARE(driver.receive(port, &count, nullptr), XL_ERR_WRONG_PARAMETER);
        count = 0;
        QCOMPARE(driver.receive(port, &count, &event), XL_ERR_WRONG_PARAMETER);
        QCOMPARE(driver.receive(port, nullptr, &event), XL_ERR_WRONG_PARAMETER);

        // The drained queue takes events again, across the end of its ring.
        driver.b->inject(xl::receivedEvent(0x700, false, {}));
        driver.b->inject(xl::receivedEvent(0x701, false, {}));
        QCOMPARE(driver.take(port), QStringList({"700/0", "701/0"}));
    }

    // Bus A's port opened with a queue of the given size, then its bit rate
    // and output mode set for a mask; whether a frame goes out after.
    void shouldRefuseArgumentsOutOfRange_data()
    {
        QTest::addColumn<uint>("queueSize");
        QTest::addColumn<uint>("mask");
        QTest::addColumn<uint>("bitrate");
        QTest::addColumn<int>("mode");
        QTest::addColumn<XlStatus>("status");  // of the first call that fails, or XL_SUCCESS
        QTest::addColumn<bool>("sent");
        const auto row = [](const char *name, uint queueSize, uint mask, uint bitrate, int mode, XlStatus status, bool sent) {
            QTest::newRow(name) << queueSize << mask << bitrate << mode << status << sent;
        };
        const int normal = XL_OUTPUT_MODE_NORMAL;
        row("queue of 0", 0, busA, 500000, normal, XL_ERR_INVALID_PORT, false);
        row("queue of 2^20", 1u << 20, busA, 500000, normal, XL_SUCCESS, true);
        row("queue of 2^20 + 1", (1u << 20) + 1, busA, 500000, normal, XL_ERR_INVALID_PORT, false);
        row("silent", 1, busA, 500000, XL_OUTPUT_MODE_SILENT, XL_SUCCESS, false);
        row("mode 2", 1, busA, 500000, 2, XL_ERR_WRONG_PARAMETER, true);
        row("silent on a channel not opened", 1, busB, 500000, XL_OUTPUT_MODE_SILENT, XL_ERR_INVALID_ACCESS, true);
        row("bit rate 0", 1, busA, 0, normal, XL_ERR_WRONG_PARAMETER, true);
        row("bit rate 1 Mbit/s", 1, busA, 1000000, normal, XL_SUCCESS, true);
        row("bit rate 1 Mbit/s + 1", 1, busA, 1000001, normal, XL_ERR_WRONG_PARAMETER, true);
    }

    void shouldRefuseArgumentsOutOfRange()
    {
        QFETCH(uint, queueSize);
        QFETCH(uint, mask);
        QFETCH(uint, bitrate);
        QFETCH(int, mode);
        QFETCH(XlStatus, status);
        QFETCH(bool, sent);
        TwoChannels driver;
        const XlPortHandle port = driver.open(busA, true, queueSize);
        XlStatus failed = driver.canSetChannelBitrate(port, mask, bitrate);
        if (failed == XL_SUCCESS)
            failed = driver.canSetChannelOutput(port, mask, mode);
        QCOMPARE(failed, status);
        XlEvent frame = xl::receivedEvent(0x123, false, {});
        frame.tag = XL_TRANSMIT_MSG;
        unsigned count = 1;
        QCOMPARE(driver.canTransmit(port, busA, &count, &frame) == XL_SUCCESS, sent);
    }
};

QTEST_GUILESS_MAIN(TestXlDriver)
#include "tst_xldriver.moc"
