#include "protocol/deviceprotocol.h"
#include "tests/support/startconsole.h"
#include "virtualbus/virtualcanaddress.h"
#include "app/session.h"
#include "service/systemdriver.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The system driver, counting what the console takes off its port and the
// pressure requests it sends, by second.
class CountingDriver : public service::SystemDriver
{
public:
    XlStatus receive(XlPortHandle port, unsigned *eventCount, XlEvent *events) override
    {
        const XlStatus status = SystemDriver::receive(port, eventCount, events);
        if (status == XL_SUCCESS) {
            received += *eventCount;
            consolePort = port;
        }
        return status;
    }

    XlStatus canTransmit(XlPortHandle port, XlAccess mask, unsigned *count, const XlEvent *messages) override
    {
        const XlEvent &first = messages[0];
        if (first.id == (protocol::requestId | XL_CAN_EXT_MSG_ID) && first.data[1] == protocol::pressureValues) {
            const size_t second = size_t(clock.elapsed() / 1000);
            pollsPerSecond.resize(std::max(pollsPerSecond.size(), second + 1));
            ++pollsPerSecond[second];
        }
        return SystemDriver::canTransmit(port, mask, count, messages);
    }

    QElapsedTimer clock;
    std::vector<int> pollsPerSecond;
    quint64 received = 0;
    XlPortHandle consolePort = XL_INVALID_PORTHANDLE;
};

// A line of /proc/self/status in KiB: "VmRSS" is all resident memory,
// "RssAnon" the part the process allocated itself, without the pages of the
// libraries' code that a new path through them brings in once.
qint64 statusKiB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 residentKiB()
{
    return statusKiB("VmRSS");
}

// The CPU seconds a process's threads have run, but for those whose name
// starts with except. The scheduler's own sum, exact to the nanosecond: the
// ticks /proc/<pid>/stat counts miss a thread that wakes briefly and sleeps
// again between two ticks, as the hub's thread does, and
// would put their time on others.
double cpuSeconds(qint64 pid, const QByteArray &except = {})
{
    double seconds = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (!except.isEmpty() && comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith(except))
            continue;
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            seconds += schedstat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return seconds;
}

// One stretch of the run: its event loop delays and its pressure polls.
struct Phase
{
    const char *name;
    qint64 startMs;
    std::vector<qint64> delays;

    void print(const std::vector<int> &polls, qint64 endMs)
    {
        std::sort(delays.begin(), delays.end());
        // Whole seconds only: the first and last are cut by the phase's edges.
        int fewest = -1;
        for (qint64 second = startMs / 1000 + 1; second < endMs / 1000 && size_t(second) < polls.size(); ++second)
            fewest = fewest < 0 ? polls[size_t(second)] : std::min(fewest, polls[size_t(second)]);
        std::printf("%s: event loop delay p99 %lld ms, worst %lld ms; pressure polls at least %d a second\n", name,
                    delays.empty() ? -1 : delays[delays.size() * 99 / 100], delays.empty() ? -1 : delays.back(),
                    fewest);
    }
};

} // namespace

/*
 * The console on "virtualcan can0" with the activity window open, the
 * touchpad download running and the pressure values read, while korvel-devsim
 * answers and korvel-loadgen fills the bus; both are started here, after the
 * console holds the bus, and so is Qt's canbusutil, listening beside the
 * console, to compare their CPU time with. The forms and loads are those of
 * the help text below.
 */
