#include "tests/support/startconsole.h"
#include "xl/systemdriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// The system driver, counting what the console takes off its port.
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

} // namespace

/*
 * The console on "virtualcan can0" with the activity window open and the
 * touchpad download running, while korvel-devsim answers and korvel-loadgen
 * fills the bus; both are started here, after the console holds the bus.
 *
 *   korvel-soak <seconds> <korvel-devsim> <korvel-loadgen>
 */
int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const QStringList args = QCoreApplication::arguments();
    const int seconds = args.value(1).toInt();

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

    QProcess devsim;
    QProcess loadgen;
    devsim.start(args.value(2), {});
    loadgen.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    loadgen.start(args.value(3), {QString::number(seconds)});

    // A 10 ms timer's lateness is the event loop's delay.
    std::vector<qint64> delays;
    int downloads = 0;
    bool downloading = false;
    qint64 residentAfterMinute = -1;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        delays.push_back(std::max<qint64>(0, now - last - 10));
        last = now;
        // A finished download shows as the title going back to "(init)".
        const bool init = download->title().endsWith(QLatin1String("(init)"));
        downloads += downloading && init;
        downloading = !init;
        if (residentAfterMinute < 0 && now >= 60000)
            residentAfterMinute = residentKiB();
    });
    probe.start(10);
    QObject::connect(&loadgen, &QProcess::finished, &app, &QCoreApplication::quit);
    app.exec();

    const qint64 residentAtEnd = residentKiB();
    devsim.terminate();
    devsim.waitForFinished(5000);
    std::sort(delays.begin(), delays.end());
    const qint64 p99 = delays.empty() ? -1 : delays[delays.size() * 99 / 100];
    std::printf("%s", loadgen.readAllStandardOutput().constData());
    std::printf("frames received %llu\n", static_cast<unsigned long long>(driver.received));
    std::printf("frames lost at the driver %llu\n",
                static_cast<unsigned long long>(driver.lostEvents(driver.consolePort)));
    std::printf("touchpad downloads completed %d\n", downloads);
    std::printf("resident memory after 1 min %lld KiB, at the end %lld KiB, growth %lld KiB\n", residentAfterMinute,
                residentAtEnd, residentAtEnd - residentAfterMinute);
    std::printf("event loop delay p99 %lld ms, worst %lld ms\n", p99, delays.empty() ? -1 : delays.back());
    console->close();
    return 0;
}
