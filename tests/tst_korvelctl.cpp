#include "bus/frame.h"
#include "device/calibration.h"
#include "device/matrixcsv.h"
#include "virtualbus/virtualcanhub.h"
#include "virtualbus/virtualcanlink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <utility>

namespace {

constexpr int patienceMs = 20000;

// korvelctl and the simulated device as separate programs on a virtual bus
// whose hub is this process's, so that a test can take the bus away; the
// calibration record in a folder of its own.
class Bench
{
public:
    explicit Bench(const QStringList &deviceOptions = {})
    {
        // In a thread of its own, as a process's hub runs: frames pass while
        // the test waits.
        hubThread.start();
        hub = new virtualbus::VirtualCanHub;
        hub->moveToThread(&hubThread);
        QMetaObject::invokeMethod(hub, [this] { port = hub->listen(0) ? hub->port() : 0; }, Qt::BlockingQueuedConnection);
        QVERIFY(port != 0);
        environment.insert(QStringLiteral("KORVEL_VIRTUALCAN_PORT"), QString::number(port));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.path());
        device.setProcessEnvironment(environment);
        device.start(QStringLiteral(KORVEL_DEVSIM), QStringList{"--controls", "--show-matrix"} + deviceOptions);
        QVERIFY(deviceLine().startsWith("korvel-devsim on virtualcan"));
    }
    ~Bench()
    {
        ::kill(pid_t(device.processId()), SIGCONT);
        device.kill();
        device.waitForFinished();
        dropBus();
        hubThread.quit();
        hubThread.wait();
    }

