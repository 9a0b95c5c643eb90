#include "service/calibrationrecord.h"
#include "app/devicedata.h"
#include "app/focusstyle.h"
#include "app/language.h"
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
#include "support/tracecapture.h"
#include "touchview/touchview.h"

#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QtTest>

// A calibration from two snapshots, raw1 and raw2 in hex at each ("": none
// taken, "-": taken before any reply): the factors shown, the message sent,
// the record's line after time and channel (empty: it cannot be written), the
// status bar (%1: the record), the trace, and the device's flow control.
struct Calibration
{
    QString unloaded, loaded, factors, message, record, status;
    QStringList trace = {};
    QString button = QStringLiteral("pressureCalibSave");
    QString reply = QStringLiteral("3000000000000000");
};
Q_DECLARE_METATYPE(Calibration)

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
    // labels, also while the values are not polled.
    void shouldAcceptOnlyDeviceReplies_data()
    {
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("labels");
        QTest::addColumn<quint32>("id");
        QTest::addColumn<bool>("extended");

        QTest::newRow("pressure reply") << "20011234000affff" << "4660|10|65535" << 0x1BFF8301u << true;
        QTest::newRow("standard identifier") << "20011234000affff" << "-|-|-" << 0x1BFF8301u << false;
        QTest::newRow("request identifier") << "20011234000affff" << "-|-|-" << 0x1BFF8300u << true;
        QTest::newRow("dlc 7") << "20011234000aff" << "-|-|-" << 0x1BFF8301u << true;
    }

    void shouldAcceptOnlyDeviceReplies()
    {
        QFETCH(QString, data);
        QFETCH(QString, labels);
        QFETCH(quint32, id);
        QFETCH(bool, extended);

        tests::ScriptedConsole console;
        ui(console).showCANView->click();
        console.receive(data, id, extended);
        QCOMPARE((QStringList{ui(console).pressure0->text(), ui(console).pressure1->text(), ui(console).pressure2->text()}
                      .join(QLatin1Char('|'))), labels);
        auto *list = tests::activityWindow()->findChild<CanViewer *>();
        QVERIFY(QMetaObject::invokeMethod(list, "updateList"));
        QCOMPARE(list->topLevelItemCount(), 1);
    }

    // NMH every 100 ms and the pressure request every 50 ms while switched on,
    // the TP diagnosis activation once, confirmed. Switched off, the values
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
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "sendNMH"));
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "requestPressureSensorRawData"));
        ui(console).activateTPDiag->click();
        QCOMPARE(console.sent(), (QStringList{"1b000073: 7300040108000100", "1bff8300: 2001000000000000",
                                              "17f873f0: 06c80111042020aa"}));
        QCOMPARE(ui(console).statusBar->currentMessage(), QStringLiteral("TP-Diagnose gesendet: übertragen"));
        console.receive(QStringLiteral("2001000003e803e8"));
        ui(console).pressureUnstressed->click();
        console.receive(QStringLiteral("2001000007d00708"));
        ui(console).pressureStressed->click();

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

    // Snapshots of raw1 and raw2 in hex, none taken if empty; then the button
    // sends the ISO-TP message, whole once the device has granted it, and the
    // record gets a line with the outcome, written at the latest as the console
    // ends; the status bar says what became of it. Factors that look wrong
    // are written once the question is answered "Ja".
    void shouldComputeWriteAndRecordCalibration_data()
    {
        QTest::addColumn<Calibration>("c");

        const QString saved = QStringLiteral("speichern,1000,1000,2000,1800,200,250,156,4,C8 02 11 10 32 1E C8 FA 9C 04,");
        const QString reset = QStringLiteral("zurücksetzen,1000,1000,2000,1800,1,1,1,1,C8 02 11 10 FF 00 01 01 01 01,");
        const QString sent = QStringLiteral("Kalibrierung gesendet (Faktoren 200/250/156/4)");
        const QString neutral = QStringLiteral("Kalibrierung zurückgesetzt (Faktoren 1/1/1/1)");
        QTest::newRow("1000/1000 to 2000/1800") << Calibration{"03e803e8", "07d00708", "200|250|156|4",
            "c8021110321ec8fa9c04", saved + "gesendet", sent + ": übertragen",
            {"-> 200.000000 / 200.000000  l/r", "-> 4.882813 / 156.250000  cal (800)"}};
        QTest::newRow("one delta of 256, asked") << Calibration{"00000000", "00000100", "128|1|200|19",
            "c8021110321e8001c813", "speichern,0,0,0,256,128,1,200,19,C8 02 11 10 32 1E 80 01 C8 13,gesendet",
            "Kalibrierung gesendet (Faktoren 128/1/200/19): übertragen"};
        QTest::newRow("only unloaded, asked") << Calibration{"03e803e8", "", "65286|65286|65341|4",
            "c8021110321e06063d04", "speichern,1000,1000,0,0,65286,65286,65341,4,C8 02 11 10 32 1E 06 06 3D 04,gesendet",
            "Kalibrierung gesendet (Faktoren 65286/65286/65341/4): übertragen"};
        // "-": the snapshot taken before any reply, of zeros.
        QTest::newRow("unloaded before any reply") << Calibration{"-", "00020002", "2|2|12|156",
            "c8021110321e02020c9c", "speichern,0,0,2,2,2,2,12,156,C8 02 11 10 32 1E 02 02 0C 9C,gesendet",
            "Kalibrierung gesendet (Faktoren 2/2/12/156): übertragen"};
        QTest::newRow("reset") << Calibration{"03e803e8", "07d00708", "200|250|156|4", "c8021110ff0001010101",
            reset + "gesendet", neutral + ": übertragen", {}, "pressureReset"};
        QTest::newRow("overflow from the device") << Calibration{"03e803e8", "07d00708", "200|250|156|4",
            "c8021110321ec8fa9c04", saved + "abgebrochen", sent + ": abgebrochen: das Gerät meldet Überlauf", {},
            "pressureCalibSave", "3200000000000000"};
        QTest::newRow("console ended first") << Calibration{"03e803e8", "07d00708", "200|250|156|4",
            "c8021110ff0001010101", reset + "ausstehend", neutral, {}, "pressureReset", ""};
        QTest::newRow("unwritable") << Calibration{"03e803e8", "07d00708", "200|250|156|4", "c8021110321ec8fa9c04",
            "", "Kalibrierprotokoll %1 nicht geschrieben: Is a directory"};
    }

    void shouldComputeWriteAndRecordCalibration()
    {
        QFETCH(Calibration, c);

        tests::ScriptedConsole console;
        const QString path = service::CalibrationRecord::standardPath();
        QVERIFY(!c.record.isEmpty() || QDir().mkpath(path));  // a folder where the record should go
        tests::toggle(ui(console).readPressureSensors, true);
        tests::TraceCapture traced;
        for (const auto &[raw, snapshot] : {std::pair(c.unloaded, ui(console).pressureUnstressed),
                                            std::pair(c.loaded, ui(console).pressureStressed)}) {
            if (raw.size() > 1)
                console.receive("20010000" + raw);
            if (!raw.isEmpty())
                snapshot->click();
        }
        if (!c.trace.isEmpty())
            QCOMPARE(traced.lines().filter(QStringLiteral("-> ")).mid(2), c.trace);
        const bool asked = QByteArray(QTest::currentDataTag()).contains("asked");
        QCOMPARE(console.window->findChild<QLabel *>(QStringLiteral("calibrationWarning"))->isVisible(), asked);

        console.window->findChild<QPushButton *>(c.button)->click();
        const auto *question = console.window->findChild<QMessageBox *>();
        QCOMPARE(bool(question), asked);
        const auto raw = [](const QString &hex, int sensor) { return QString::number(hex.mid(4 * sensor, 4).toUInt(nullptr, 16)); };
        if (question)  // the values that made the factors look wrong
            QVERIFY(question->text().contains("Sensor 1: " + raw(c.unloaded, 0) + " → " + raw(c.loaded, 0) + ", Sensor 2: "
                                              + raw(c.unloaded, 1) + " → " + raw(c.loaded, 1) + ")"));
        tests::answerModal(QDialogButtonBox::Yes);
        if (!c.reply.isEmpty())
            console.receive(c.reply, 0x17FAF073);
        const bool continued = c.reply.startsWith(QLatin1String("30"));
        // The rest goes out on the transmitter's timer; the polling's requests are not this message.
        QStringList sent = console.sent();
        if (continued)
            QTRY_VERIFY((sent += console.sent(), sent.filter("17f873f0: 21").size() == 1));
        QCOMPARE(sent.filter("17f873f0"), (QStringList{"17f873f0: 100a" + c.message.left(12),
                                              "17f873f0: 21" + c.message.mid(12) + "aaaaaa"}.mid(0, continued ? 2 : 1)));
        QCOMPARE((QStringList{ui(console).pressure3->text(), ui(console).pressure4->text(),
                              ui(console).pressure5->text(), ui(console).pressure6->text()}.join('|')), c.factors);
        QCOMPARE(ui(console).statusBar->currentMessage(), c.status.arg(path));
        if (c.record.isEmpty())
            return;
        console.window.reset();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // The time is the run's; its form is checked as it is taken out.
        QCOMPARE(QString::fromUtf8(file.readAll()).remove(QRegularExpression(QStringLiteral("(?m)^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d,"))),
                 QStringLiteral("Zeit,Kanal,Aktion,Roh1 unbelastet,Roh2 unbelastet,Roh1 belastet,Roh2 belastet,"
                                "sens1Mul,sens1Div,calMul,calDiv,Bytes,Ergebnis,Seriennummer\nCAN 1,") + c.record + QLatin1String(",\n"));
    }

    // Steps: check, uncheck, tick (the resend timer fires), rx <reply>,
    // sent <request>|none, title <suffix>, shown <rows>x<columns> <bytes>,
    // sleep <ms> (time passes, no timer fires), restart (the pause after giving up ends).
    void shouldDownloadTouchpadMatrix_data()
    {
        QTest::addColumn<QStringList>("steps");

        QTest::newRow("2 x 3, late and duplicate replies ignored, restart") << QStringList{
            "check", "sent 2002", "title  (init)", "tick", "sent 2002", "rx 20020203",
            "sent 20030000", "tick", "sent 20030000", "title  (50%)", "rx 2003000001020304",
            "sent 20030101", "rx 2003000001020304", "rx 2003000405060708", "sent none", "rx 200301010506eeee",
            "shown 2x3 010203040506", "sent 2002", "title  (init)"};
        QTest::newRow("unchecked while waiting for the header") << QStringList{
            "check", "uncheck", "title ", "rx 20020203", "sent 2002", "sent none"};
        QTest::newRow("title follows the position") << QStringList{
            "check", "rx 20020303", "sleep 150", "rx 2003000001020304", "title  (66%)"};
        QTest::newRow("given up after 2 s, asked again after a pause") << QStringList{
            "check", "rx 20020303", "sent 2002", "sent 20030000", "sleep 1500", "tick", "sent 20030000",
            "rx 2003000001020304", "sent 20030101", "sleep 1500", "tick", "sent 20030101", "sleep 600", "tick",
            "sent none", "title ", "restart", "sent 2002", "title  (init)"};
        QTest::newRow("given up unticked, nothing more") << QStringList{
            "check", "rx 20020303", "uncheck", "sleep 2100", "tick", "title ", "restart", "sent 2002",
            "sent 20030000", "sent none"};
    }

    void shouldDownloadTouchpadMatrix()
    {
        QFETCH(QStringList, steps);

        tests::ScriptedConsole console;
        QStringList sent;
        for (const QString &step : steps) {
            const QString verb = step.section(' ', 0, 0);
            const QString arg = step.section(' ', 1);
            sent += console.sent();
            if (verb == "check" || verb == "uncheck") {
                tests::toggle(ui(console).readTPraw, verb == "check");
            } else if (verb == "tick") {
                QVERIFY(QMetaObject::invokeMethod(console.window.get(), "advanceTPRaw"));
            } else if (verb == "sleep") {
                QThread::msleep(arg.toULong());
            } else if (verb == "restart") {
                QVERIFY(QMetaObject::invokeMethod(console.window.get(), "restartTPRaw"));
            } else if (verb == "rx") {
                console.receive(arg.leftJustified(16, '0'));
            } else if (verb == "sent") {
                QCOMPARE(sent.isEmpty() ? "none" : sent.takeFirst(),
                         arg == "none" ? arg : "1bff8300: " + arg.leftJustified(16, '0'));
            } else if (verb == "title") {
                QCOMPARE(ui(console).readTPraw->title(), "Touchpad - Rohdaten" + step.mid(6));
            } else if (verb == "shown") {
                const QStringList size = arg.section(' ', 0, 0).split('x');
                const QByteArray values = QByteArray::fromHex(arg.section(' ', 1).toLatin1());
                QVERIFY(tests::showsMatrix(*ui(console).touchview, size[0].toInt(), size[1].toInt(), values));
            }
        }
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

    // Last, as it stays for the process: Qt's own buttons speak German.
    void shouldSpeakGermanInQtsOwnDialogs()
    {
        QCOMPARE(app::useGerman(), QString());
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(buttons.button(QDialogButtonBox::Save)->text(), QStringLiteral("Speichern"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
