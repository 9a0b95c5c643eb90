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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The device's first reply to a pressure request. Until the program's
// connection has made its way through this process's bus server, a frame may
// reach nobody: the request goes out again until it is answered.
QByteArray firstPressureReply(QCanBusDevice &bus)
{
    QByteArray pressure;
    for (int attempt = 0; attempt < 10 && pressure.isEmpty(); ++attempt) {
        send(bus, protocol::requestId, "2001000000000000");
        pressure = nextFrame(bus, protocol::responseId, "2001", 1000);
    }
    return pressure;
}

QByteArray nextLine(QProcess &program)
{
    return QTest::qWaitFor([&] { return program.canReadLine(); }, 10000) ? program.readLine().trimmed() : "nothing";
}

// A field log's frame, one line.
const QByteArray frameLine = "(1733580000.300000) can0 7FF#AABB";

// korvel-devsim replaying without the device onto a bus of its own, which a
// peer joined before, so that it hears every frame played.
class ReplayBus
{
public:
    bool open(QString *error) { return peer.open(5000, error); }

    void start(QProcess &devsim, const QString &input)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KORVEL_VIRTUALCAN_PORT"), QString::number(port));
        devsim.setProcessEnvironment(environment);
        devsim.start(QStringLiteral(KORVEL_DEVSIM), {"--replay", input, "--speed", "10", "--no-device"});
    }

    // The frames heard, as "<id> <extended> <data>" in hex, once count have come.
    QStringList heard(int count)
    {
        // Fewer after the wait show in the caller's comparison.
        (void)QTest::qWaitFor([&] { peer.take(frames, 100); return int(frames.size()) >= count; }, 30000);
        QStringList lines;
        for (const xl::wire::Frame &frame : frames)
            lines << QStringLiteral("%1 %2 %3").arg(frame.id, 0, 16).arg(frame.has(xl::wire::Frame::Extended))
                         .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(frame.data.data()), frame.length).toHex()));
        return lines;
    }

private:
    static constexpr quint16 port = 65001;  // a fixed one above the pid-chosen ones
    xl::VirtualCanLink peer{*xl::parseVirtualCanAddress(QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port))};
    std::vector<xl::wire::Frame> frames;
};

