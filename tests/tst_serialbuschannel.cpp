#include "can/vectorcan.h"
#include "xl/serialbuschannel.h"
#include "app/systemdriver.h"
#include "xl/virtualcanaddress.h"

#include <QCanBus>
#include <QtTest>

namespace {

// A device that fails on purpose: it refuses to connect, never connects, or
// connects and fails when the test says so.
struct FakeDevice : QCanBusDevice
{
    enum Opening { Refuses, NeverConnects, Connects };
    explicit FakeDevice(Opening opening) : opening(opening) {}

    using QCanBusDevice::enqueueReceivedFrames;
    using QCanBusDevice::setError;
    bool writeFrame(const QCanBusFrame &) override { return state() == ConnectedState; }
    QString interpretErrorFrame(const QCanBusFrame &) override { return {}; }
    bool open() override
    {
        if (opening == Refuses)
            setError(QStringLiteral("no such adapter"), ConnectionError);
        if (opening == Connects)
            setState(ConnectedState);
        return opening != Refuses;
    }
    void close() override { setState(UnconnectedState); }

    const Opening opening;
};

// A driver, installed while it lives, whose only channel makes fake devices.
struct FakeBus : xl::Driver
{
    explicit FakeBus(FakeDevice::Opening opening)
    {
        addChannel(std::make_unique<xl::SerialBusChannel>("fake can0", [=](QString *) {
            auto made = std::make_unique<FakeDevice>(opening);
            device = made.get();
            return made;
        }));
        install(this);
    }
    QPointer<FakeDevice> device;
};

} // namespace

class TestSerialBusChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("KORVEL_VIRTUALCAN_PORT", QByteArray::number(40000 + QCoreApplication::applicationPid() % 10000));
    }

    void shouldPutFramesOnTheBusAsSent_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<quint32>("id");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QByteArray>("payload");

        QTest::newRow("standard 0x7FF, no data, can1") << "can1" << 0x7FFu << false << QByteArray();
        QTest::newRow("extended 0x1FFFFFFF, dlc 8") << "can0" << 0x1FFFFFFFu << true << QByteArray("\x06\xc8\x01\x11\x04\x20\x20\xab");
    }

    // A virtual bus of the machine's, against a plain Qt device on it.
    void shouldPutFramesOnTheBusAsSent()
    {
        QFETCH(QString, bus);
        QFETCH(quint32, id);
        QFETCH(bool, extended);
        QFETCH(QByteArray, payload);

        app::SystemDriver driver;
        VectorCAN can;
        QList<VectorCAN::ChannelEntry> list;
        QVERIFY(can.listChannels(list));
        const auto channel = std::find_if(list.cbegin(), list.cend(), [&](const auto &entry) { return entry.name == "virtualcan " + bus; });
        QVERIFY(channel != list.cend() && can.open(channel->index, 500000, "test"));
        const std::unique_ptr<QCanBusDevice> peer(QCanBus::instance()->createDevice("virtualcan", xl::virtualCanInterface(bus)));
        QVERIFY(peer->connectDevice());
        QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QCanBusDevice::ConnectedState, 10000);
        // Once its greeting has arrived the bus's server knows the peer. The
        // remote request comes first, so that it would come first if it came.
        QVERIFY(peer->writeFrame(QCanBusFrame(QCanBusFrame::RemoteRequestFrame)) && peer->writeFrame(QCanBusFrame(0x1BFF8301, "greeting")));
        VectorCAN::Message msg;
        QVERIFY(QTest::qWaitFor([&] { return can.takeMessage(&msg); }, 10000));
        QVERIFY(!msg.tx && msg.extended && msg.dlc == 8 && !can.takeMessage(&msg));

        QVERIFY(can.transmit(id, extended, int(payload.size()), reinterpret_cast<const quint8 *>(payload.data())));
        QTRY_VERIFY_WITH_TIMEOUT(peer->framesAvailable() > 0, 10000);
        const QCanBusFrame heard = peer->readFrame();
        QCOMPARE(std::tuple(heard.frameId(), heard.hasExtendedFrameFormat(), heard.payload()), std::tuple(id, extended, payload));
    }

    void shouldFailToOpenAndLeaveNothingBehind_data()
    {
        QTest::addColumn<int>("opening");
        QTest::addColumn<QString>("trace");

        QTest::newRow("refuses to connect") << int(FakeDevice::Refuses) << "cannot connect: no such adapter";
        QTest::newRow("never connects") << int(FakeDevice::NeverConnects) << "cannot connect: no connection within 3000 ms";
    }

    void shouldFailToOpenAndLeaveNothingBehind()
    {
        QFETCH(int, opening);
        QFETCH(QString, trace);

        FakeBus bus{FakeDevice::Opening(opening)};
        VectorCAN can;
        QTest::ignoreMessage(QtWarningMsg, qPrintable("fake can0 " + trace));
        QVERIFY(!can.open(0, 500000, "test"));
        QVERIFY(!bus.device);
    }

    void shouldDeliverDataFramesOnlyUntilTheDeviceFails()
    {
        FakeBus bus(FakeDevice::Connects);
        VectorCAN can;
        QVERIFY(can.open(0, 500000, "test"));
        QCanBusFrame invalid(0x800, "x");  // an identifier beyond 11 bits without the flag
        invalid.setExtendedFrameFormat(false);
        const QCanBusFrame flexible(0x123, QByteArray(12, 'f'));
        bus.device->enqueueReceivedFrames({QCanBusFrame(QCanBusFrame::RemoteRequestFrame), QCanBusFrame(QCanBusFrame::ErrorFrame),
                                           invalid, flexible, QCanBusFrame(0x123, "data")});
        can.readMessages();
        VectorCAN::Message msg;
        QVERIFY(can.takeMessage(&msg) && msg.id == 0x123 && msg.dlc == 4 && !can.takeMessage(&msg));

        // Unplugged: the error, then the state; one trace for both.
        QTest::ignoreMessage(QtWarningMsg, "fake can0 failed, off the bus until reopened: adapter unplugged");
        QTest::failOnWarning(QRegularExpression("fake can0"));
        bus.device->setError(QStringLiteral("adapter unplugged"), QCanBusDevice::ConnectionError);
        QVERIFY(!can.transmit(0x123, false, 4, msg.data));
        bus.device->enqueueReceivedFrames({QCanBusFrame(0x123, "data")});
        can.readMessages();
        QVERIFY(!can.takeMessage(&msg));
        bus.device->disconnectDevice();
        can.close();
        QVERIFY(!bus.device);
    }
};

QTEST_MAIN(TestSerialBusChannel)
#include "tst_serialbuschannel.moc"
