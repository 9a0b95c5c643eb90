#include "protocol/deviceprotocol.h"
#include "xl/stopsignals.h"
#include "xl/virtualcanaddress.h"
#include "xl/virtualcanlink.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <vector>

namespace {

void send(QCanBusDevice &bus, quint32 id, const QByteArray &hex)
{
    QCanBusFrame frame(id, QByteArray::fromHex(hex));
    frame.setExtendedFrameFormat(true);
    bus.writeFrame(frame);
}

// The payload, in hex, of the next 29-bit frame on id that starts with head.
QByteArray nextFrame(QCanBusDevice &bus, quint32 id, const QByteArray &head, int timeoutMs = 10000)
{
    while (QTest::qWaitFor([&] { return bus.framesAvailable() > 0; }, timeoutMs)) {
        const QCanBusFrame frame = bus.readFrame();
        if (frame.frameId() == id && frame.hasExtendedFrameFormat() && frame.payload().toHex().startsWith(head))
            return frame.payload().toHex();
    }
    return {};
}

QByteArray nextLine(QProcess &program)
{
    return QTest::qWaitFor([&] { return program.canReadLine(); }, 10000) ? program.readLine().trimmed() : "nothing";
}

} // namespace

class TestDevSim : public QObject
{
    Q_OBJECT

