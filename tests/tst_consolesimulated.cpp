#include "app/mainwindow.h"
#include "sim/faultylink.h"
#include "sim/korveldevice.h"
#include "support/grid.h"
#include "support/startconsole.h"
#include "ui_mainwindow.h"

#include <QtTest>

// The console on the simulated device, in real time, over a link that loses,
// doubles and delays frames.
class TestConsoleSimulated : public QObject
{
    Q_OBJECT

private slots:
    // Requests and replies lost, replies doubled and delayed: each download
    // still ends with exactly the matrix the device froze for it.
    void shouldDownloadTheDevicesSnapshot()
    {
        tests::SimulatedConsole console;
        MainWindow &window = *console.window;
        console.link->setSeed(7);
        console.link->setDropRate(0.1);
        console.link->setIncomingDropRate(0.1);
        console.link->setDuplicateRate(0.05);
        console.link->setJitter(40);
        console.device->setMatrixSize(3, 5);
        for (int download = 0; download < 10; ++download) {
            tests::toggle(window.ui->readTPraw, true);
            QTRY_COMPARE(window.tpRawState, int(MainWindow::TPRawDownload));
            // Unchecked, the download runs to its end and no new copy is asked for.
            tests::toggle(window.ui->readTPraw, false);
            QTRY_COMPARE_WITH_TIMEOUT(window.tpRawState, int(MainWindow::TPRawIdle), 30000);
            QCOMPARE(window.tpRawData, console.device->snapshot());
        }
        QVERIFY(tests::showsMatrix(*window.ui->touchview, 3, 5, console.device->snapshot()));
    }
};

QTEST_MAIN(TestConsoleSimulated)
#include "tst_consolesimulated.moc"
