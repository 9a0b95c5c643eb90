// The plugin below is linked into this test, not loaded from a file.
#define QT_STATICPLUGIN
#include "service/systemdriver.h"
#include "bus/serialbuslink.h"
#include "can/vectorcan.h"
#include "protocol/deviceprotocol.h"
#include "sim/busnode.h"
#include "virtualbus/virtualcanaddress.h"
#include "xl/buschannels.h"

#include <QCanBus>
#include <QCanBusFactory>
#include <QtTest>

namespace {

// A device that fails on purpose: "refusing" refuses to connect, "silent"
// never connects, any other connects and fails when the test says so. It
// keeps the frames written.
struct FakeDevice : QCanBusDevice
{
    explicit FakeDevice(const QString &name) : name(name) {}

    using QCanBusDevice::enqueueReceivedFrames;
    using QCanBusDevice::setError;
    bool writeFrame(const QCanBusFrame &frame) override { written << frame; return state() == ConnectedState; }
    QString interpretErrorFrame(const QCanBusFrame &) override { return {}; }
    bool open() override
    {
        if (name == "refusing")
            setError(QStringLiteral("no such adapter"), ConnectionError);
        else if (name != "silent")
            setState(ConnectedState);
        return name != "refusing";
    }
    void close() override { setState(UnconnectedState); }

    const QString name;
    QList<QCanBusFrame> written;
};

// A driver, installed while it lives, whose only channel is the fake plugin's device.
struct FakeBus : xl::Driver
{
    explicit FakeBus(const QString &device)
    {
        addChannel(xl::serialBusChannel(QStringLiteral("fake"), device));
        install(this);
    }
};

} // namespace

// Qt SerialBus's plugin "fake", whose devices are fake ones.
class FakePlugin : public QObject, public QCanBusFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QCanBusFactory" FILE "fakecanbus.json")
    Q_INTERFACES(QCanBusFactory)

public:
    QList<QCanBusDeviceInfo> availableDevices(QString *) const override { return {}; }
    QCanBusDevice *createDevice(const QString &name, QString *) const override { return made = new FakeDevice(name); }
    static inline QPointer<FakeDevice> made;  // the last device made, while it lives
};
Q_IMPORT_PLUGIN(FakePlugin)

class TestLinkChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("KORVEL_VIRTUALCAN_PORT", QByteArray::number(61001 + QCoreApplication::applicationPid() % 2000 * 2)); }

    void shouldPutFramesOnTheBusAsSent_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<QCanBusFrame>("frame");

        QTest::newRow("standard 0x7FF, no data, can1") << "can1" << QCanBusFrame(0x7FF, {});
        QTest::newRow("extended 0x1FFFFFFF, dlc 8") << "can0" << QCanBusFrame(0x1FFFFFFF, QByteArray::fromHex("06c80111042020ab"));
    }

    // A virtual bus of the machine's, against a plain Qt device on it.
    void shouldPutFramesOnTheBusAsSent()
    {
        QFETCH(QString, bus);
        QFETCH(QCanBusFrame, frame);

        service::SystemDriver driver;
        VectorCAN can;
        QList<VectorCAN::ChannelEntry> list;
        QVERIFY(can.listChannels(list));
        const auto channel = std::find_if(list.cbegin(), list.cend(), [&](const auto &entry) { return entry.name == "virtualcan " + bus; });
        QVERIFY(channel != list.cend() && can.open(channel->index, 500000, "test"));
        const std::unique_ptr<QCanBusDevice> peer(QCanBus::instance()->createDevice("virtualcan", virtualbus::virtualCanInterface(bus)));
        QVERIFY(peer->connectDevice());
        QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QCanBusDevice::ConnectedState, 10000);
        // Once its greeting has arrived the bus's server knows the peer. The
        // remote request comes first, so that it would come first if it came.
        QVERIFY(peer->writeFrame(QCanBusFrame(QCanBusFrame::RemoteRequestFrame)) && peer->writeFrame(QCanBusFrame(0x1BFF8301, "greeting")));
        VectorCAN::Message msg;
        QVERIFY(QTest::qWaitFor([&] { return can.takeMessage(&msg); }, 10000));
        QVERIFY(!msg.tx && msg.extended && msg.dlc == 8 && !can.takeMessage(&msg));

        const QByteArray payload = frame.payload();
        QVERIFY(can.transmit(frame.frameId(), frame.hasExtendedFrameFormat(), int(payload.size()),
                             reinterpret_cast<const quint8 *>(payload.data())));
        QTRY_VERIFY_WITH_TIMEOUT(peer->framesAvailable() > 0, 10000);
        // The identifier in as many digits as its format has, and the data.
        QCOMPARE(peer->readFrame().toString(), frame.toString());
    }

    void shouldFailToOpenAndLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("trace");

        QTest::newRow("refuses to connect") << "refusing" << "fake refusing cannot connect: no such adapter";
        QTest::newRow("never connects") << "silent" << "fake silent cannot connect: no connection within 3000 ms";
    }

    void shouldFailToOpenAndLeaveNothingBehind()
    {
        QFETCH(QString, device);
        QFETCH(QString, trace);

        FakeBus bus(device);
        VectorCAN can;
        QTest::ignoreMessage(QtWarningMsg, qPrintable(trace));
        QVERIFY(!can.open(0, 500000, "test"));
        QVERIFY(!FakePlugin::made);
    }

    void shouldDeliverDataFramesOnlyUntilTheDeviceFails()
    {
        FakeBus bus(QStringLiteral("can0"));
        VectorCAN can;
        QVERIFY(can.open(0, 500000, "test"));
        const QPointer<FakeDevice> device = FakePlugin::made;
        QCanBusFrame invalid(0x800, "x");  // an identifier beyond 11 bits without the flag
        invalid.setExtendedFrameFormat(false);
        const QCanBusFrame flexible(0x123, QByteArray(12, 'f'));
        device->enqueueReceivedFrames({QCanBusFrame(QCanBusFrame::RemoteRequestFrame), QCanBusFrame(QCanBusFrame::ErrorFrame),
                                           invalid, flexible, QCanBusFrame(0x123, "data")});
        can.readMessages();
        VectorCAN::Message msg;
        QVERIFY(can.takeMessage(&msg) && msg.id == 0x123 && msg.dlc == 4 && !can.takeMessage(&msg));

        // Unplugged: the error, then the state; one trace for both.
        QTest::ignoreMessage(QtWarningMsg, "fake can0 failed, off the bus until reopened: adapter unplugged");
        QTest::failOnWarning(QRegularExpression("fake can0"));
        device->setError(QStringLiteral("adapter unplugged"), QCanBusDevice::ConnectionError);
        QVERIFY(!can.transmit(0x123, false, 4, msg.data));
        device->enqueueReceivedFrames({QCanBusFrame(0x123, "data")});
        can.readMessages();
        QVERIFY(!can.takeMessage(&msg));
        device->disconnectDevice();
        can.close();
        QVERIFY(!device);
    }

    // The simulated device on a plugin's device hears its frames and answers on it.
    void shouldPutTheSimulatedDeviceOnAPluginsDevice()
    {
        sim::BusNode node;
        QString error;
        node.attach(bus::SerialBusLink::create(QStringLiteral("fake"), QStringLiteral("can0"), 500000, &error), 1000);
        FakePlugin::made->enqueueReceivedFrames({QCanBusFrame(protocol::requestId, QByteArray::fromHex("2002000000000000"))});
        QTRY_VERIFY(!FakePlugin::made->written.isEmpty() && FakePlugin::made->written[0].frameId() == protocol::responseId);

        // A bus error is said and the node stays on; the adapter gone ends it.
        QSignalSpy problems(&node, &sim::BusNode::problem);
        QSignalSpy failed(&node, &sim::BusNode::failed);
        FakePlugin::made->setError(QStringLiteral("bus error"), QCanBusDevice::ReadError);
        QCOMPARE(problems.value(0).value(0).toString(), QStringLiteral("bus error"));
        QVERIFY(failed.isEmpty());
        FakePlugin::made->disconnectDevice();
        QTRY_COMPARE(failed.size(), 1);
    }
};

QTEST_MAIN(TestLinkChannel)
#include "tst_linkchannel.moc"