    quint16 port = 0;  // this suite's own virtual bus
    QScopedPointer<QCanBusDevice> bus;

private slots:
    void initTestCase()
    {
        // Ports of the tests' buses lie above the range the kernel hands out
        // on its own (32768 to 60999 here), which the suites' other sockets
        // take from: this suite's even ones, tst_serialbuschannel's odd ones.
        port = quint16(61000 + QCoreApplication::applicationPid() % 2000 * 2);
        qputenv("KORVEL_VIRTUALCAN_PORT", QByteArray::number(port));
        // The first device on the port, so that the bus server is this process's.
        bus.reset(QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), xl::virtualCanInterface("can0")));
        QVERIFY(bus && bus->connectDevice());
        QTRY_COMPARE_WITH_TIMEOUT(bus->state(), QCanBusDevice::ConnectedState, 10000);
    }

    void shouldServeTheMatrixAndTakeTheCalibrationAsOptionsSay()
    {
        QProcess program;
        program.start(QStringLiteral(KORVEL_DEVSIM), {"--rows", "0", "--columns", "255", "--latency", "300", "--block-size",
                                                      "1", "--stmin", "241", "--seed", "2", "--show-matrix"});
        QCOMPARE(nextLine(program),
                 "korvel-devsim on virtualcan tcp://127.0.0.1:" + QByteArray::number(port) + "/can0, matrix 0 x 255");
        // Until the program's connection has made its way through this
        // process's bus server, a frame may reach nobody: the first request
        // goes out again until it is answered.
        QByteArray pressure;
        for (int attempt = 0; attempt < 10 && pressure.isEmpty(); ++attempt) {
            send(*bus, protocol::requestId, "2001000000000000");
            pressure = nextFrame(*bus, protocol::responseId, "2001", 1000);
        }
        // Unloaded: 1000 and 1200 counts, with the noise the seed draws.
        QCOMPARE(pressure, QByteArray("2001006403e804b1"));
        QElapsedTimer latency;
        latency.start();
        send(*bus, protocol::requestId, "2002000000000000");
        QCOMPARE(nextFrame(*bus, protocol::responseId, "2002"), QByteArray("200200ff00000000"));
        QVERIFY(latency.elapsed() >= 250);  // --latency 300, with room for a coarse clock
        QCOMPARE(nextLine(program), QByteArray("snapshot 0 x 255 served:"));
        send(*bus, protocol::isoTpTxId, "100ac8021110321e");
        QCOMPARE(nextFrame(*bus, protocol::isoTpFlowControlId, ""), QByteArray("3001f1aaaaaaaaaa"));
        send(*bus, protocol::isoTpTxId, "2196c8ea27aaaaaa");
        QCOMPARE(nextLine(program), QByteArray("calibration written: sens1Mul 150, sens1Div 200, calMul 234, calDiv 39"));
        QCOMPARE(bus->framesAvailable(), 0);  // every frame went once
        // Ctrl+C in a terminal. An ended program has no id any more, and
        // kill(0) would signal this whole process group, ctest too.
        QCOMPARE(program.state(), QProcess::Running);
        ::kill(pid_t(program.processId()), SIGINT);
        QVERIFY(program.waitForFinished(10000));
        QVERIFY(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
    }

    // Refused at once, in one line on stderr.
    void shouldTakeOnlyWhatItCanDo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");  // how the one line on stderr starts

        const auto row = [](const char *name, const char *arguments, const QString &message) {
            QTest::newRow(name) << QString(arguments).split(' ') << message;
        };
        const QString stMin = QStringLiteral("korvel-devsim: --stmin takes a whole number from 0 to 127 or from 241 "
                                             "to 249, not \"%1\"");
        row("256 rows", "--rows 256", "korvel-devsim: --rows takes a whole number from 0 to 255, not \"256\"");
        row("stmin 128", "--stmin 128", stMin.arg(128));
        row("stmin 250", "--stmin 250", stMin.arg(250));
        row("drop rate above 1", "--drop 1.5", "korvel-devsim: --drop takes a number");
        row("speed 0", "--speed 0", "korvel-devsim: --speed takes a number above 0, not \"0\"\n");
        row("other plugin, device as it is", "--plugin none --device can0x",
            "korvel-devsim: none can0x: cannot get on the bus");
        row("can0x", "--device can0x", "korvel-devsim: \"can0x\" is no virtual bus");
        row("replay unreadable", "--replay /nonexistent/field.log",
            "korvel-devsim: cannot read /nonexistent/field.log: No such file or directory\n");
        // PORT: a bus that goes away once the program has joined it.
        row("bus lost", "--device tcp://127.0.0.1:PORT/can0",
            "korvel-devsim: virtualcan tcp://127.0.0.1:PORT/can0: lost the bus: ");
    }

    void shouldTakeOnlyWhatItCanDo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTcpServer bus;
        QVERIFY(bus.listen(QHostAddress::LocalHost));
        const QString port = QString::number(bus.serverPort());
        QProcess program;
        program.start(QStringLiteral(KORVEL_DEVSIM), arguments.replaceInStrings("PORT", port));
        if (message.contains("PORT") && bus.waitForNewConnection(10000))
            delete bus.nextPendingConnection();
        QVERIFY(program.waitForFinished(10000));
        QVERIFY(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 1);
        const QString error = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(error.startsWith(message.replace("PORT", port)) && error.count('\n') == 1, qPrintable(error));
    }

    // Stopped, the signals' watch leaves no descriptor open and closes none of ours.
    void shouldLeaveTheDescriptorsAsFound()
    {
        const auto open = [] { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System); };
        const QStringList before = open();
        delete new xl::StopSignals;
        QCOMPARE(open(), before);
    }

    // A log played onto the virtual bus, heard by a peer that joined before:
    // the frames in their order, the malformed lines counted and named once
    // at the end; the program ends there without the device.
    void shouldPlayTheFramesAndNameTheSkippedLines()
    {
        QTemporaryDir dir;
        QFile log(dir.filePath(QStringLiteral("field.log")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("(1733580000.000000) can0 1BFF8300#2001000000000000 T\n"
                  "(1733580000.000100) can0 1BFF8301#garbage R\n"
                  "\n"
                  "not a frame at all\n"
                  "(1733580000.200000) can0 123# R\n"
                  "(1733580000.300000) can0 7FF#AABB\n"
                  "x\ny\nz\nw\n");
        log.close();

        const quint16 port = 65001;  // a fixed one above the pid-chosen ones
        QString error;
        xl::VirtualCanLink peer(*xl::parseVirtualCanAddress(QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port), &error));
        QVERIFY2(peer.open(5000, &error), qPrintable(error));
        QProcess devsim;
        qputenv("KORVEL_VIRTUALCAN_PORT", QByteArray::number(port));
        devsim.start(QStringLiteral(KORVEL_DEVSIM), {"--replay", log.fileName(), "--speed", "10", "--no-device"});
        QVERIFY(devsim.waitForFinished(20000));
        QCOMPARE(devsim.exitCode(), 0);
        QCOMPARE(devsim.readAllStandardOutput().split('\n').value(1),
                 "replay of " + log.fileName().toLocal8Bit() + " done: 3 frames, 6 malformed lines skipped (lines 2, 4, 7, 8, 9, …)");

        std::vector<xl::wire::Frame> frames;
        QVERIFY(QTest::qWaitFor([&] { peer.take(frames, 100); return frames.size() >= 3; }, 10000));
        QStringList heard;
        for (const xl::wire::Frame &frame : frames)
            heard << QStringLiteral("%1 %2 %3").arg(frame.id, 0, 16).arg(frame.has(xl::wire::Frame::Extended))
                         .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(frame.data.data()), frame.length).toHex()));
        QCOMPARE(heard, QStringList({"1bff8300 1 2001000000000000", "123 0 ", "7ff 0 aabb"}));
    }
};

QTEST_GUILESS_MAIN(TestDevSim)
#include "tst_devsim.moc"
