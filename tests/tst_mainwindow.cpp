#include "service/calibrationrecord.h"
#include "app/devicedata.h"
#include "app/focusstyle.h"
#include "app/mainwindow.h"
#include "app/session.h"
#include "bus/busloss.h"
#include "monitor/canviewer.h"
#include "monitor/canwindow.h"
#include "monitor/pressurechart.h"
#include "sim/faultylink.h"
#include "sim/korveldevice.h"
#include "support/grid.h"
#include "support/startconsole.h"
#include "touchview/touchview.h"

#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QtTest>

// The console on a scripted bus: the frames it puts on the bus and what it
// shows after the frames it is given; and on the simulated device.
class TestMainWindow : public QObject
{
    Q_OBJECT

    static tests::Form ui(const tests::ScriptedConsole &console) { return tests::Form(*console.window); }

private slots:
    // As the console sets it up under the C locale.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    // Checked once a second: frames lost at the channel and at the full
    // receive queue add up, and a bus gone says why, the reasons the driver
    // knows in German, any other as the system gave it. The channel opened is
    // the driver's of the row picked, not the row's number.
    void shouldShowLostFramesAndALostBusInTheStatusBar_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("said");

        QTest::newRow("closed") << QString::fromLatin1(bus::busloss::closed) << QStringLiteral("Verbindung vom Bus getrennt");
        QTest::newRow("unreachable") << QString::fromLatin1(bus::busloss::unreachable) << QStringLiteral("Bus nicht erreichbar");
        QTest::newRow("adapter gone") << QString::fromLatin1(bus::busloss::adapterGone) << QStringLiteral("CAN-Adapter getrennt");
        QTest::newRow("unknown") << QStringLiteral("Input/output error") << QStringLiteral("Input/output error");
    }

    void shouldShowLostFramesAndALostBusInTheStatusBar()
    {
        QFETCH(QString, reason);
        QFETCH(QString, said);

        tests::ScriptedConsole console({QStringLiteral("LIN 1 (no CAN)"), QStringLiteral("CAN 1")});
        const auto shown = [&](const char *name) {
            console.window->session().updateBusStatus();
            const auto *label = console.window->findChild<QLabel *>(QLatin1String(name));
            return label->isHidden() ? QStringLiteral("hidden") : label->text();
        };
        QCOMPARE(shown("lostFrames"), QStringLiteral("hidden"));
        console.bus->injectLoss(5);
        for (int i = 0; i < 4096 + 2; ++i)
            console.bus->inject(xl::receivedEvent(0x100, false, QByteArray(8, '\0')));
        QCOMPARE(shown("lostFrames"), QStringLiteral("7 Frames verworfen"));
        console.bus->injectLoss(1000000);
        QCOMPARE(shown("lostFrames"), QStringLiteral("1.000.007 Frames verworfen"));
        console.bus->injectFailure(reason);
        QCOMPARE(shown("busState"), QStringLiteral("CAN 1 · getrennt: ") + said);
    }

    // At its smallest every control of the form shows its whole text, the
    // grid keeps its minimum, and the tool bar is still there.
    void shouldKeepEveryControlLegibleAtItsSmallest()
    {
        tests::ScriptedConsole console;
        console.window->resize(1, 1);
        QCoreApplication::processEvents();
        QStringList cut;
        for (QWidget *control : console.window->centralWidget()->findChildren<QWidget *>()) {
            const QSize needed = control->minimumSizeHint().expandedTo(control->minimumSize());
            if (control->isVisibleTo(console.window.get())
                && (control->width() < needed.width() || control->height() < needed.height()))
                cut << control->objectName();
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1String(", "))));
        QVERIFY(ui(console).touchview->width() >= 150 && ui(console).touchview->height() >= 100);
        QVERIFY(ui(console).mainToolBar->isVisible() && ui(console).mainToolBar->height() > 0);
    }

    // The focus is two solid pixels of the highlight colour inside the
    // focus rectangle, whatever the style drew before.
    void shouldDrawAClearFocusFrame()
    {
        app::FocusStyle style(QStringLiteral("Fusion"));
        QStyleOptionFocusRect option;
        option.rect = QRect(0, 0, 20, 10);
        option.palette.setColor(QPalette::Highlight, Qt::red);
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        style.drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter);
        painter.end();
        for (const QPoint pixel : {QPoint(0, 0), QPoint(1, 1), QPoint(10, 0), QPoint(0, 5), QPoint(18, 8), QPoint(19, 9)})
            QCOMPARE(QColor(image.pixel(pixel)), QColor(Qt::red));
        QCOMPARE(QColor(image.pixel(10, 5)), QColor(Qt::white));
    }

    // Every menu opens from the keyboard by its letter, and the common
    // actions have the keys users expect. Each row is named by its keys.
    void shouldAnswerTheKeyboard_data()
    {
        QTest::addColumn<QString>("outcome");  // the menu open, else the console closed, else the status bar

        QTest::newRow("Alt+K") << QStringLiteral("menu &Kanal");
        QTest::newRow("Alt+A") << QStringLiteral("menu &Aufzeichnung");
        QTest::newRow("Alt+N") << QStringLiteral("menu A&nsicht");
        QTest::newRow("Alt+G") << QStringLiteral("menu &Gerät");
        QTest::newRow("F10") << QStringLiteral("menu &Kanal");
        QTest::newRow("F5") << QStringLiteral("Neu verbunden");
        QTest::newRow("Ctrl+Q") << QStringLiteral("closed");
    }

    void shouldAnswerTheKeyboard()
    {
        QFETCH(QString, outcome);

        tests::ScriptedConsole console;
        console.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(console.window.get()));
        QTest::keySequence(console.window.get(), QKeySequence(QString::fromLatin1(QTest::currentDataTag())));
        const auto seen = [&] {
            if (const auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget()))
                return "menu " + menu->title();
            return console.window->isVisible() ? ui(console).statusBar->currentMessage() : QStringLiteral("closed");
        };
        QTRY_COMPARE(seen(), outcome);
        if (QWidget *menu = QApplication::activePopupWidget())
            menu->close();
    }

    // Requests that never went out leave no device to be silent.
    void shouldSayWhenNoChannelOpens()
    {
        tests::ScriptedConsole console(QStringList{});
        QCOMPARE(console.messageBox, QStringLiteral("CAN Fehler|Konnte CAN Kanal nicht aktivieren!"));
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "requestPressureSensorRawData"));
        QThread::msleep(app::ReplyWatch::silenceMs + 50);
        console.window->session().replies().check();
        QVERIFY(!console.window->session().replies().isSilent());
    }

    // Every frame reaches the activity window; only device replies reach the
    // labels, also while the values are not polled. Which frames are replies
    // is the device library's to say, and tst_device's to check.
    void shouldAcceptOnlyDeviceReplies()
    {
        tests::ScriptedConsole console;
        ui(console).showCANView->click();
        const auto labels = [&] {
            return QStringList{ui(console).pressure0->text(), ui(console).pressure1->text(), ui(console).pressure2->text()};
        };
        console.receive(QStringLiteral("20011234000affff"), 0x1BFF8300);  // the request's identifier
        QCOMPARE(labels(), (QStringList{"-", "-", "-"}));
        console.receive(QStringLiteral("20011234000affff"));
        QCOMPARE(labels(), (QStringList{"4660", "10", "65535"}));
        auto *list = tests::activityWindow()->findChild<CanViewer *>();
        QVERIFY(QMetaObject::invokeMethod(list, "updateList"));
        QCOMPARE(list->topLevelItemCount(), 2);
    }

    // NMH every 100 ms and the pressure request every 50 ms while switched on
    // (their frames are tst_session's, as they carry on over a switch), the
    // TP diagnosis activation once, confirmed. Switched off, the values
    // shown go; factors no longer shown, like none measured on this device,
    // are not written unasked: the question names them, and "Nein" writes none.
    void shouldSendPeriodicFramesWhileSwitchedOn()
    {
        tests::ScriptedConsole console;
        ui(console).sendNMH->click();
        tests::toggle(ui(console).readPressureSensors, true);
        ui(console).pressureCalibSave->click();
        QCOMPARE(ui(console).statusBar->currentMessage(),
                 QStringLiteral("Keine Faktoren gemessen: erst „unbelastet“ und „belastet mit 5N“ drücken"));
        QVERIFY(console.sent().isEmpty() && !console.window->findChild<QMessageBox *>());
        ui(console).activateTPDiag->click();
        QCOMPARE(console.sent(), QStringList{"17f873f0: 06c80111042020aa"});
        QCOMPARE(ui(console).statusBar->currentMessage(), QStringLiteral("TP-Diagnose gesendet: übertragen"));
        console.measure(QStringLiteral("03e803e8"), QStringLiteral("07d00708"));

        ui(console).sendNMH->click();
        tests::toggle(ui(console).readPressureSensors, false);
        QTest::qWait(300);  // long enough for a few of each
        QCOMPARE(console.sent(), QStringList());
        for (const QLabel *label : ui(console).readPressureSensors->findChildren<QLabel *>(QRegularExpression("pressure")))
            QCOMPARE(label->text(), QStringLiteral("-"));
        tests::toggle(ui(console).readPressureSensors, true);
        ui(console).pressureCalibSave->click();
        const auto *question = console.window->findChild<QMessageBox *>();
        QVERIFY(question && question->text().contains(QStringLiteral("gucPressureSens1Mul 200\ngucPressureSens1Div 250\n"
                                                                     "gucPressureCalMul 156\ngucPressureCalDiv 4")));
        QVERIFY(question->text().contains(QRegularExpression(QStringLiteral("gemessen um \\d\\d:\\d\\d:\\d\\d"))));
        QCOMPARE(question->button(QMessageBox::Yes)->text() + question->button(QMessageBox::No)->text(), "JaNein");
        tests::answerModal(QDialogButtonBox::No);
        QVERIFY(console.sent().isEmpty());
        QCOMPARE(ui(console).statusBar->currentMessage(), QStringLiteral("Kalibrierung nicht gesendet"));
    }

    // The factors measured, then written through the form: a load that left
    // a sensor as it was asks first, naming the values. The status bar says
    // what became of each message, and the record gets a line with the
    // outcome, written at the latest as the console ends; a record that
    // cannot be written is said instead. The factors and message bytes for
    // other snapshots are tst_device's, the frames of a message tst_isotptx's.
    void shouldWriteAndRecordCalibrations_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("recorded") << true;
        QTest::newRow("record path a folder") << false;
    }

    void shouldWriteAndRecordCalibrations()
    {
        QFETCH(bool, writable);

        tests::ScriptedConsole console;
        const tests::Form form = ui(console);
        const QString path = service::CalibrationRecord::standardPath();
        QVERIFY(writable || QDir().mkpath(path));
        tests::toggle(form.readPressureSensors, true);
        const auto settled = [&](const QString &status) {  // unless the record's line could not be written
            return writable ? status : "Kalibrierprotokoll " + path + " nicht geschrieben: Is a directory";
        };
        const auto *warning = console.window->findChild<QLabel *>(QStringLiteral("calibrationWarning"));

        QCOMPARE(console.measure({}, "00000100"), (QStringList{"128", "1", "200", "19"}));
        QVERIFY(warning->isVisible());
        form.pressureCalibSave->click();
        const auto *question = console.window->findChild<QMessageBox *>();
        QVERIFY(question && question->text().contains(QStringLiteral("(Sensor 1: 0 → 0, Sensor 2: 0 → 256)")));
        tests::answerModal(QDialogButtonBox::Yes);
        console.receive(QStringLiteral("3200000000000000"), 0x17FAF073);
        QCOMPARE(form.statusBar->currentMessage(),
                 settled("Kalibrierung gesendet (Faktoren 128/1/200/19): abgebrochen: das Gerät meldet Überlauf"));

        QCOMPARE(console.measure("03e803e8", "07d00708"), (QStringList{"200", "250", "156", "4"}));
        QVERIFY(!warning->isVisible());
        form.pressureCalibSave->click();
        console.receive(QStringLiteral("3000000000000000"), 0x17FAF073);  // the rest goes out on the transmitter's timer
        QTRY_COMPARE(form.statusBar->currentMessage(), settled("Kalibrierung gesendet (Faktoren 200/250/156/4): übertragen"));
        form.pressureReset->click();  // and the console ends before the device grants it
        QCOMPARE(form.statusBar->currentMessage(), QStringLiteral("Kalibrierung zurückgesetzt (Faktoren 1/1/1/1)"));
        console.window.reset();
        if (!writable)
            return;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // The time is the run's; its form is checked as it is taken out.
        QCOMPARE(QString::fromUtf8(file.readAll()).remove(QRegularExpression(QStringLiteral("(?m)^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d,"))),
                 QStringLiteral("Zeit,Kanal,Aktion,Roh1 unbelastet,Roh2 unbelastet,Roh1 belastet,Roh2 belastet,"
                                "sens1Mul,sens1Div,calMul,calDiv,Bytes,Ergebnis,Seriennummer\n"
                                "CAN 1,speichern,0,0,0,256,128,1,200,19,C8 02 11 10 32 1E 80 01 C8 13,abgebrochen,\n"
                                "CAN 1,speichern,1000,1000,2000,1800,200,250,156,4,C8 02 11 10 32 1E C8 FA 9C 04,gesendet,\n"
                                "CAN 1,zurücksetzen,1000,1000,2000,1800,1,1,1,1,C8 02 11 10 FF 00 01 01 01 01,ausstehend,\n"));
    }

    // Through the form and the window's resend timer, called by its slot: the
    // title says how far a download got; the matrix is shown in the grid and
    // the next one asked for while the box is ticked. Unticked before the
    // device answered, nothing more is asked; unticked later, the download
    // runs on, and given up it is not asked for again. Which replies a
    // download takes, and when it gives up, is tst_device's.
    void shouldDownloadTouchpadMatrix()
    {
        tests::ScriptedConsole console;
        const tests::Form form = ui(console);
        const auto title = [&] { return form.readTPraw->title().remove(QStringLiteral("Touchpad - Rohdaten")); };
        const auto call = [&](const char *slot) { QVERIFY(QMetaObject::invokeMethod(console.window.get(), slot)); };
        const QString header = QStringLiteral("1bff8300: 2002000000000000");  // the requests for it and for (0, 0)
        const QString first = QStringLiteral("1bff8300: 2003000000000000");
        tests::toggle(form.readTPraw, true);
        QCOMPARE(title(), QStringLiteral(" (init)"));
        call("advanceTPRaw");
        console.receive(QStringLiteral("2002020300000000"));
        call("advanceTPRaw");
        QCOMPARE(console.sent(), (QStringList{header, header, first, first}));
        QCOMPARE(title(), QStringLiteral(" (50%)"));
        QThread::msleep(150);  // a reply changes the title at most every 100 ms
        console.receive(QStringLiteral("2003000001020304"));
        QCOMPARE(title(), QStringLiteral(" (100%)"));
        console.receive(QStringLiteral("200301010506eeee"));
        QVERIFY(tests::showsMatrix(*form.touchview, 2, 3, QByteArray::fromHex("010203040506")));
        QCOMPARE(console.sent(), (QStringList{"1bff8300: 2003010100000000", header}));
        QCOMPARE(title(), QStringLiteral(" (init)"));

        tests::toggle(form.readTPraw, false);
        QCOMPARE(title(), QString());
        console.receive(QStringLiteral("2002020300000000"));
        call("advanceTPRaw");
        QCOMPARE(console.sent(), QStringList());

        tests::toggle(form.readTPraw, true);
        console.receive(QStringLiteral("2002020300000000"));
        tests::toggle(form.readTPraw, false);
        QCOMPARE(console.sent(), (QStringList{header, first}));
        QThread::msleep(2100);
        call("advanceTPRaw");
        QCOMPARE(title(), QString());
        QCOMPARE(form.statusBar->currentMessage(), QStringLiteral("Touchpad-Download abgebrochen: keine Antwort seit 2 s"));
        call("restartTPRaw");
        QCOMPARE(console.sent(), QStringList());
    }

    // The grid's copy, reference and save say in the status bar what they
    // did; the other actions' words are checked where they are taken.
    void shouldConfirmCopyAndSaveOfTheMatrix()
    {
        tests::ScriptedConsole console;
        Touchview &grid = *ui(console).touchview;
        grid.setData(14, 24, QByteArray(14 * 24, 1));
        grid.copy();
        QCOMPARE(ui(console).statusBar->currentMessage(), QStringLiteral("Matrix kopiert (14 × 24)"));
        grid.keepReference();
        QCOMPARE(ui(console).statusBar->currentMessage(), QStringLiteral("Matrix als Referenz festgehalten (14 × 24)"));
        QTemporaryDir dir;
        QString error;
        QVERIFY(grid.save(dir.filePath("matrix.csv"), &error));
        QCOMPARE(ui(console).statusBar->currentMessage(), "Matrix gespeichert: " + dir.filePath("matrix.csv"));
        QCOMPARE(grid.exportFolder(), dir.path());  // the next export starts there
    }

    // In real time, on the simulated device: a device that stops hearing the
    // console is shown silent within 1.5 s, its download is given up after
    // 2 s, and once it hears again the download starts anew and ends, with
    // exactly the matrix the device froze for it.
    void shouldShowASilentDeviceAndDownloadAgainWhenItAnswers()
    {
        tests::SimulatedConsole console;
        console.devices[0]->setMatrixSize(20, 20);
        MainWindow &window = *console.window;
        const QLabel *deviceState = window.findChild<QLabel *>(QStringLiteral("deviceState"));
        tests::toggle(tests::Form(window).readPressureSensors, true);
        tests::toggle(tests::Form(window).readTPraw, true);
        QGroupBox *box = tests::Form(window).readTPraw;
        const QRegularExpression downloading(QStringLiteral("\\((\\d+)%\\)"));
        QTRY_VERIFY(downloading.match(box->title()).captured(1).toInt() >= 15);

        console.links[0]->setIncomingDropRate(1);
        QElapsedTimer silence;
        silence.start();
        QTRY_VERIFY_WITH_TIMEOUT(deviceState->isVisible(), 1500);
        QVERIFY(silence.elapsed() >= app::ReplyWatch::silenceMs);
        QCOMPARE(deviceState->text(), QStringLiteral("Gerät antwortet nicht"));
        QTRY_COMPARE_WITH_TIMEOUT(box->title(), QStringLiteral("Touchpad - Rohdaten"), 3000);
        QVERIFY(silence.elapsed() >= 2000);
        QCOMPARE(tests::Form(window).statusBar->currentMessage(),
                 QStringLiteral("Touchpad-Download abgebrochen: keine Antwort seit 2 s, neuer Versuch in 1 s"));

        QSignalSpy copies(console.devices[0], &sim::KorvelDevice::snapshotTaken);
        console.links[0]->setIncomingDropRate(0);
        QTRY_VERIFY(!deviceState->isVisible());
        // The copy after the pause, then the next one, asked for once that download ended.
        QTRY_VERIFY_WITH_TIMEOUT(copies.size() >= 2, 10000);
        // Unticked while it runs, the download goes on to its end.
        QTRY_VERIFY(downloading.match(box->title()).hasMatch());
        tests::toggle(tests::Form(window).readTPraw, false);
        QTRY_COMPARE(box->title(), QStringLiteral("Touchpad - Rohdaten"));
        QVERIFY(tests::showsMatrix(*tests::Form(window).touchview, 20, 20, console.devices[0]->snapshot()));
    }

    // The button opens and closes the activity window; closing the window
    // itself unchecks the button.
    void shouldOpenAndCloseActivityWindow()
    {
        tests::ScriptedConsole console;
        QPushButton *button = ui(console).showCANView;
        button->click();
        QVERIFY(tests::activityWindow()->isVisible());
        button->click();
        QVERIFY(!tests::activityWindow());
        button->click();
        tests::activityWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!tests::activityWindow() && !button->isChecked());

        // The activity window and the pressure chart go with the console.
        button->click();
        console.window->deviceData().showPressureChart();
        console.window->close();
        QVERIFY(!tests::activityWindow() && !console.window->deviceData().chart()->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
