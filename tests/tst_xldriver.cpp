#include "support/scripteddriver.h"
#include "xl/virtualbus.h"

#include <QtTest>

#include <poll.h>

#include <memory>
#include <vector>

namespace {

constexpr XlAccess busA = 1;  // a virtual bus
constexpr XlAccess busB = 2;  // a channel that injects what a test wants the ports to hear

struct TwoChannels : xl::Driver
{
    TwoChannels()
    {
        addChannel(std::make_unique<xl::VirtualBus>(QStringLiteral("A")));
        addChannel(std::unique_ptr<xl::Channel>(b));
        openDriver();
    }

    // Opens a port with a queue of 4096 events, on bus unless told otherwise.
    XlPortHandle open(XlAccess mask, bool activate = true)
    {
        XlPortHandle port = XL_INVALID_PORTHANDLE;
        XlAccess permission = mask;
        openPort(&port, "tst_xldriver", mask, &permission, 4096, XL_INTERFACE_VERSION, XL_BUS_TYPE_CAN);
        if (activate)
            activateChannel(port, mask, XL_BUS_TYPE_CAN, 0);
        return port;
    }

    XlStatus send(XlPortHandle port, XlAccess mask, quint16 dlc)
    {
        XlEvent frame = rxEvent(0x1BFF8300, true, QByteArray::fromHex("1112131415161718"));
        frame.tag = XL_TRANSMIT_MSG;
        frame.dlc = dlc;
        unsigned count = 1;
        return canTransmit(port, mask, &count, &frame);
    }

    // Takes up to max events off the port's queue, one line each.
    QStringList take(XlPortHandle port, unsigned max = 5000)
    {
        std::vector<XlEvent> events(max);
        if (receive(port, &max, events.data()) != XL_SUCCESS)
            return {};
        QStringList lines;
        for (unsigned i = 0; i < max; ++i)
            lines << line(events[i]);
        return lines;
    }

    static QString line(const XlEvent &e)
    {
        const QByteArray data(reinterpret_cast<const char *>(e.data), sizeof e.data);
        return QStringLiteral("%1 %2/%3 [%4] %5").arg(e.tag).arg(e.id, 0, 16).arg(e.flags, 0, 16)
            .arg(e.dlc).arg(QString::fromLatin1(data.toHex()));
    }

    ScriptedChannel *b = new ScriptedChannel(QStringLiteral("B"));  // the driver owns it
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
    void shouldDeliverAFrameToEveryOtherPortOnBusWithItsChannel_data()
    {
        QTest::addColumn<bool>("senderOnBus");
        QTest::addColumn<int>("dlc");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("port");
        QTest::addColumn<QStringList>("heard");
        const auto heard = [](const char *flags, const char *dlc) {
            return QStringList{QStringLiteral("1 9bff8300/%1 [%2] 1112131415161718").arg(flags, dlc)};
        };
        const int offline = XL_ERR_PORT_IS_OFFLINE;
        const int refused = XL_ERR_WRONG_PARAMETER;
        QTest::newRow("sender gets a TX receipt") << true << 8 << 0 << 0 << heard("40", "8");
        QTest::newRow("port on the same channel") << true << 8 << 0 << 1 << heard("0", "8");
        QTest::newRow("second port on the same channel") << true << 8 << 0 << 2 << heard("0", "8");
        QTest::newRow("port not yet activated") << true << 8 << 0 << 3 << QStringList();
        QTest::newRow("port on another channel") << true << 8 << 0 << 4 << QStringList();
        QTest::newRow("DLC 15 goes out") << true << 15 << 0 << 1 << heard("0", "15");
        QTest::newRow("DLC 16 refused, no receipt") << true << 16 << refused << 0 << QStringList();
        QTest::newRow("sender not yet activated") << false << 8 << offline << 1 << QStringList();
    }

    void shouldDeliverAFrameToEveryOtherPortOnBusWithItsChannel()
    {
        QFETCH(bool, senderOnBus);
        QFETCH(int, dlc);
        QFETCH(int, status);
        QFETCH(int, port);
        QFETCH(QStringList, heard);
        TwoChannels driver;
        const XlPortHandle ports[] = {driver.open(busA, senderOnBus), driver.open(busA),
                                      driver.open(busA), driver.open(busA, false), driver.open(busB)};
        QCOMPARE(driver.send(ports[0], busA, quint16(dlc)), XlStatus(status));
        QCOMPARE(driver.take(ports[port]), heard);
    }

    void shouldQueueUpToItsCapacityAndSignalWhileEventsWait_data()
    {
        QTest::addColumn<int>("pushed");
        QTest::newRow("no event") << 0;
        QTest::newRow("one event") << 1;
        QTest::newRow("one below the capacity") << 4095;
        QTest::newRow("at the capacity") << 4096;
        QTest::newRow("one above the capacity") << 4097;
    }

    void shouldQueueUpToItsCapacityAndSignalWhileEventsWait()
    {
        QFETCH(int, pushed);
        TwoChannels driver;
        const XlPortHandle port = driver.open(busB);
        XlHandle handle = -1;
        QCOMPARE(driver.setNotification(port, &handle, 1), XL_SUCCESS);
        QStringList kept;
        for (int i = 0; i < pushed; ++i) {
            const XlEvent event = rxEvent(quint32(i), false, {});
            driver.b->inject(event);
            if (i < 4096)
                kept << TwoChannels::line(event);
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
        QCOMPARE(count, 0u);

        // The drained queue takes events again, across the end of its ring.
        driver.b->inject(rxEvent(0x700, false, {}));
        driver.b->inject(rxEvent(0x701, false, {}));
        QCOMPARE(driver.take(port), QStringList({"1 700/0 [0] 0000000000000000",
                                                 "1 701/0 [0] 0000000000000000"}));
    }
};

QTEST_GUILESS_MAIN(TestXlDriver)
#include "tst_xldriver.moc"