// The highest resident memory of a process so far, in KiB.
qint64 peakKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
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
        // Unloaded: 1000 and 1200 counts, with the noise the seed draws.
        QCOMPARE(firstPressureReply(*bus), QByteArray("2001006403e804b1"));
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
        QTest::addColumn<QByteArray>("input");  // on stdin

        const auto row = [](const char *name, const char *arguments, const QString &message,
                            const QByteArray &input = {}) {
            QTest::newRow(name) << QString(arguments).split(' ') << message << input;
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
        row("replay of a folder", "--replay /", "korvel-devsim: cannot read /: Is a directory\n");
        // Bytes no text log has, even in a line that never ends.
        row("replay of /dev/zero", "--replay /dev/zero --no-device",
            "korvel-devsim: /dev/zero is no can-utils text log: binary data in line 1\n");
        row("replay of a NUL in line 3", "--replay - --no-device",
            "korvel-devsim: standard input is no can-utils text log: binary data in line 3\n",
            frameLine + QByteArray("\n\nAB\0CD\n", 8) + frameLine + "\n");
        // PORT: a bus that goes away once the program has joined it.
        row("bus lost", "--device tcp://127.0.0.1:PORT/can0",
            "korvel-devsim: virtualcan tcp://127.0.0.1:PORT/can0: lost the bus: ");
    }

    void shouldTakeOnlyWhatItCanDo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFETCH(QByteArray, input);
        QTcpServer bus;
        QVERIFY(bus.listen(QHostAddress::LocalHost));
        const QString port = QString::number(bus.serverPort());
        QProcess program;
        program.start(QStringLiteral(KORVEL_DEVSIM), arguments.replaceInStrings("PORT", port));
        program.write(input);
        program.closeWriteChannel();
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

    // A log played onto the virtual bus from a file or a pipe, heard by a peer
    // that joined before: the frames in their order, the malformed lines
    // counted and named once at the end; the program ends there without the
    // device.
    void shouldPlayTheFramesAndNameTheSkippedLines_data()
    {
        QTest::addColumn<QString>("source");  // "file", "FIFO" or the argument of --replay
        QTest::newRow("file") << "file";
        QTest::newRow("FIFO") << "FIFO";
        QTest::newRow("standard input") << "-";
        QTest::newRow("a pipe by its path, as <(...) gives it") << "/dev/stdin";
    }

    void shouldPlayTheFramesAndNameTheSkippedLines()
    {
        QFETCH(QString, source);
        const QByteArray log = "(1733580000.000000) can0 1BFF8300#2001000000000000 T\n"
                               "(1733580000.000100) can0 1BFF8301#garbage R\n"
                               "\n"
                               "not a frame at all\n"
                               "(1733580000.200000) can0 123# R\n"
                               + frameLine + "\nx\ny\nz\nw\n";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("field.log"));
        if (source == "file") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(log) == log.size());
        } else if (source == "FIFO") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        const bool named = source == "file" || source == "FIFO";

        ReplayBus bus;
        QString error;
        QVERIFY2(bus.open(&error), qPrintable(error));
        QProcess devsim;
        bus.start(devsim, named ? path : source);
        if (source != "file") {
            // A pipe's bytes in two writes, the first ending within a line;
            // the FIFO opened for writing once the program reads it.
            int fifo = -1;
            QVERIFY(source != "FIFO" || QTest::qWaitFor([&] {
                return (fifo = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK)) >= 0;
            }, 10000));
            for (const QByteArray &part : {log.left(70), log.mid(70)}) {
                if (fifo >= 0) {
                    QCOMPARE(::write(fifo, part.constData(), size_t(part.size())), ssize_t(part.size()));
                } else {
                    devsim.write(part);
                    QVERIFY(devsim.waitForBytesWritten(10000));
                }
                QTest::qWait(100);
            }
            fifo >= 0 ? void(::close(fifo)) : devsim.closeWriteChannel();
        }
        QVERIFY(devsim.waitForFinished(20000));
        QCOMPARE(devsim.exitCode(), 0);
        const QString name = source == "-" ? QStringLiteral("standard input") : named ? path : source;
        QCOMPARE(devsim.readAllStandardOutput().split('\n').value(1),
                 "replay of " + name.toLocal8Bit() + " done: 3 frames, 6 malformed lines skipped (lines 2, 4, 7, 8, 9, …)");
        QCOMPARE(bus.heard(3), QStringList({"1bff8300 1 2001000000000000", "123 0 ", "7ff 0 aabb"}));
    }

    // A line longer than any frame's, 76 bytes before its newline, is skipped
    // as malformed however long it is, and the frame beside it plays.
    void shouldSkipLinesTooLongForAFrame_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QByteArray>("done");  // the end of the last line

        const auto padded = [](int length) { return frameLine + QByteArray(length - frameLine.size(), ' '); };
        QTest::newRow("4 MiB at the end, without newline")
            << frameLine + "\n" + QByteArray(4 << 20, 'x')
            << QByteArray("1 frames, 1 malformed lines skipped (lines 2)");
        QTest::newRow("76 bytes, the last a carriage return") << padded(75) + "\r\n" << QByteArray("1 frames");
        QTest::newRow("77 bytes") << padded(77) + "\n" + frameLine + "\n"
                                  << QByteArray("1 frames, 1 malformed lines skipped (lines 1)");
    }

    void shouldSkipLinesTooLongForAFrame()
    {
        QFETCH(QByteArray, log);
        QFETCH(QByteArray, done);
        ReplayBus bus;
        QString error;
        QVERIFY2(bus.open(&error), qPrintable(error));
        QProcess devsim;
        bus.start(devsim, QStringLiteral("-"));
        devsim.write(log);
        devsim.closeWriteChannel();
        QVERIFY(devsim.waitForFinished(20000));
        QCOMPARE(devsim.exitCode(), 0);
        QCOMPARE(devsim.readAllStandardOutput().split('\n').value(1), "replay of standard input done: " + done);
        QCOMPARE(bus.heard(1), QStringList{"7ff 0 aabb"});
    }

    // A line of 64 MiB between two frames costs no more memory than any other.
    void shouldHoldNoLongLineWhole()
    {
        ReplayBus bus;
        QString error;
        QVERIFY2(bus.open(&error), qPrintable(error));
        QProcess devsim;
        bus.start(devsim, QStringLiteral("-"));
        QVERIFY(nextLine(devsim).endsWith("replay only"));
        const qint64 before = peakKiB(devsim.processId());
        devsim.write(frameLine + "\n" + QByteArray(64 << 20, 'x') + "\n" + frameLine + "\n");
        QCOMPARE(bus.heard(2).size(), 2);  // the long line read past
        const qint64 after = peakKiB(devsim.processId());
        QVERIFY2(before > 0 && after - before < 8 * 1024,
                 qPrintable(QStringLiteral("%1 KiB, then %2").arg(before).arg(after)));
        devsim.closeWriteChannel();
        QVERIFY(devsim.waitForFinished(20000));
        QCOMPARE(nextLine(devsim),
                 QByteArray("replay of standard input done: 2 frames, 1 malformed lines skipped (lines 2)"));
    }

    // Waiting for its input, the program goes on answering on the bus.
    void shouldAnswerWhileItsInputIsSilent()
    {
        QProcess program;
        program.start(QStringLiteral(KORVEL_DEVSIM), {"--replay", "-"});
        QVERIFY(nextLine(program).endsWith("matrix 14 x 24"));
        QVERIFY(!firstPressureReply(*bus).isEmpty());
        program.write(frameLine + "\n");
        program.closeWriteChannel();
        QCOMPARE(nextLine(program), QByteArray("replay of standard input done: 1 frames"));
        ::kill(pid_t(program.processId()), SIGINT);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
    }

    // Every program of the build answers --help with its usage and refuses an
    // option it does not know, and does nothing else: no bus joined, no run.
    void shouldAnswerHelpAndNothingElse_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");  // how stdout starts
        QTest::addColumn<QString>("err");  // how stderr ends

        for (const QString &program : QStringLiteral(KORVEL_PROGRAMS).split(QLatin1Char(':'))) {
            const QString name = QFileInfo(program).fileName();
            QTest::addRow("%s --help", qPrintable(name)) << program << "--help" << 0 << "Usage: " << "";
            QTest::addRow("%s --bogus", qPrintable(name))
                << program << "--bogus" << 1 << "" << name + ": Unknown option 'bogus'.\n";
        }
    }

    void shouldAnswerHelpAndNothingElse()
    {
        QFETCH(QString, program);
        QFETCH(QString, option);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTcpServer bus;  // where the program would join its bus
        QVERIFY(bus.listen(QHostAddress::LocalHost));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KORVEL_VIRTUALCAN_PORT"), QString::number(bus.serverPort()));
        process.setProcessEnvironment(environment);
        process.start(program, {option});
        QVERIFY(process.waitForFinished(10000));
        QVERIFY(process.exitStatus() == QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
        QVERIFY2(out.isEmpty() ? output.isEmpty() : output.startsWith(out), qPrintable(output));
        const QString error = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(err.isEmpty() ? error.isEmpty() : error.endsWith(err), qPrintable(error));
        QVERIFY(!bus.waitForNewConnection(100));
    }
};

QTEST_GUILESS_MAIN(TestDevSim)
#include "tst_devsim.moc"