int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the console on the virtual bus can0 (port from KORVEL_VIRTUALCAN_PORT) beside korvel-devsim, "
        "korvel-loadgen and Qt's canbusutil, and prints what it measured.\n"
        "The load is a full bus unless the rate says otherwise: 3,800 frames a second on 2,000 identifiers. "
        "\"flood\" is 30 s of that full bus, 60 s of 50,000 frames a second on 100,000 identifiers, and 60 s of "
        "the full bus again. \"compare\" is 60 s of the full bus with only the activity window open, as canbusutil "
        "only listens. \"record\" is 60 s of the full bus with every frame recorded into a temporary file."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("run"), QStringLiteral("Seconds of load, or flood, compare or record."),
                                 QStringLiteral("<seconds>|flood|compare|record"));
    parser.addPositionalArgument(QStringLiteral("devsim"), QStringLiteral("The program korvel-devsim."));
    parser.addPositionalArgument(QStringLiteral("loadgen"), QStringLiteral("The program korvel-loadgen."));
    parser.addPositionalArgument(QStringLiteral("rate"), QStringLiteral("Frames a second of the load, default 3800."),
                                 QStringLiteral("[rate]"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    const QString run = args.value(0);
    const bool flood = run == QLatin1String("flood");
    const bool compare = run == QLatin1String("compare");
    const bool record = run == QLatin1String("record");
    const auto positive = [](const QString &text) { return text.toInt() > 0; };
    const bool rateFine = args.size() == 3 || (args.size() == 4 && positive(args[3]));
    if (!rateFine || !(flood || compare || record || positive(run))) {
        std::fputs(qPrintable(parser.helpText()), stderr);
        return 1;
    }
    const QStringList fullBus = {QStringLiteral("3800"), QStringLiteral("2000")};
    // Each load: seconds, frames a second, identifiers.
    std::vector<QStringList> loads = {{run, args.value(3, fullBus[0]), fullBus[1]}};
    if (flood)
        loads = {QStringList{"30"} + fullBus, {"60", "50000", "100000"}, QStringList{"60"} + fullBus};
    if (compare || record)
        loads = {QStringList{"60", args.value(3, fullBus[0]), fullBus[1]}};

    CountingDriver driver;
    QString messageBox;
    const std::unique_ptr<MainWindow> console =
        tests::startConsole(QDialogButtonBox::Ok, &messageBox, QStringLiteral("virtualcan can0"));
    if (!messageBox.isEmpty()) {
        std::fprintf(stderr, "korvel-soak: %s\n", qPrintable(messageBox));
        return 1;
    }
    QTemporaryDir recordingDir;
    const QString recording = recordingDir.filePath(QStringLiteral("soak.log"));
    QString recordingError;
    if (record && !console->session().startRecording(recording, &recordingError)) {
        std::fprintf(stderr, "korvel-soak: cannot record: %s\n", qPrintable(recordingError));
        return 1;
    }
    console->findChild<QPushButton *>(QStringLiteral("showCANView"))->click();
    auto *download = console->findChild<QGroupBox *>(QStringLiteral("readTPraw"));
    if (!compare) {
        tests::toggle(download, true);
        tests::toggle(console->findChild<QGroupBox *>(QStringLiteral("readPressureSensors")), true);
    }

    QProcess devsim;
    QProcess loadgen;
    QProcess canbusutil;
    devsim.start(args.at(1), {});
    canbusutil.setStandardOutputFile(QProcess::nullDevice());
    canbusutil.start(QLibraryInfo::path(QLibraryInfo::BinariesPath) + QStringLiteral("/canbusutil"),
                     {QStringLiteral("-l"), QStringLiteral("virtualcan"), virtualbus::virtualCanInterface(QStringLiteral("can0"))});
    loadgen.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QByteArray loadgenOutput;
    size_t nextLoad = 0;
    QElapsedTimer clock;
    clock.start();
    driver.clock.start();
    std::vector<Phase> phases;
    // The console's CPU time without the hub it runs for everyone, and
    // canbusutil's, both from 5 s into the first load on, past their start-up.
    const auto consoleCpu = [] { return cpuSeconds(QCoreApplication::applicationPid(), "virtual bus hub"); };
    const auto canbusutilCpu = [&] { return cpuSeconds(canbusutil.processId()); };
    double consoleCpuAtStart = -1;
    double canbusutilCpuAtStart = 0;
    const auto startLoad = [&] {
        const QStringList &load = loads[nextLoad++];
        phases.push_back({flood && nextLoad == 2 ? "flood" : "full bus", clock.elapsed(), {}});
        loadgen.start(args.at(2), load);
    };
    startLoad();

    // A timer's lateness is the event loop's delay.
    int downloads = 0;
    bool downloading = false;
    qint64 residentAtStart = -1;
    qint64 residentPeak = 0;
    qint64 residentAfterMinute = -1;
    qint64 residentAfterFlood = -1;
    qint64 allocatedAtStart = -1;
    qint64 allocatedAfterFlood = -1;
    qint64 last = 0;
    // A comparison of CPU time wants the probe itself to cost little.
    const int probeMs = compare ? 100 : 10;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (consoleCpuAtStart < 0 && now >= 5000) {
            consoleCpuAtStart = consoleCpu();
            canbusutilCpuAtStart = canbusutilCpu();
        }
        phases.back().delays.push_back(std::max<qint64>(0, now - last - probeMs));
        last = now;
        // A finished download shows as the title going back to "(init)".
        const bool init = download->title().endsWith(QLatin1String("(init)"));
        downloads += downloading && init;
        downloading = !init;
        if (now / 1000 != (now - probeMs) / 1000) {
            const qint64 resident = residentKiB();
            residentPeak = std::max(residentPeak, resident);
            // The start is the console settled on its bus, just before a flood.
            if (residentAtStart < 0 || (flood && phases.size() == 1)) {
                residentAtStart = resident;
                allocatedAtStart = statusKiB("RssAnon");
            }
            if (residentAfterMinute < 0 && now >= 60000)
                residentAfterMinute = resident;
            if (flood && residentAfterFlood < 0 && phases.size() == 3 && now >= phases.back().startMs + 30000) {
                residentAfterFlood = resident;
                allocatedAfterFlood = statusKiB("RssAnon");
            }
        }
    });
    probe.start(probeMs);
    QObject::connect(&loadgen, &QProcess::finished, &app, [&] {
        loadgenOutput += loadgen.readAllStandardOutput();
        if (nextLoad < loads.size())
            startLoad();
        else
            QCoreApplication::quit();
    });
    app.exec();

    // The console's own word for what it lost.
    QMetaObject::invokeMethod(console.get(), "updateBusStatus");
    const auto *lostLabel = console->findChild<QLabel *>(QStringLiteral("lostFrames"));
    const qint64 residentAtEnd = residentKiB();
    const double consoleCpuUnderLoad = consoleCpu() - consoleCpuAtStart;
    const double canbusutilCpuUnderLoad = canbusutilCpu() - canbusutilCpuAtStart;
    canbusutil.terminate();
    canbusutil.waitForFinished(5000);
    devsim.terminate();
    devsim.waitForFinished(5000);
    std::printf("%s", loadgenOutput.constData());
    std::printf("frames received %llu\n", static_cast<unsigned long long>(driver.received));
    std::printf("frames lost at the driver %llu; status bar: \"%s\"\n",
                static_cast<unsigned long long>(driver.lostEvents(driver.consolePort)),
                !lostLabel->isHidden() ? qPrintable(lostLabel->text()) : "");
    std::printf("touchpad downloads completed %d\n", downloads);
    std::printf("resident memory at the start %lld KiB, after 1 min %lld KiB, peak %lld KiB, at the end %lld KiB\n",
                residentAtStart, residentAfterMinute, residentPeak, residentAtEnd);
    if (flood)
        std::printf("resident memory 30 s after the flood %lld KiB; of it allocated (RssAnon) %lld KiB, "
                    "at the start %lld KiB\n",
                    residentAfterFlood, allocatedAfterFlood, allocatedAtStart);
    std::printf("CPU seconds from 5 s into the load to its end: console %.2f (without the virtual bus's hub it runs), canbusutil %.2f\n",
                consoleCpuUnderLoad, canbusutilCpuUnderLoad);
    for (size_t i = 0; i < phases.size(); ++i)
        phases[i].print(driver.pollsPerSecond, i + 1 < phases.size() ? phases[i + 1].startMs : clock.elapsed());
    console->close();
    if (record)
        std::printf("recorded %s; file of %lld bytes\n",
                    qPrintable(console->findChild<QLabel *>(QStringLiteral("recording"))->text()), QFileInfo(recording).size());
    return 0;
}
