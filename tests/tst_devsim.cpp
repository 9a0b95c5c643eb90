#include "platform/stopsignals.h"
#include "protocol/deviceprotocol.h"
#include "virtualbus/virtualcanaddress.h"
#include "virtualbus/virtualcanlink.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sends a 29-bit frame on id, its data in hex, and returns the payload, in
// hex, of the next 29-bit frame on replyId that starts with head.
QByteArray ask(QCanBusDevice &bus, quint32 id, const QByteArray &hex, quint32 replyId, const QByteArray &head = {},
               int timeoutMs = 10000)
{
    QCanBusFrame frame(id, QByteArray::fromHex(hex));
    frame.setExtendedFrameFormat(true);
    bus.writeFrame(frame);
    while (QTest::qWaitFor([&] { return bus.framesAvailable() > 0; }, timeoutMs)) {
        const QCanBusFrame reply = bus.readFrame();
        if (reply.frameId() == replyId && reply.hasExtendedFrameFormat() && reply.payload().toHex().startsWith(head))
            return reply.payload().toHex();
    }
    return {};
}

QByteArray nextLine(QProcess &program)
{
    return QTest::qWaitFor([&] { return program.canReadLine(); }, 10000) ? program.readLine().trimmed() : "nothing";
}

// A field log's frame, one line.
const QByteArray frameLine = "(1733580000.300000) can0 7FF#AABB";

// The highest resident memory of a process so far, in KiB; 0 when unknown.
qint64 peakKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    const QString text = status.open(QIODevice::ReadOnly) ? QString::fromLatin1(status.readAll()) : QString();
    return QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+)")).match(text).captured(1).toLongLong();
}

// A program of the build, its arguments, how its one line on stderr starts
// (none for the usage), and what it gets on stdin.
struct Run { QString program; QStringList arguments; QString message; QByteArray input; };

// Where the log is read from: "file", "FIFO" or "-", each read its own way;
// the log, which pipes get in two writes, the first ending within a line;
// the frames heard, "<id> <extended> <data>" in hex; the end of the last line.
struct Replay { QString source; QByteArray log; QStringList heard; QByteArray done; };

} // namespace

Q_DECLARE_METATYPE(Run)
Q_DECLARE_METATYPE(Replay)

