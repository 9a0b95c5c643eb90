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

struct Delivery { bool senderOnBus; int listener; QStringList heard; };

// Bus A's port opened with a queue of the given size, then its bit rate and
// output mode set for a mask: the status of the first call that fails, or
// XL_SUCCESS, and whether a frame goes out after.
struct Arguments { uint queueSize, mask, bitrate; int mode; XlStatus status; bool sent; };

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
    // The sender, active or not, on bus A beside a port on it, one not yet
    // active and one on bus B: what the listener, one of these four, hears.
    void shouldDeliverToEveryOtherPortOnBusWithTheChannel_data()
    {
        QTest::addColumn<Delivery>("d");
        QTest::newRow("sender gets a TX receipt") << Delivery{true, 0, {"9bff8300/40"}};
        QTest::newRow("port on the same channel") << Delivery{true, 1, {"9bff8300/0"}};
        QTest::newRow("port not yet activated") << Delivery{true, 2, {}};
        QTest::newRow("port on another channel") << Delivery{true, 3, {}};
        QTest::newRow("sender not yet activated") << Delivery{false, 1, {}};
    }

    void shouldDeliverToEveryOtherPortOnBusWithTheChannel()
    {
        QFETCH(Delivery, d);
        TwoChannels driver;
        const XlPortHandle ports[] = {driver.open(busA, d.senderOnBus), driver.open(busA),
                                      driver.open(busA, false), driver.open(busB)};
        XlEvent frame = xl::receivedEvent(0x1BFF8300, true, QByteArray(8, '\x11'));
        frame.tag = XL_TRANSMIT_MSG;
        unsigned count = 1;
        QCOMPARE(driver.canTransmit(ports[0], busA, &count, &frame), d.senderOnBus ? XL_SUCCESS : XL_ERR_PORT_IS_OFFLINE);
        QCOMPARE(driver.take(ports[d.listener]), d.heard);
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
        for (int i = 0; i < pushed; ++i)
            driver.b->inject(xl::receivedEvent(quint32(i), false, {}));
        for (int i = 0; i < qMin(pushed, 4096); ++i)
            kept << QStringLiteral("%1/0").arg(i, 0, 16);
        QCOMPARE(readable(handle), pushed > 0);
        const QStringList first = driver.take(port, 1);
        QCOMPARE(readable(handle), pushed > 1);
        // The oldest events stay; the ones a full queue refuses are counted.
        QCOMPARE(first + driver.take(port), kept);
        QCOMPARE(driver.lostEvents(port), quint64(qMax(0, pushed - 4096)));
        QVERIFY(!readable(handle));
        XlEvent event;
        unsigned one = 1, none = 0;
        QCOMPARE(driver.receive(port, &one, nullptr), XL_ERR_WRONG_PARAMETER);
        QCOMPARE(driver.receive(port, &none, &event), XL_ERR_WRONG_PARAMETER);
        QCOMPARE(driver.receive(port, nullptr, &event), XL_ERR_WRONG_PARAMETER);
        QCOMPARE(driver.receive(port, &one, &event), XL_ERR_QUEUE_IS_EMPTY);

        // The drained queue takes events again, across the end of its ring.
        driver.b->inject(xl::receivedEvent(0x700, false, {}));
        driver.b->inject(xl::receivedEvent(0x701, false, {}));
        QCOMPARE(driver.take(port), QStringList({"700/0", "701/0"}));
    }

    void shouldRefuseArgumentsOutOfRange_data()
    {
        QTest::addColumn<Arguments>("a");
        const int normal = XL_OUTPUT_MODE_NORMAL;
        QTest::newRow("queue of 0") << Arguments{0, busA, 500000, normal, XL_ERR_INVALID_PORT, false};
        QTest::newRow("queue of 2^20") << Arguments{1u << 20, busA, 500000, normal, XL_SUCCESS, true};
        QTest::newRow("queue of 2^20 + 1") << Arguments{(1u << 20) + 1, busA, 500000, normal, XL_ERR_INVALID_PORT, false};
        QTest::newRow("silent") << Arguments{1, busA, 500000, XL_OUTPUT_MODE_SILENT, XL_SUCCESS, false};
        QTest::newRow("mode 2") << Arguments{1, busA, 500000, 2, XL_ERR_WRONG_PARAMETER, true};
        QTest::newRow("silent on a channel not opened")
            << Arguments{1, busB, 500000, XL_OUTPUT_MODE_SILENT, XL_ERR_INVALID_ACCESS, true};
        QTest::newRow("bit rate 0") << Arguments{1, busA, 0, normal, XL_ERR_WRONG_PARAMETER, true};
        QTest::newRow("bit rate 1 Mbit/s") << Arguments{1, busA, 1000000, normal, XL_SUCCESS, true};
        QTest::newRow("bit rate 1 Mbit/s + 1") << Arguments{1, busA, 1000001, normal, XL_ERR_WRONG_PARAMETER, true};
    }

    void shouldRefuseArgumentsOutOfRange()
    {
        QFETCH(Arguments, a);
        TwoChannels driver;
        const XlPortHandle port = driver.open(busA, true, a.queueSize);
        XlStatus failed = driver.canSetChannelBitrate(port, a.mask, a.bitrate);
        if (failed == XL_SUCCESS)
            failed = driver.canSetChannelOutput(port, a.mask, a.mode);
        QCOMPARE(failed, a.status);
        XlEvent frame = xl::receivedEvent(0x123, false, {});
        frame.tag = XL_TRANSMIT_MSG;
        unsigned count = 1;
        QCOMPARE(driver.canTransmit(port, busA, &count, &frame) == XL_SUCCESS, a.sent);
    }
};

QTEST_GUILESS_MAIN(TestXlDriver)
#include "tst_xldriver.moc"