    // The device's next line on stdout.
    QByteArray deviceLine()
    {
        return QTest::qWaitFor([&] { return device.canReadLine(); }, patienceMs) ? device.readLine().trimmed() : "nothing";
    }
    // Its control, once the device says it is in force.
    void control(const QByteArray &line, const QByteArray &answer)
    {
        device.write(line + '\n');
        QCOMPARE(deviceLine(), answer);
    }
    QString address() const { return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port); }
    void stopDevice() { ::kill(pid_t(device.processId()), SIGSTOP); }
    void dropBus()
    {
        if (hub)
            QMetaObject::invokeMethod(hub, [this] { delete std::exchange(hub, nullptr); }, Qt::BlockingQueuedConnection);
    }

    // korvelctl on the device's bus; whenever() runs until it ends.
    QProcess &start(const QStringList &arguments, const QByteArray &input = {})
    {
        ctl.setProcessEnvironment(environment);
        ctl.start(QStringLiteral(KORVEL_CTL), QStringList{"--channel", "virtualcan can0"} + arguments);
        ctl.write(input);
        return ctl;
    }
    // Its exit code, -1 when it did not end by itself.
    int finish(const std::function<void()> &whenever = {})
    {
        const bool ended = QTest::qWaitFor(
            [&] {
                if (whenever)
                    whenever();
                return ctl.state() == QProcess::NotRunning;
            },
            patienceMs);
        return ended && ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
    }
    QString out() { return QString::fromUtf8(ctl.readAllStandardOutput()); }
    QString err() { return QString::fromUtf8(ctl.readAllStandardError()); }

    // The calibration record's lines after its header.
    QStringList record() const
    {
        QFile file(folder.filePath(QStringLiteral("korvel-console/kalibrierprotokoll.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
    }

    QTemporaryDir folder;
    QProcess device;
    QProcess ctl;

private:
    QThread hubThread;
    virtualbus::VirtualCanHub *hub = nullptr;  // in hubThread
    quint16 port = 0;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

} // namespace

class TestKorvelCtl : public QObject
{
    Q_OBJECT

private slots:
    // What ends a job, with its exit code, its result and what reached the
    // device: "!" in front of the device's line says it must not come.
    void shouldEndWithACodeABenchCanBranchOn_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("event");  // what befalls the bus while the job runs
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("output");  // stdout matches it whole
        QTest::addColumn<QString>("device");

        const auto row = [](const char *name, const char *arguments, int code, const char *output,
                            const char *device = "", const char *event = "", const QByteArray &input = {}) {
            QTest::newRow(name) << QString::fromUtf8(arguments) << input << QString::fromUtf8(event) << code
                                << QString::fromUtf8(output) << QString::fromUtf8(device);
        };
        row("check", "check", 0, "Gerät antwortet \\(\\d+ ms\\)\n");
        row("check, the simulated device within", "--channel Korvel-Simulator check", 0, "Gerät antwortet \\(\\d+ ms\\)\n");
        row("check, JSON", "--json check", 0, "\\{\"device\":\"antwortet\",\"ms\":\\d+\\}\n");
        // English for the person, the JSON as it was for the script.
        row("check in English", "--language en check", 0, "Device responding \\(\\d+ ms\\)\n");
        row("check in English, JSON", "--language en --json check", 0, "\\{\"device\":\"antwortet\",\"ms\":\\d+\\}\n");
        row("TP diagnosis in English", "--language en tp-diag", 0, "TP diagnosis sent\n", "TP diagnosis activated");
        row("language unknown", "--language fr check", 2, "");
        row("three readings", "--json pressure --count 3", 0,
            "(\\{\"gusPressureCali_mN\":\\d+,\"gusPressureRaw1Div100\":\\d+,\"gusPressureRaw2Div100\":\\d+,\"t\":[\\d.]+\\}\n){3}");
        row("TP diagnosis", "tp-diag", 0, "TP-Diagnose gesendet\n", "TP diagnosis activated");
        row("reset", "--json --serial K-1 reset-calibration", 0,
            "\\{\"message\":\"C8 02 11 10 FF 00 01 01 01 01\",\"reset-calibration\":\"gesendet\"\\}\n",
            "calibration reset to neutral factors");
        row("NMH for 0.3 s", "nmh --seconds 0.3", 0, "NMH gesendet: 3 Rahmen in 0.3 s\n");
        row("load that raised nothing", "calibrate", 1, "Kalibrierung abgebrochen \\(Faktoren .*\\)\n",
            "!calibration written", "", "\n\n");
        row("load that raised nothing, forced", "calibrate --force", 0, "Kalibrierung gesendet \\(Faktoren .*\\)\n",
            "calibration written", "", "\n\n");
        row("unknown command", "flash", 2, "");
        row("count 0", "pressure --count 0", 2, "");
        row("no such channel", "--channel can9 check", 2, "");
        row("option of another command", "matrix --count 2", 2, "");
        row("record without seconds", "record x.log", 2, "");
        row("matrix into a missing folder", "matrix --out /no/such/folder/m.csv", 2, "");
        row("report into a missing folder", "calibrate --force --report /no/such/folder/r.json", 2, "",
            "!calibration written", "", "\n\n");
        row("bus lost in the download", "matrix", 3, "", "", "drop bus");
        row("silent device", "--timeout 300 check", 4, "", "", "stop device");
        row("device silent in the download", "--timeout 300 matrix", 4, "", "", "stop device");
        row("stdin closed before the second step", "calibrate", 5, "", "!calibration written", "", "\n");
        row("stdin closed at once", "calibrate", 5, "", "!calibration written");
        row("SIGTERM", "nmh --seconds 60", 5, "", "", "terminate");
    }

    void shouldEndWithACodeABenchCanBranchOn()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, event);
        QFETCH(int, code);
        QFETCH(QString, output);
        QFETCH(QString, device);

        // Slow enough for the bus to go in the middle of the download.
        Bench bench(event == QLatin1String("drop bus") ? QStringList{"--latency", "20"} : QStringList{});
        bench.control("force 0", "force 0 N held");
        if (event == QLatin1String("stop device") && !arguments.contains(QLatin1String("matrix")))
            bench.stopDevice();
        QProcess &ctl = bench.start(arguments.split(QLatin1Char(' ')), input);
        ctl.closeWriteChannel();
        bool struck = false;
        const int exit = bench.finish([&] {
            if (struck || event.isEmpty())
                return;
            if (event == QLatin1String("terminate")) {
                QTest::qWait(500);  // on the bus, sending
                ::kill(pid_t(ctl.processId()), SIGTERM);
                struck = true;
            } else if (bench.device.canReadLine() && bench.device.readLine().startsWith("snapshot")) {
                event == QLatin1String("drop bus") ? bench.dropBus() : bench.stopDevice();
                struck = true;
            }
        });
        const QString out = bench.out();
        const QString err = bench.err();
        QVERIFY2(exit == code, qPrintable(QStringLiteral("exit %1, stderr: %2").arg(exit).arg(err)));
        QVERIFY2(QRegularExpression(QStringLiteral("\\A%1\\z").arg(output)).match(out).hasMatch(), qPrintable(out));
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY(!arguments.contains(QLatin1String("--json")) || QJsonDocument::fromJson(line.toUtf8()).isObject());
        // Whatever the job's end, the person at the bench is told why.
        QVERIFY2(code == 0 || err.contains(QLatin1String("korvelctl: ")), qPrintable(err));
        if (device.isEmpty())
            return;
        // The device's word comes within a moment of the job's end.
        const bool never = device.startsWith(QLatin1Char('!'));
        const QByteArray wanted = device.mid(never ? 1 : 0).toUtf8();
        const bool said = QTest::qWaitFor([&] { return bench.device.readAll().contains(wanted); }, never ? 500 : patienceMs);
        QCOMPARE(said, !never);
    }

    // The person at the bench confirms each step through a pipe while the
    // load changes on the device between them; the device gets the factors
    // of the two snapshots, the record and the report say so.
    void shouldCalibrateThroughAPipe()
    {
        Bench bench;
        bench.control("force 0", "force 0 N held");
        const QString report = bench.folder.filePath(QStringLiteral("report.json"));
        QProcess &ctl = bench.start({"--serial", "K-0042", "--json", "calibrate", "--report", report}, "\n");
        QByteArray prompts;
        QVERIFY(QTest::qWaitFor([&] { return (prompts += ctl.readAllStandardError()).contains("Mit 5 N belastet: Enter drücken"); },
                                patienceMs));
        bench.control("force 5", "force 5 N held");
        ctl.write("\n");
        QCOMPARE(bench.finish(), 0);

        const QJsonObject result = QJsonDocument::fromJson(bench.out().toUtf8()).object();
        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject written = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(written, result);
        const auto values = [&](const char *key) {
            const QJsonObject o = written.value(QLatin1String(key)).toObject();
            return device::PressureValues{0, quint16(o.value(QLatin1String("gusPressureRaw1Div100")).toInt()),
                                          quint16(o.value(QLatin1String("gusPressureRaw2Div100")).toInt())};
        };
        const device::PressureValues unloaded = values("unloaded");
        const device::PressureValues loaded = values("loaded");
        // Unloaded near 1000 and 1200, loaded near 1200 and 1350 counts.
        QVERIFY(qAbs(unloaded.raw1 - 1000) < 10 && qAbs(loaded.raw2 - 1350) < 10);
        const device::CalibrationFactors f = device::calibrate(unloaded, loaded);
        QCOMPARE(bench.deviceLine(), QStringLiteral("calibration written: sens1Mul %1, sens1Div %2, calMul %3, calDiv %4")
                                         .arg(f.sens1Mul & 0xFF).arg(f.sens1Div & 0xFF).arg(f.calMul & 0xFF).arg(f.calDiv & 0xFF)
                                         .toUtf8());
        const QString message = QString::fromLatin1(device::calibrationMessage(f).toHex(' ').toUpper());
        QCOMPARE(written.value(QLatin1String("message")).toString(), message);
        QCOMPARE(written.value(QLatin1String("outcome")).toString(), QStringLiteral("gesendet"));
        QCOMPARE(written.value(QLatin1String("serial")).toString(), QStringLiteral("K-0042"));
        QCOMPARE(written.value(QLatin1String("factors")).toObject().value(QLatin1String("gucPressureCalDiv")).toInt(), f.calDiv);
        QVERIFY(QDateTime::fromString(written.value(QLatin1String("time")).toString(), Qt::ISODate).isValid());
        QCOMPARE(bench.record(), QStringList{QStringLiteral("%1,virtualcan can0,speichern,%2,%3,%4,%5,%6,%7,%8,%9,%10,gesendet,K-0042")
                                                 .arg(bench.record().value(0).section(QLatin1Char(','), 0, 0))
                                                 .arg(unloaded.raw1).arg(unloaded.raw2).arg(loaded.raw1).arg(loaded.raw2)
                                                 .arg(f.sens1Mul).arg(f.sens1Div).arg(f.calMul).arg(f.calDiv)
                                                 .arg(message)});
    }

    // The CSV holds the bytes the device served, to a file, to stdout and as JSON.
    void shouldGiveTheMatrixTheDeviceServed_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("file") << "--out";
        QTest::newRow("stdout") << "";
        QTest::newRow("JSON") << "--json";
    }

    void shouldGiveTheMatrixTheDeviceServed()
    {
        QFETCH(QString, form);
        Bench bench({"--rows", "3", "--columns", "5"});
        const QString path = bench.folder.filePath(QStringLiteral("m.csv"));
        const QStringList arguments = form == QLatin1String("--out") ? QStringList{"matrix", "--out", path}
                                      : form.isEmpty()               ? QStringList{"matrix"}
                                                                     : QStringList{"--json", "matrix"};
        bench.start(arguments).closeWriteChannel();
        QCOMPARE(bench.finish(), 0);
        // A copy request repeated before its answer came makes a copy anew:
        // the last one is served.
        QByteArray line = bench.deviceLine();
        while (bench.device.canReadLine())
            line = bench.device.readLine().trimmed();
        QVERIFY2(line.startsWith("snapshot 3 x 5 served: "), line.constData());
        const QByteArray served = QByteArray::fromHex(line.mid(line.indexOf(": ") + 2));
        const QByteArray csv = device::matrixCsv(3, 5, served);
        QVERIFY(csv.count(',') == 12 && csv.count('\n') == 3);
        const QByteArray out = bench.out().toUtf8();
        if (form.isEmpty()) {
            QCOMPARE(out, csv);
        } else if (form == QLatin1String("--out")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), csv);
            QVERIFY(out.startsWith("Matrix 3 × 5 in "));
        } else {
            const QJsonArray rows = QJsonDocument::fromJson(out).object().value(QLatin1String("matrix")).toArray();
            QByteArray bytes;
            for (const QJsonValue &row : rows)
                for (const QJsonValue &value : row.toArray())
                    bytes += char(value.toInt());
            QCOMPARE(bytes, served);
        }
    }

    // A record that cannot be written does not keep the device from its
    // factors, and the person at the bench is told which file and why.
    void shouldSayWhenTheRecordCannotBeWritten()
    {
        Bench bench;
        QFile blocker(bench.folder.filePath(QStringLiteral("korvel-console")));  // a file where its folder goes
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        bench.start({"reset-calibration"}).closeWriteChannel();
        QCOMPARE(bench.finish(), 0);
        QCOMPARE(bench.out(), QStringLiteral("Kalibrierung zurückgesetzt: gesendet\n"));
        // Once, and the system's reason in the system's words.
        const QString err = bench.err();
        const QString said = QStringLiteral("korvelctl: %1 nicht geschrieben: ")
                                 .arg(bench.folder.filePath(QStringLiteral("korvel-console/kalibrierprotokoll.csv")));
        QVERIFY2(err.startsWith(said) && err.count(QLatin1Char('\n')) == 1 && err.size() > said.size() + 1, qPrintable(err));
    }

    // Every frame on the bus while it runs, in the console's log format.
    void shouldRecordTheBus()
    {
        Bench bench;
        const QString path = bench.folder.filePath(QStringLiteral("bus.log"));
        bench.start({"record", path, "--seconds", "2"}).closeWriteChannel();
        virtualbus::VirtualCanLink peer(*virtualbus::parseVirtualCanAddress(bench.address()));
        QString error;
        QVERIFY2(peer.open(patienceMs, &error), qPrintable(error));
        bus::Frame frame;
        frame.id = 0x123;
        frame.length = 2;
        frame.data[0] = 0xAB;
        QTest::qWait(500);  // korvelctl on the bus
        peer.write(frame);
        QCOMPARE(bench.finish(), 0);
        QCOMPARE(bench.out(), QStringLiteral("1 Rahmen aufgezeichnet in %1\n").arg(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString log = QString::fromLatin1(file.readAll());
        QVERIFY2(QRegularExpression(QStringLiteral("\\A\\(\\d+\\.\\d{6}\\) can0 123#AB00 R\n\\z")).match(log).hasMatch(),
                 qPrintable(log));
    }
};

QTEST_GUILESS_MAIN(TestKorvelCtl)
#include "tst_korvelctl.moc"
