#include "app/keptsettings.h"
#include "app/mainwindow.h"
#include "app/session.h"
#include "monitor/canwindow.h"
#include "sim/korveldevice.h"
#include "support/startconsole.h"

#include <QFileDialog>
#include <QListWidget>
#include <QToolBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

// The console's session: the channel switched and reopened under the running
// functions, and every frame it sees recorded.
class TestSession : public QObject
{
    Q_OBJECT

    // The download's percentage in the box's title; -1 while none runs.
    static int progress(const tests::Form &ui)
    {
        const QRegularExpressionMatch percent = QRegularExpression(QStringLiteral("\\((\\d+)%\\)")).match(ui.readTPraw->title());
        return percent.hasMatch() ? percent.captured(1).toInt() : -1;
    }

private slots:
    // NMH, polling and the activity window carry on; a calibration still
    // being sent to the device is given up on another or a reopened port,
    // and what was measured on the device before is forgotten, so that the
    // next save writes nothing and asks nothing: factors measured on one
    // device never go into the next.
    void shouldCarryOnOverASwitch_data()
    {
        QTest::addColumn<int>("row");  // can<row> picked in the dialog; -1 Cancel, -2 "Neu verbinden"
        QTest::addColumn<int>("bus");  // that the frames then go to
        QTest::newRow("switched") << 1 << 1;
        QTest::newRow("cancelled") << -1 << 0;
        QTest::newRow("reconnected") << -2 << 0;
    }

