#include "app/mainwindow.h"
#include "sim/faultylink.h"
#include "sim/korveldevice.h"
#include "support/grid.h"
#include "support/startconsole.h"
#include "support/tracecapture.h"
#include "ui_mainwindow.h"

#include <QtTest>

// The console on the simulated device, in real time: whole dialogues with the
// device, also over a link that loses, doubles and delays frames.
class TestConsoleSimulated : public QObject
{
    Q_OBJECT

    static QStringList shownPressure(const Ui_MainWindow &form)
    {
        return {form.pressure0->text(), form.pressure1->text(), form.pressure2->text()};
    }
    static QStringList devicePressure(const sim::KorvelDevice &device)
    {
        const auto raw = device.pressureValues();
        return {QString::number(raw[0]), QString::number(raw[1]), QString::number(raw[2])};
    }

private slots:
    // Requests and replies lost, replies doubled and delayed on the faulty bus:
    // each download still ends with exactly the matrix the device froze for it.
    void shouldDownloadTheDevicesSnapshot_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("faulty");

        QTest::newRow("2 x 3") << 2 << 3 << false;
        QTest::newRow("2 x 2") << 2 << 2 << false;
        QTest::newRow("0 rows") << 0 << 5 << false;
        QTest::newRow("14 x 24") << 14 << 24 << false;
        QTest::newRow("255 x 255") << 255 << 255 << false;
        QTest::newRow("3 x 5, ten times on a faulty bus") << 3 << 5 << true;
    }

    void shouldDownloadTheDevicesSnapshot()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(bool, faulty);

        tests::SimulatedConsole console;
        MainWindow &window = *console.window;
        if (faulty) {
            console.link->setSeed(7);
            console.link->setDropRate(0.1);
            console.link->setIncomingDropRate(0.1);
            console.link->setDuplicateRate(0.05);
            console.link->setJitter(40);
        }
        console.device->setMatrixSize(rows, columns);
        for (int download = 0; download < (faulty ? 10 : 1); ++download) {
            tests::toggle(window.ui->readTPraw, true);
            QTRY_COMPARE(window.tpRawState, int(MainWindow::TPRawDownload));
            // Unchecked, the download runs to its end and no new copy is asked for.
            tests::toggle(window.ui->readTPraw, false);
            QTRY_COMPARE_WITH_TIMEOUT(window.tpRawState, int(MainWindow::TPRawIdle), 30000);
            QCOMPARE(window.tpRawData, console.device->snapshot());
        }
        QCOMPARE(window.tpRawRows, rows);
        QCOMPARE(window.tpRawCols, columns);
        QVERIFY(tests::showsMatrix(*window.ui->touchview, rows, columns, console.device->snapshot()));
    }

    // While the device is cut off, the values shown stay and the download
    // waits; both go on when it answers again.
    void shouldResumeWhenTheDeviceAnswersAgain()
    {
        tests::SimulatedConsole console;
        MainWindow &window = *console.window;
        console.device->setMatrixSize(6, 8);
        console.device->holdForce(2);
        console.link->setLatency(10);
        tests::toggle(window.ui->readPressureSensors, true);
        tests::toggle(window.ui->readTPraw, true);
        QTRY_COMPARE(shownPressure(*window.ui), devicePressure(*console.device));
        QTRY_VERIFY(window.tpRawState == MainWindow::TPRawDownload && window.tpRawRow > 0);

        const QStringList last = shownPressure(*window.ui);
        console.link->setDropRate(1);
        console.device->holdForce(4);
        tests::toggle(window.ui->readTPraw, false);
        QTest::qWait(300);
        QCOMPARE(shownPressure(*window.ui), last);
        QCOMPARE(window.tpRawState, int(MainWindow::TPRawDownload));

        console.link->setDropRate(0);
        QTRY_COMPARE(window.tpRawState, int(MainWindow::TPRawIdle));
        QCOMPARE(window.tpRawData, console.device->snapshot());
        QTRY_COMPARE(shownPressure(*window.ui), devicePressure(*console.device));
    }

    // The factors written are those shown, and they bring the reading at 5 N closer to 5000 mN.
    void shouldCalibrateTheDevice()
    {
        tests::SimulatedConsole console;
        Ui_MainWindow &form = *console.window->ui;
        tests::toggle(form.readPressureSensors, true);
        console.device->holdForce(0);
        QTRY_COMPARE(shownPressure(form), devicePressure(*console.device));
        form.pressureUnstressed->click();
        console.device->holdForce(5);
        QTRY_COMPARE(shownPressure(form), devicePressure(*console.device));
        const quint16 uncalibrated = console.device->pressureValues()[0];
        form.pressureStressed->click();
        form.pressureCalibSave->click();

        const auto stored = [&] {
            const sim::Calibration factors = console.device->calibration();
            return QList<uint>{factors.sens1Mul, factors.sens1Div, factors.calMul, factors.calDiv};
        };
        QList<uint> shown;
        for (const QLabel *label : {form.pressure3, form.pressure4, form.pressure5, form.pressure6})
            shown << (label->text().toUInt() & 0xFF);
        QTRY_COMPARE(stored(), shown);
        const quint16 calibrated = console.device->pressureValues()[0];
        QVERIFY2(qAbs(calibrated - 5000) < qAbs(uncalibrated - 5000),
                 qPrintable(QStringLiteral("%1 -> %2 mN").arg(uncalibrated).arg(calibrated)));
    }

    // Messages behind one whose flow control is missing or odd wait for it and follow.
    void shouldDeliverMessagesWhateverTheFlowControl_data()
    {
        QTest::addColumn<bool>("lost");
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<int>("stMin");

        QTest::newRow("lost until the first frame went three times") << true << 0 << 0;
        QTest::newRow("reserved STmin 0x80") << false << 1 << 0x80;
        QTest::newRow("reserved STmin 0xfa") << false << 0 << 0xFA;
    }

    void shouldDeliverMessagesWhateverTheFlowControl()
    {
        QFETCH(bool, lost);
        QFETCH(int, blockSize);
        QFETCH(int, stMin);

        tests::SimulatedConsole console;
        Ui_MainWindow &form = *console.window->ui;
        console.device->setFlowControl(quint8(blockSize), quint8(stMin));
        console.link->setDropRate(lost ? 1 : 0);
        form.showCANView->click();
        tests::toggle(form.readPressureSensors, true);
        tests::TraceCapture traced;
        form.pressureReset->click();
        form.activateTPDiag->click();
        QTRY_VERIFY(traced.lines().count(QStringLiteral("TX 17f873f0  8: 10 0a c8 02 11 10 ff 00")) >= (lost ? 3 : 1));
        console.link->setDropRate(0);
        QTRY_COMPARE(console.device->receivedMessages(),
                     (QList<QByteArray>{QByteArray::fromHex("c8021110ff0001010101"), QByteArray::fromHex("c80111042020")}));
    }
};

QTEST_MAIN(TestConsoleSimulated)
#include "tst_consolesimulated.moc"
