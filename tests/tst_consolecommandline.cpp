#include <QCanBus>
#include <QCanBusDevice>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// korvel-console started as a test bench starts it.
class TestConsoleCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void shouldAnswerWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");  // the end of stdout
        QTest::addColumn<QString>("err");  // all of stderr

        const QString channels = QStringLiteral("Korvel-Simulator\nvirtualcan can0\nvirtualcan can1\n");
        QTest::newRow("--list-channels") << QStringList{"--list-channels"} << 0 << channels << QString();
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "korvel-console 0.1\n" << QString();
        QTest::newRow("bad channel name")
            << QStringList{"--channel", "virtualcan can2"} << 2 << QString()
            << "korvel-console: no channel \"virtualcan can2\"; the channels are: Korvel-Simulator, virtualcan can0, "
               "virtualcan can1\n";
        QTest::newRow("file that cannot be written")
            << QStringList{"--channel", "Korvel-Simulator", "--record", "/nonexistent/k.log"} << 1 << QString()
            << "korvel-console: cannot record to /nonexistent/k.log: Die Datei oder das Verzeichnis konnte nicht gefunden werden\n";
    }

    void shouldAnswerWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);

        QProcess console;
        qputenv("KORVEL_VIRTUALCAN_PORT", "65003");  // above the ports the kernel hands out on its own
        console.start(QStringLiteral(KORVEL_CONSOLE), arguments);
        QVERIFY(console.waitForFinished(30000));
        QCOMPARE(console.exitCode(), exitCode);
        QVERIFY2(QString::fromLocal8Bit(console.readAllStandardOutput()).endsWith(out), qPrintable(out));
        // Traces of the console's run may precede the line of a file refused.
        QVERIFY(QString::fromLocal8Bit(console.readAllStandardError()).endsWith(err));
    }

    // SIGINT and SIGTERM end the console with 0 from its channel dialog, before
    // the window is there, as from its running window; never a spin.
    void shouldEndOnAStopSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("SIGTERM in the channel dialog") << int(SIGTERM) << QStringList();
        QTest::newRow("SIGINT in the channel dialog") << int(SIGINT) << QStringList();
        QTest::newRow("SIGTERM while running") << int(SIGTERM) << QStringList{"--channel", "Korvel-Simulator"};
    }

    void shouldEndOnAStopSignal()
    {
        QFETCH(int, signal);
        QFETCH(QStringList, arguments);

        QProcess console;
        console.start(QStringLiteral(KORVEL_CONSOLE), arguments);
        QVERIFY(console.waitForStarted());
        // Caught once the console watches both; then a moment for its window or dialog.
        const QString status = QStringLiteral("/proc/%1/status").arg(console.processId());
        QVERIFY(QTest::qWaitFor([&] {
            QFile file(status);
            quint64 mask = 0;
            for (const QByteArray &line : file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>()) {
                if (line.startsWith("SigCgt:"))
                    mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
            }
            return (mask >> (SIGINT - 1) & 1) && (mask >> (SIGTERM - 1) & 1);
        }, 20000));
        QTest::qWait(500);
        ::kill(pid_t(console.processId()), signal);
        QVERIFY(console.waitForFinished(10000));
        QVERIFY(console.exitStatus() == QProcess::NormalExit);
        QCOMPARE(console.exitCode(), 0);
    }

    // Recording on the virtual bus until stopped as a test bench stops it:
    // every line read back by python-can's log reader as the frame sent.
    void shouldRecordUntilStopped()
    {
        const quint16 port = 65005;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bench.log"));
        QProcess console;
        qputenv("KORVEL_VIRTUALCAN_PORT", QByteArray::number(port));
        console.start(QStringLiteral(KORVEL_CONSOLE), {"--channel", "virtualcan can0", "--record", path});

        // The console runs the bus: Qt's client and it must not race to.
        QVERIFY(QTest::qWaitFor([&] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(1000);
        }, 20000));
        std::unique_ptr<QCanBusDevice> bus(QCanBus::instance()->createDevice(
            QStringLiteral("virtualcan"), QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port)));
        QVERIFY(bus && bus->connectDevice());
        // The extended frame until both are connected and the console records
        // it, then the empty one, in that order.
        QVERIFY(QTest::qWaitFor([&] {
            QFile file(path);
            const QByteArray log = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            bus->writeFrame(log.contains("1BFF8301#2001000000000000 R")
                                ? QCanBusFrame(0x123, QByteArray())
                                : QCanBusFrame(0x1BFF8301, QByteArray::fromHex("2001000000000000")));
            return log.contains(" 123# R");
        }, 20000));
        ::kill(pid_t(console.processId()), SIGTERM);
        QVERIFY(console.waitForFinished(10000));
        QVERIFY(console.exitStatus() == QProcess::NormalExit && console.exitCode() == 0);

        QProcess python;
        // Debian's, for which the scripts install python3-can.
        python.start(QStringLiteral("/usr/bin/python3"),
                     {"-c", "import sys, can\n"
                            "for m in can.CanutilsLogReader(sys.argv[1]):\n"
                            "    print('%X %d %d %s %d' % (m.arbitration_id, m.is_extended_id, m.dlc, m.data.hex(), m.is_rx))",
                      path});
        QVERIFY(python.waitForFinished(30000));
        if (python.exitCode() != 0 && python.readAllStandardError().contains("No module named"))
            QSKIP("python3-can is not installed");
        QStringList frames = QString::fromLatin1(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        frames.removeDuplicates();
        QCOMPARE(frames, QStringList({"1BFF8301 1 8 2001000000000000 1", "123 0 0  1"}));
    }
};

QTEST_GUILESS_MAIN(TestConsoleCommandLine)
#include "tst_consolecommandline.moc"