    void shouldCarryOnOverASwitch()
    {
        QFETCH(int, row);
        QFETCH(int, bus);

        tests::ScriptedConsole console({QStringLiteral("virtualcan can0"), QStringLiteral("virtualcan can1")});
        MainWindow &window = *console.window;
        const tests::Form ui(window);
        ui.sendNMH->click();
        tests::toggle(ui.readPressureSensors, true);
        ui.showCANView->click();
        console.measure(QStringLiteral("03e803e8"), QStringLiteral("07d00708"));
        ui.pressureCalibSave->click();  // ten bytes: waits for the flow control

        QTimer::singleShot(0, [row] {
            tests::answerModal(row >= 0 ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel, nullptr,
                               QStringLiteral("virtualcan can%1").arg(row));
        });
        if (row == -2)
            window.session().reconnect();
        else
            window.session().switchChannel();
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("busState"))->text(),
                 QStringLiteral("virtualcan can%1 · verbunden").arg(bus));
        QCOMPARE(ui.statusBar->currentMessage(),
                 "Kalibrierung gesendet (Faktoren 200/250/156/4)"
                     + QString(row == -1 ? "" : ": abgebrochen: Kanal neu geöffnet"));
        QCOMPARE(ui.pressure3->text(), row == -1 ? "200" : "-");
        QVERIFY(tests::activityWindow());

        console.sent();  // what went out before, on the first bus
        console.bus = console.buses[bus];
        QVERIFY(QMetaObject::invokeMethod(&window, "sendNMH"));
        QVERIFY(QMetaObject::invokeMethod(&window, "requestPressureSensorRawData"));
        ui.pressureCalibSave->click();  // on the old port, it waits behind the first
        QVERIFY(!window.findChild<QMessageBox *>());
        console.receive(QStringLiteral("3000000000000000"), 0x17FAF073);  // granted to none on a new one
        QCOMPARE(console.sent(), (QStringList{"1b000073: 7300040108000100", "1bff8300: 2001000000000000"}));
        QCOMPARE(console.buses[1 - bus]->written.size(), 0);
        // Both still run on their own, on the bus now open.
        QStringList sent;
        QTRY_VERIFY((sent += console.sent(), sent.contains("1b000073: 7300040108000100")
                                                 && sent.contains("1bff8300: 2001000000000000")));
    }

    // Without a channel ever picked there is none to reconnect.
    void shouldReconnectOnlyAChannelPicked()
    {
        tests::ScriptedConsole console({QStringLiteral("virtualcan can0")}, QDialogButtonBox::Cancel);
        console.window->session().reconnect();
        QCOMPARE(console.window->findChild<QLabel *>(QStringLiteral("busState"))->text(), QStringLiteral("kein Kanal"));
    }

    // The download goes on at the position it had reached, on the device of
    // the new channel, until the matrix is complete and the next copy asked
    // for; a message sent now goes whole to that device.
    void shouldCarryOnWithTheDeviceOfTheNewChannel()
    {
        tests::SimulatedConsole console(2);
        for (sim::KorvelDevice *device : std::as_const(console.devices))
            device->setMatrixSize(20, 20);
        MainWindow &window = *console.window;
        const tests::Form ui(window);
        QSignalSpy copies(console.devices[1], &sim::KorvelDevice::snapshotTaken);
        tests::toggle(ui.readTPraw, true);
        QVERIFY(QTest::qWaitFor([&] { return progress(ui) >= 20; }, 10000));

        QTimer::singleShot(0, [] {  // both are named alike: the second row
            QApplication::activeModalWidget()->findChild<QListWidget *>(QStringLiteral("channels"))->setCurrentRow(1);
            tests::answerModal(QDialogButtonBox::Ok);
        });
        window.session().switchChannel();
        QVERIFY(progress(ui) >= 20 && copies.isEmpty());
        tests::toggle(ui.readPressureSensors, true);
        ui.pressureReset->click();  // ten bytes: the device's flow control lets the rest go
        QTRY_COMPARE(console.devices[1]->receivedMessages(), (QList<QByteArray>{QByteArray::fromHex("c8021110ff0001010101")}));
        QVERIFY(QTest::qWaitFor([&] { return !copies.isEmpty(); }, 10000));
    }

    // Received frames and the console's own, in the order seen, one line
    // each; a failure stops the recording and says so in a box that does not
    // wait for the user. The reasons of a failed write are tst_files'.
    void shouldRecordEveryFrameSeen_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("written") << QString();
        QTest::newRow("file removed") << "die Datei wurde entfernt";
    }

    void shouldRecordEveryFrameSeen()
    {
        QFETCH(QString, failure);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("session.log"));
        tests::ScriptedConsole console({QStringLiteral("virtualcan can0")});
        MainWindow &window = *console.window;
        app::Session &session = window.session();
        QString error;
        QVERIFY(session.startRecording(path, &error));
        console.receive(QStringLiteral("2001000000000000"));
        console.receive(QString(), 0x123, false);
        QVERIFY(QMetaObject::invokeMethod(&window, "sendNMH"));
        console.receive(QStringLiteral("aa"), 0x7FF, false);
        if (!failure.isEmpty()) {
            QVERIFY(QFile::remove(path));
            session.recording().flush();
            const auto *box = window.findChild<QMessageBox *>();
            QVERIFY(box && box->isVisible());
            QCOMPARE(box->text(), QStringLiteral("Die Aufzeichnung in %1 wurde abgebrochen: %2").arg(path, failure));
            QVERIFY(!session.recording().isRecording() && tests::Form(window).action("Aufzeichnung &starten…")->isEnabled());
            return;
        }
        session.updateBusStatus();
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("recording"))->text(), QStringLiteral("Aufzeichnung: 4 Frames"));
        // The recording ends with the console, as on a signal: what it holds is written out.
        console.window.reset();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Each line's stamp taken out, whatever its time, but only in its form.
        QCOMPARE(QString::fromLatin1(file.readAll()).remove(QRegularExpression(QStringLiteral("(?m)^\\(\\d{10}\\.\\d{6}\\) can0 "))),
                 QStringLiteral("1BFF8301#2001000000000000 R\n123# R\n1B000073#7300040108000100 T\n7FF#AA R\n"));
    }

    // A name typed without a suffix gets ".log", one with a suffix keeps
    // it; the dialog opens in the folder of the last recording; the tool
    // bar's switch and Ctrl+R start and stop, the end confirmed, and the
    // switch stays off, with no fault reported, when the dialog is cancelled.
    void shouldNameARecordingAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");

        QTest::newRow("no suffix") << "bench 7" << "bench 7.log";
        QTest::newRow("a suffix") << "bench.txt" << "bench.txt";
        QTest::newRow(".log") << "bench.log" << "bench.log";
        QTest::newRow("cancelled") << QString() << QString();
    }

    void shouldNameARecordingAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);

        QTemporaryDir dir;
        app::KeptSettings kept(dir.filePath(QStringLiteral("kept.ini")));
        kept.keepFolderOf(app::KeptSettings::Folder::Recordings, dir.filePath(QStringLiteral("earlier.log")));
        tests::ScriptedConsole console({QStringLiteral("virtualcan can0")});
        console.window->keepSettings(kept);
        QString folder;
        QString box;
        QTimer answering;
        connect(&answering, &QTimer::timeout, [&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                folder = dialog->directory().absolutePath();
                // The folder's listing, read in a thread, may select the proposed name
                // again: Save only once the typed one stands.
                if (!typed.isEmpty() && dialog->selectedFiles().value(0) != dir.filePath(written)) {
                    dialog->selectFile(typed);
                    return;
                }
            }
            tests::answerModal(typed.isEmpty() ? QDialogButtonBox::Cancel : QDialogButtonBox::Save, &box);
        });
        answering.start(10);
        auto *toolBar = console.window->findChild<QToolBar *>(QStringLiteral("mainToolBar"));
        toolBar->actions().constFirst()->trigger();
        QCOMPARE(folder, dir.path());
        QCOMPARE(box, QString());
        if (typed.isEmpty()) {
            QVERIFY(!console.window->session().recording().isRecording() && !toolBar->actions().constFirst()->isChecked());
            return;
        }
        QCOMPARE(console.window->session().recording().path(), dir.filePath(written));
        QVERIFY(toolBar->actions().constFirst()->isChecked());
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "sendNMH"));
        console.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(console.window.get()));
        QTest::keyClick(console.window.get(), Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!console.window->session().recording().isRecording() && !toolBar->actions().constFirst()->isChecked());
        QCOMPARE(tests::Form(*console.window).statusBar->currentMessage(), "Aufzeichnung beendet: " + dir.filePath(written) + ", 1 Frames");
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
