#include <QCanBus>
#include <QCanBusDevice>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The arguments, the exit code, the end of stdout and all of stderr.
struct Answer { QStringList arguments; int exitCode; QString out, err; };

// korvel-console started as a test bench starts it.
class TestConsoleCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void shouldAnswerWithoutAWindow_data()
    {
        QTest::addColumn<Answer>("a");

        QTest::newRow("--list-channels")
            << Answer{{"--list-channels"}, 0, "Korvel-Simulator\nvirtualcan can0\nvirtualcan can1\n", {}};
        QTest::newRow("--version") << Answer{{"--version"}, 0, "korvel-console 0.1\n", {}};
        QTest::newRow("bad channel name")
            << Answer{{"--channel", "virtualcan can2"}, 2, {},
                      "korvel-console: no channel \"virtualcan can2\"; the channels are: Korvel-Simulator, virtualcan can0, "
                      "virtualcan can1\n"};
        QTest::newRow("file that cannot be written")
            << Answer{{"--channel", "Korvel-Simulator", "--record", "/nonexistent/k.log"}, 1, {},
                      "korvel-console: cannot record to /nonexistent/k.log: Die Datei oder das Verzeichnis konnte nicht "
                      "gefunden werden\n"};
    }

    void shouldAnswerWithoutAWindow()
    {
        QFETCH(Answer, a);

        QProcess console;
        qputenv("KORVEL_VIRTUALCAN_PORT", "65003");  // above the ports the kernel hands out on its own
        console.start(QStringLiteral(KORVEL_CONSOLE), a.arguments);
        QVERIFY(console.waitForFinished(30000));
        QCOMPARE(console.exitCode(), a.exitCode);
        QVERIFY2(QString::fromLocal8Bit(console.readAllStandardOutput()).endsWith(a.out), qPrintable(a.out));
        // Traces of the console's run may precede the line of a file refused.
        QVERIFY(QString::fromLocal8Bit(console.readAllStandardError()).endsWith(a.err));
    }

    // SIGTERM ends the console with 0 from its channel dialog, before the
    // window is there, as from its running window (shouldRecordUntilStopped);
    // never a spin. SIGINT takes the same handler (platform::StopSignals), which
    // tst_devsim sends SIGINT; here the console is seen to catch both.
    void shouldEndOnAStopSignalInTheChannelDialog()
    {
        QProcess console;
        console.start(QStringLiteral(KORVEL_CONSOLE));
        QVERIFY(console.waitForStarted());
        // Caught once the console watches both; then a moment for its dialog.
        QVERIFY(QTest::qWaitFor([&] {
            QFile file(QStringLiteral("/proc/%1/status").arg(console.processId()));
            const QByteArray status = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            const quint64 mask = status.mid(status.indexOf("SigCgt:") + 7, 17).trimmed().toULongLong(nullptr, 16);
            return (mask >> (SIGINT - 1) & 1) && (mask >> (SIGTERM - 1) & 1);
        }, 20000));
        QTest::qWait(500);
        ::kill(pid_t(console.processId()), SIGTERM);
        QVERIFY(console.waitForFinished(10000));
        QVERIFY(console.exitStatus() == QProcess::NormalExit && console.exitCode() == 0);
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
