#include "xl/virtualcan.h"

#include <QtTest>

class TestVirtualCan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("KORVEL_VIRTUALCAN_PORT", "45000"); }

    void shouldReadOnlyAVirtualBus_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("text");  // the address as a URL, or what the error says
        QTest::addColumn<bool>("loopback");

        const QString noBus = QStringLiteral("is no virtual bus");
        const QString outside = QStringLiteral("is not within 1 to 65535");
        QTest::newRow("can0 on this machine's port") << "can0" << true << "tcp://127.0.0.1:45000/can0" << true;
        QTest::newRow("can1") << "can1" << true << "tcp://127.0.0.1:45000/can1" << true;
        QTest::newRow("can2") << "can2" << false << noBus << false;
        QTest::newRow("can0x") << "can0x" << false << noBus << false;
        QTest::newRow("can0 and a newline") << "can0\n" << false << noBus << false;
        QTest::newRow("empty") << "" << false << noBus << false;
        QTest::newRow("URL without port: Qt's") << "tcp://127.0.0.1/can0" << true << "tcp://127.0.0.1:35468/can0" << true;
        QTest::newRow("port 1") << "tcp://127.0.0.1:1/can0" << true << "tcp://127.0.0.1:1/can0" << true;
        QTest::newRow("port 40000, can1") << "tcp://127.0.0.1:40000/can1" << true << "tcp://127.0.0.1:40000/can1" << true;
        QTest::newRow("port 65535") << "tcp://127.0.0.1:65535/can0" << true << "tcp://127.0.0.1:65535/can0" << true;
        QTest::newRow("port 0") << "tcp://127.0.0.1:0/can0" << false << outside << false;
        QTest::newRow("port 65536") << "tcp://127.0.0.1:65536/can0" << false << outside << false;
        QTest::newRow("port 99999") << "tcp://127.0.0.1:99999/can0" << false << outside << false;
        QTest::newRow("six digits") << "tcp://127.0.0.1:100000/can0" << false << noBus << false;
        QTest::newRow("URL, can2") << "tcp://127.0.0.1:40000/can2" << false << noBus << false;
        QTest::newRow("URL and a newline") << "tcp://127.0.0.1:40000/can0\n" << false << noBus << false;
        QTest::newRow("not tcp") << "udp://127.0.0.1:40000/can0" << false << noBus << false;
        QTest::newRow("IPv6 loopback") << "tcp://[::1]:40000/can0" << true << "tcp://[::1]:40000/can0" << true;
        QTest::newRow("localhost") << "tcp://localhost:40000/can0" << true << "tcp://localhost:40000/can0" << true;
        QTest::newRow("another machine") << "tcp://192.168.1.5:40000/can1" << true << "tcp://192.168.1.5:40000/can1"
                                         << false;
    }

    void shouldReadOnlyAVirtualBus()
    {
        QFETCH(QString, device);
        QFETCH(bool, accepted);
        QFETCH(QString, text);
        QFETCH(bool, loopback);

        QString error;
        const std::optional<xl::VirtualCanAddress> address = xl::parseVirtualCanAddress(device, &error);
        QCOMPARE(address.has_value(), accepted);
        if (!accepted) {
            QVERIFY2(error.contains(text), qPrintable(error));
            return;
        }
        QCOMPARE(address->toString(), text);
        QCOMPARE(address->isLoopback(), loopback);
        // What toString() gives reads back as the same bus.
        QCOMPARE(xl::parseVirtualCanAddress(text)->toString(), text);
    }
};

QTEST_GUILESS_MAIN(TestVirtualCan)
#include "tst_virtualcan.moc"
