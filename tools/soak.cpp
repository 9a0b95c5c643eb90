#include "console/protocol.h"
#include "tests/support/startconsole.h"
#include "xl/systemdriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// The system driver, counting what the console takes off its port and the
// pressure requests it sends, by second.
class CountingDriver : public xl::SystemDriver
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

qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
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
 * console holds the bus.
 *
 *   korvel-soak <seconds> <korvel-devsim> <korvel-loadgen>
 *   korvel-soak flood <korvel-devsim> <korvel-loadgen>
 *
 * A flood is 60 s of 50,000 frames a second on 100,000 identifiers, then 60 s
 * of a full bus (3,800 frames a second on 2,000 identifiers).
 */
int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const QStringList args = QCoreApplication::arguments();
    const bool flood = args.value(1) == QLatin1String("flood");
    const QStringList fullBus = {QStringLiteral("3800"), QStringLiteral("2000")};
    // Each load: seconds, frames a second, identifiers.
    std::vector<QStringList> loads = {QStringList{args.value(1)} + fullBus};
    if (flood)
        loads = {{QStringLiteral("60"), QStringLiteral("50000"), QStringLiteral("100000")}, QStringList{"60"} + fullBus};

    CountingDriver driver;
    QString messageBox;
    const std::unique_ptr<MainWindow> console =
        startConsole(QDialogButtonBox::Ok, &messageBox, QStringLiteral("virtualcan can0"));
    if (!messageBox.isEmpty()) {
        std::fprintf(stderr, "korvel-soak: %s\n", qPrintable(messageBox));
        return 1;
    }
    console->findChild<QPushButton *>(QStringLiteral("showCANView"))->click();
    auto *download = console->findChild<QGroupBox *>(QStringLiteral("readTPraw"));
    toggle(download, true);
    toggle(console->findChild<QGroupBox *>(QStringLiteral("readPressureSensors")), true);

    QProcess devsim;
    QProcess loadgen;
    devsim.start(args.value(2), {});
    loadgen.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QByteArray loadgenOutput;
    size_t nextLoad = 0;
    QElapsedTimer clock;
    clock.start();
    driver.clock.start();
    std::vector<Phase> phases;
    const auto startLoad = [&] {
        const QStringList &load = loads[nextLoad++];
        phases.push_back({nextLoad == 1 && flood ? "flood" : "full bus", clock.elapsed(), {}});
        loadgen.start(args.value(3), load);
    };
    startLoad();

    // A 10 ms timer's lateness is the event loop's delay.
    int downloads = 0;
    bool downloading = false;
    qint64 residentAtStart = -1;
    qint64 residentPeak = 0;
    qint64 residentAfterMinute = -1;
    qint64 residentAfterFlood = -1;
    qint64 last = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        phases.back().delays.push_back(std::max<qint64>(0, now - last - 10));
        last = now;
        // A finished download shows as the title going back to "(init)".
        const bool init = download->title().endsWith(QLatin1String("(init)"));
        downloads += downloading && init;
        downloading = !init;
        if (now / 100 != (now - 10) / 100) {
            const qint64 resident = residentKiB();
            residentPeak = std::max(residentPeak, resident);
            if (residentAtStart < 0)
                residentAtStart = resident;
            if (residentAfterMinute < 0 && now >= 60000)
                residentAfterMinute = resident;
            if (flood && residentAfterFlood < 0 && phases.size() == 2 && now >= phases.back().startMs + 30000)
                residentAfterFlood = resident;
        }
    });
    probe.start(10);
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
        std::printf("resident memory 30 s after the flood %lld KiB\n", residentAfterFlood);
    for (size_t i = 0; i < phases.size(); ++i)
        phases[i].print(driver.pollsPerSecond, i + 1 < phases.size() ? phases[i + 1].startMs : clock.elapsed());
    console->close();
    return 0;
}