class TestDevSim : public QObject
{
    Q_OBJECT

private slots:
    // With a replay whose input says nothing till the end: the device answers
    // meanwhile.
    void shouldServeTheMatrixAndTakeTheCalibrationAsOptionsSay()
    {
        // Ports of the tests' buses lie above the range the kernel hands out
        // on its own (32768 to 60999 here), which the suites' other sockets
        // take from: this suite's even ones, tst_linkchannel's odd ones.
        const QByteArray port = QByteArray::number(61000 + QCoreApplication::applicationPid() % 2000 * 2);
        qputenv("KORVEL_VIRTUALCAN_PORT", port);
        // The first device on the port, so that the bus server is this process's.
        const QScopedPointer<QCanBusDevice> bus(
            QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), virtualbus::virtualCanInterface("can0")));
        QVERIFY(bus && bus->connectDevice());
        QTRY_COMPARE_WITH_TIMEOUT(bus->state(), QCanBusDevice::ConnectedState, 10000);
        QProcess program;
        program.start(QStringLiteral(KORVEL_DEVSIM),
                      {"--replay", "-", "--rows", "0", "--columns", "255", "--latency", "300", "--block-size", "1",
                       "--stmin", "241", "--seed", "2", "--show-matrix"});
        QCOMPARE(nextLine(program), "korvel-devsim on virtualcan tcp://127.0.0.1:" + port + "/can0, matrix 0 x 255");
        // Until the program's connection has made its way through this
        // process's bus server, a frame may reach nobody: the request goes out
        // again until it is answered.
        QByteArray pressure;
        for (int attempt = 0; attempt < 10 && pressure.isEmpty(); ++attempt)
            pressure = ask(*bus, protocol::requestId, "2001000000000000", protocol::responseId, "2001", 1000);
        // Unloaded: 1000 and 1200 counts, with the noise the seed draws.
        QCOMPARE(pressure, QByteArray("2001006403e804b1"));
        QElapsedTimer latency;
        latency.start();
        QCOMPARE(ask(*bus, protocol::requestId, "2002000000000000", protocol::responseId, "2002"), QByteArray("200200ff00000000"));
        QVERIFY(latency.elapsed() >= 250);  // --latency 300, with room for a coarse clock
        QCOMPARE(nextLine(program), QByteArray("snapshot 0 x 255 served:"));
        QCOMPARE(ask(*bus, protocol::isoTpTxId, "100ac8021110321e", protocol::isoTpFlowControlId), QByteArray("3001f1aaaaaaaaaa"));
        QCanBusFrame last(protocol::isoTpTxId, QByteArray::fromHex("2196c8ea27aaaaaa"));
        last.setExtendedFrameFormat(true);
        bus->writeFrame(last);
        QCOMPARE(nextLine(program), QByteArray("calibration written: sens1Mul 150, sens1Div 200, calMul 234, calDiv 39"));
        QCOMPARE(bus->framesAvailable(), 0);  // every frame went once
        program.write(frameLine + "\n");
        program.closeWriteChannel();
        QCOMPARE(nextLine(program), QByteArray("replay of standard input done: 1 frames"));
        // Ctrl+C in a terminal. An ended program has no id any more, and
        // kill(0) would signal this whole process group, ctest too.
        QCOMPARE(program.state(), QProcess::Running);
        ::kill(pid_t(program.processId()), SIGINT);
        QVERIFY(program.waitForFinished(10000));
        QVERIFY(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
    }

    // Refused at once, in one line on stderr, before joining the bus unless
    // the refusal comes from the replay or the bus; every program of the build
    // also answers --help with its usage and refuses an option it does not
    // know, and does nothing else.
    void shouldTakeOnlyWhatItCanDo_data()
    {
        QTest::addColumn<Run>("r");

        const auto row = [](const char *name, const char *args, const QString &message, const QByteArray &input = {}) {
            QTest::newRow(name) << Run{QStringLiteral(KORVEL_DEVSIM), QString(args).split(' '), message, input};
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
        row("controls and replay on stdin", "--controls --replay -",
            "korvel-devsim: --controls and --replay - both read standard input\n");
        row("replay unreadable", "--replay /no/log", "korvel-devsim: cannot read /no/log: No such file or directory\n");
        // Refused before the bus: joining with the plugin "none" would fail first.
        row("replay of a folder", "--replay / --plugin none", "korvel-devsim: cannot read /: Is a directory\n");
        // Bytes no text log has, even in a line that never ends.
        row("replay of /dev/zero", "--replay /dev/zero --no-device",
            "korvel-devsim: /dev/zero is no can-utils text log: binary data in line 1\n");
        row("replay of a NUL in line 3", "--replay - --no-device",
            "korvel-devsim: standard input is no can-utils text log: binary data in line 3\n",
            frameLine + QByteArray("\n\nAB\0CD\n", 8) + frameLine + "\n");
        // A bus that goes away once the program has joined it.
        row("bus lost", "--device tcp://127.0.0.1:PORT/can0",
            "korvel-devsim: virtualcan tcp://127.0.0.1:PORT/can0: lost the bus: ");
        for (const QString &program : QStringLiteral(KORVEL_PROGRAMS).split(QLatin1Char(':'))) {
            const QString name = QFileInfo(program).fileName();
            QTest::addRow("%s --help", qPrintable(name)) << Run{program, {"--help"}, {}, {}};
            QTest::addRow("%s --bogus", qPrintable(name)) << Run{program, {"--bogus"}, name + ": Unknown option 'bogus'.\n", {}};
        }
    }

    void shouldTakeOnlyWhatItCanDo()
    {
        QFETCH(Run, r);
        QTcpServer bus;  // where the program would join its bus
        QVERIFY(bus.listen(QHostAddress::LocalHost));
        const QString port = QString::number(bus.serverPort());
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KORVEL_VIRTUALCAN_PORT"), port);
        process.setProcessEnvironment(environment);
        process.start(r.program, r.arguments.replaceInStrings("PORT", port));
        process.write(r.input);
        process.closeWriteChannel();
        // A replay joins the bus before it reads, and says so on stdout.
        const bool joins = r.arguments.contains("--no-device") || r.message.contains("PORT");
        if (r.message.contains("PORT") && bus.waitForNewConnection(10000))
            delete bus.nextPendingConnection();
        QVERIFY(process.waitForFinished(10000));
        QVERIFY(process.exitStatus() == QProcess::NormalExit && process.exitCode() == (r.message.isEmpty() ? 0 : 1));
        const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
        QVERIFY2(r.message.isEmpty() ? output.startsWith("Usage: ") : output.count('\n') == int(joins), qPrintable(output));
        // Qt's own note on an environment without a runtime folder aside.
        const QString error = QString::fromLocal8Bit(process.readAllStandardError())
                                  .remove(QRegularExpression(QStringLiteral("^QStandardPaths: .*\n")));
        QVERIFY2(error.startsWith(r.message.replace("PORT", port)) && error.count('\n') == int(!r.message.isEmpty()),
                 qPrintable(error));
        QVERIFY(joins || !bus.waitForNewConnection(100));
    }

    // Stopped, the signals' watch leaves no descriptor open and closes none of ours.
    void shouldLeaveTheDescriptorsAsFound()
    {
        const auto open = [] { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System); };
        const QStringList before = open();
        delete new platform::StopSignals;
        QCOMPARE(open(), before);
    }

    // A log played onto a virtual bus of its own, heard by a peer that joined
    // before: the frames in their order, the malformed lines counted and named
    // once at the end, where the program ends without the device. A line
    // longer than any frame's, 76 bytes before its newline, is skipped as it
    // comes, never held whole.
    void shouldPlayTheFramesAndSkipTheRest_data()
    {
        QTest::addColumn<Replay>("r");

        // Its last line, no frame, without newline. Every row's frames come
        // before its input ends, when the program's memory is read.
        const QByteArray log = "(1733580000.000000) can0 1BFF8300#2001000000000000 T\n(1733580000.000100) can0 "
                               "1BFF8301#garbage R\n\nnot a frame at all\n(1733580000.200000) can0 123# R\n"
                               + frameLine + "\nx\ny\nz\nw";
        const QStringList three = {"1bff8300 1 2001000000000000", "123 0 ", "7ff 0 aabb"};
        const QByteArray six = "3 frames, 6 malformed lines skipped (lines 2, 4, 7, 8, 9, …)";
        QTest::newRow("file") << Replay{"file", log, three, six};
        QTest::newRow("FIFO, opened before its writer") << Replay{"FIFO", log, three, six};
        QTest::newRow("standard input") << Replay{"-", log, three, six};
        const auto padded = [](int length) { return frameLine + QByteArray(length - frameLine.size(), ' '); };
        const QStringList one = {"7ff 0 aabb"};
        const QByteArray two = "2 frames, 1 malformed lines skipped (lines 2)";
        QTest::newRow("76 bytes, the last a carriage return; 77 bytes")
            << Replay{"-", padded(75) + "\r\n" + padded(77) + "\n" + frameLine + "\n", one + one, two};
        // Held whole, it would show in the program's memory.
        QTest::newRow("16 MiB between two frames")
            << Replay{"-", frameLine + "\n" + QByteArray(16 << 20, 'x') + "\n" + frameLine + "\n", one + one, two};
    }

    void shouldPlayTheFramesAndSkipTheRest()
    {
        QFETCH(Replay, r);
        QTemporaryDir dir;
        const QString path = r.source == "-" ? r.source : dir.filePath(QStringLiteral("field.log"));
        QFile file(path);
        QVERIFY(r.source != "file" || (file.open(QIODevice::WriteOnly) && file.write(r.log) == r.log.size() && file.flush()));
        QVERIFY(r.source != "FIFO" || ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);

        // A bus of its own, on a port above the pid-chosen ones.
        const QString url = QStringLiteral("tcp://127.0.0.1:65001/can0");
        virtualbus::VirtualCanLink peer(*virtualbus::parseVirtualCanAddress(url));
        QString error;
        QVERIFY2(peer.open(5000, &error), qPrintable(error));
        QProcess devsim;
        devsim.start(QStringLiteral(KORVEL_DEVSIM), {"--replay", path, "--speed", "10", "--no-device", "--device", url});
        // On the bus before a FIFO has a writer: its open() does not wait for one.
        QVERIFY(nextLine(devsim).endsWith("replay only"));
        std::vector<bus::Frame> frames;
        const auto hear = [&] {  // fewer after the wait show in the comparison
            (void)QTest::qWaitFor([&] { peer.take(frames, 100); return frames.size() >= size_t(r.heard.size()); }, 30000);
            QStringList lines;
            for (const bus::Frame &frame : frames) {
                const QByteArray data(reinterpret_cast<const char *>(frame.data.data()), frame.length);
                const char *extended = frame.has(bus::Frame::Extended) ? " 1 " : " 0 ";
                lines << QString::number(frame.id, 16) + extended + data.toHex();
            }
            return lines;
        };
        if (r.source != "file") {
            const qint64 before = peakKiB(devsim.processId());
            QVERIFY(before > 0);
            const int fifo = r.source == "FIFO" ? ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK) : -1;
            QVERIFY(r.source != "FIFO" || fifo >= 0);
            for (const QByteArray &chunk : {r.log.left(70), r.log.mid(70)}) {
                QVERIFY(fifo >= 0 ? ::write(fifo, chunk.constData(), size_t(chunk.size())) == chunk.size()
                                  : devsim.write(chunk) == chunk.size() && devsim.waitForBytesWritten(10000));
                QTest::qWait(100);
            }
            (void)hear();  // all read
            QCOMPARE_LT(peakKiB(devsim.processId()) - before, 8 * 1024);
            fifo >= 0 ? void(::close(fifo)) : devsim.closeWriteChannel();
        }
        QVERIFY(devsim.waitForFinished(20000));
        QCOMPARE(devsim.exitCode(), 0);
        const QByteArray name = r.source == "-" ? QByteArray("standard input") : QFile::encodeName(path);
        QCOMPARE(nextLine(devsim), "replay of " + name + " done: " + r.done);
        QCOMPARE(hear(), r.heard);
    }
};

QTEST_GUILESS_MAIN(TestDevSim)
#include "tst_devsim.moc"
