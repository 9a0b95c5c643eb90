#include "app/consolefont.h"
#include "app/mainwindow.h"
#include "monitor/canviewer.h"
#include "monitor/canwindow.h"
#include "sim/korveldevice.h"
#include "sim/simulatorchannel.h"
#include "support/grid.h"
#include "support/scripteddriver.h"
#include "support/startconsole.h"
#include "touchview/touchview.h"
#include "ui_mainwindow.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QResource>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {

QStringList traced;

void collectTrace(QtMsgType, const QMessageLogContext &, const QString &line)
{
    traced << line;
}

// A console on a scripted driver whose channels are named in the list; a
// name ending in "(no CAN)" is a channel that is not CAN-capable.
struct Console
{
    explicit Console(const QStringList &channels = {"CAN 1"}, QDialogButtonBox::StandardButton answer = QDialogButtonBox::Ok,
                     const QString &failingCall = {})
    {
        for (QString name : channels) {
            const bool can = !name.endsWith(QLatin1String("(no CAN)"));
            tests::ScriptedChannel *channel = driver.addScriptedChannel(name, can);
            if (can && !bus)
                bus = channel;
        }
        if (!failingCall.isEmpty())
            driver.failCall(failingCall, XL_ERR_HW_NOT_PRESENT);

        window = tests::startConsole(answer, &messageBox);
    }

    ~Console() { window->close(); }

    void receive(const QString &hex, quint32 id = 0x1BFF8301, bool extended = true, quint16 flags = 0)
    {
        bus->inject(xl::receivedEvent(id, extended, QByteArray::fromHex(hex.toLatin1()), flags));
        // The console's own timers stay out of it, however slow the machine:
        // the tests fire them by calling their slots.
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
    }

    // The frames put on the bus since the last call, as "<id>: <data>".
    QStringList sent()
    {
        QStringList frames;
        for (const QByteArray &event : std::as_const(bus->written)) {
            const quint32 id = qFromLittleEndian<quint32>(event.constData() + 16);
            const int dlc = qFromLittleEndian<quint16>(event.constData() + 22);
            frames << QStringLiteral("%1: %2").arg(id & 0x1FFFFFFF, 0, 16)
                          .arg(QString::fromLatin1(event.mid(32, dlc).toHex()));
        }
        bus->written.clear();
        return frames;
    }

    tests::ScriptedDriver driver;
    tests::ScriptedChannel *bus = nullptr;
    QString messageBox;
    std::unique_ptr<MainWindow> window;
};

// The console on the simulated device, the only channel and so row 0.
struct SimulatedConsole
{
    SimulatedConsole()
    {
        auto channel = std::make_unique<sim::SimulatorChannel>();
        device = &channel->device();
        link = &channel->link();
        device->setNoise(false);
        driver.addChannel(std::move(channel));
        xl::Driver::install(&driver);
        window = tests::startConsole(QDialogButtonBox::Ok);
    }

    ~SimulatedConsole() { window->close(); }

    xl::Driver driver;
    sim::KorvelDevice *device = nullptr;
    sim::FaultyLink *link = nullptr;
    std::unique_ptr<MainWindow> window;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    static Ui_MainWindow &ui(const Console &console) { return *console.window->ui; }
    static MainWindow &window(const Console &console) { return *console.window; }

    // The device's go-ahead for a whole message without pause, and the
    // transmitter's pacing tick that sends the consecutive frames.
    static void grantFlowControl(Console &console)
    {
        console.receive(QStringLiteral("3000000000000000"), 0x17FAF073);
        QVERIFY(QMetaObject::invokeMethod(&window(console).isotp, "tick"));
    }

private slots:
    // Checked once a second: frames lost at the channel and at the full
    // receive queue add up, and a bus gone says why.
    void shouldShowLostFramesAndALostBusInTheStatusBar()
    {
        Console console;
        const auto shown = [&](const char *name) {
            const auto *label = console.window->findChild<QLabel *>(QLatin1String(name));
            return label->isHidden() ? QStringLiteral("hidden") : label->text();
        };
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "updateBusStatus"));
        QCOMPARE(shown("lostFrames"), QStringLiteral("hidden"));

        console.bus->injectLoss(5);
        for (int i = 0; i < 4096 + 2; ++i)
            console.bus->inject(xl::receivedEvent(0x100, false, QByteArray(8, '\0')));
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "updateBusStatus"));
        QCOMPARE(shown("lostFrames"), QStringLiteral("7 Frames verworfen"));
        QCOMPARE(shown("busState"), QStringLiteral("hidden"));

        console.bus->injectFailure(QStringLiteral("the hub closed the connection"));
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "updateBusStatus"));
        QCOMPARE(shown("busState"), QStringLiteral("CAN-Kanal getrennt: the hub closed the connection"));
    }

    void shouldOpenPickedChannelOrSayWhy_data()
    {
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("failingCall");
        QTest::addColumn<QString>("messageBox");
        QTest::addColumn<bool>("open");

        const QString failure = QStringLiteral("CAN Fehler|Konnte CAN Kanal nicht aktivieren!");
        QTest::newRow("driver index of the row") << QStringList{"LIN 1 (no CAN)", "CAN 1"} << int(QDialogButtonBox::Ok)
                                                 << QString() << QString() << true;
        QTest::newRow("activation fails") << QStringList{"CAN 1"} << int(QDialogButtonBox::Ok)
                                          << "xlActivateChannel" << failure << false;
        QTest::newRow("no channels") << QStringList{} << int(QDialogButtonBox::Ok) << QString() << failure << false;
        QTest::newRow("cancel") << QStringList{"CAN 1"} << int(QDialogButtonBox::Cancel) << QString() << QString()
                                << false;
    }

    void shouldOpenPickedChannelOrSayWhy()
    {
        QFETCH(QStringList, channels);
        QFETCH(int, answer);
        QFETCH(QString, failingCall);
        QFETCH(QString, messageBox);
        QFETCH(bool, open);

        Console console(channels, QDialogButtonBox::StandardButton(answer), failingCall);
        QCOMPARE(console.messageBox, messageBox);
        QCOMPARE(console.driver.calls.contains(QStringLiteral("xlOpenPort")), open || !failingCall.isEmpty());
        if (console.bus) {
            QVERIFY(QMetaObject::invokeMethod(console.window.get(), "sendNMH"));
            QCOMPARE(console.sent().size(), open ? 1 : 0);
        }
    }

    // Every frame reaches the activity window; only device replies reach the labels.
    void shouldAcceptOnlyDeviceReplies_data()
    {
        QTest::addColumn<QString>("data");
        QTest::addColumn<quint32>("id");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<quint16>("flags");
        QTest::addColumn<QString>("labels");

        QTest::newRow("pressure reply") << "20011234000affff" << 0x1BFF8301u << true << quint16(0) << "4660|10|65535";
        QTest::newRow("own frame, flag not looked at")
            << "20011234000affff" << 0x1BFF8301u << true << quint16(XL_CAN_MSG_FLAG_TX_COMPLETED) << "4660|10|65535";
        QTest::newRow("byte 0 not 0x20") << "21011234000affff" << 0x1BFF8301u << true << quint16(0) << "-|-|-";
        QTest::newRow("dlc 7") << "20011234000aff" << 0x1BFF8301u << true << quint16(0) << "-|-|-";
        QTest::newRow("dlc 9") << "20011234000affff00" << 0x1BFF8301u << true << quint16(0) << "-|-|-";
        QTest::newRow("standard identifier") << "20011234000affff" << 0x301u << false << quint16(0) << "-|-|-";
        QTest::newRow("request identifier") << "20011234000affff" << 0x1BFF8300u << true << quint16(0) << "-|-|-";
        QTest::newRow("header while idle") << "2002020300000000" << 0x1BFF8301u << true << quint16(0) << "-|-|-";
        QTest::newRow("data while idle") << "2003000001020304" << 0x1BFF8301u << true << quint16(0) << "-|-|-";
        QTest::newRow("unknown sub-command") << "20041234000affff" << 0x1BFF8301u << true << quint16(0) << "-|-|-";
    }

    void shouldAcceptOnlyDeviceReplies()
    {
        QFETCH(QString, data);
        QFETCH(quint32, id);
        QFETCH(bool, extended);
        QFETCH(quint16, flags);
        QFETCH(QString, labels);

        Console console;
        ui(console).showCANView->click();
        console.receive(data, id, extended, flags);

        const QString shown = QStringList{ui(console).pressure0->text(), ui(console).pressure1->text(),
                                          ui(console).pressure2->text()}.join(QLatin1Char('|'));
        QCOMPARE(shown, labels);
        QCOMPARE(window(console).tpRawState, int(MainWindow::TPRawIdle));
        auto *list = window(console).canWindow->findChild<CanViewer *>();
        QVERIFY(QMetaObject::invokeMethod(list, "updateList"));
        QCOMPARE(list->topLevelItemCount(), 1);
    }

    void shouldSendNmhAndDiagnosisActivation()
    {
        Console console;
        ui(console).sendNMH->click();
        QVERIFY(window(console).nmhTimer.isActive());
        QCOMPARE(window(console).nmhTimer.interval(), 100);
        QVERIFY(console.sent().isEmpty());
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "sendNMH"));
        QCOMPARE(console.sent(), QStringList{"1b000073: 7300040108000100"});
        ui(console).sendNMH->click();
        QVERIFY(!window(console).nmhTimer.isActive());

        ui(console).activateTPDiag->click();
        QCOMPARE(console.sent(), QStringList{"17f873f0: 06c80111042020aa"});
    }

    void shouldPollPressureWhileSwitchedOn()
    {
        Console console;
        tests::toggle(ui(console).readPressureSensors, true);
        QCOMPARE(window(console).pressureTimer.interval(), 50);
        QVERIFY(QMetaObject::invokeMethod(console.window.get(), "requestPressureSensorRawData"));
        QCOMPARE(console.sent(), QStringList{"1bff8300: 2001000000000000"});
        console.receive(QStringLiteral("2001000102030405"));
        ui(console).pressureUnstressed->click();
        QCOMPARE(ui(console).pressure1->text(), QStringLiteral("515"));

        tests::toggle(ui(console).readPressureSensors, false);
        QVERIFY(!window(console).pressureTimer.isActive());
        for (const QLabel *label : ui(console).readPressureSensors->findChildren<QLabel *>(QRegularExpression("pressure")))
            QCOMPARE(label->text(), QStringLiteral("-"));
        // A late reply still shows.
        console.receive(QStringLiteral("2001000700080009"));
        QCOMPARE(ui(console).pressure2->text(), QStringLiteral("9"));
    }

    // Snapshots as raw1/raw2; no unloaded snapshot means neither button was pressed.
    void shouldComputeAndSaveCalibration_data()
    {
        QTest::addColumn<QString>("unloaded");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QString>("factors");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QStringList>("trace");

        QTest::newRow("1000/1000 to 2000/1800") << "1000/1000" << "2000/1800" << "200|250|156|4" << "c8fa9c04"
            << QStringList{"-> 200.000000 / 200.000000  l/r", "-> 4.882813 / 156.250000  cal (800)"};
        QTest::newRow("100/100 to 150/160") << "100/100" << "150/160" << "60|50|187|78" << "3c32bb4e"
            << QStringList{"-> 60.000000 / 60.000000  l/r", "-> 78.125000 / 187.500000  cal (60)"};
        QTest::newRow("equal snapshots") << "700/700" << "700/700" << "1|1|1|156" << "0101019c" << QStringList{};
        QTest::newRow("deltas of 1") << "700/700" << "701/701" << "1|1|6|156" << "0101069c" << QStringList{};
        QTest::newRow("largest deltas") << "0/0" << "65535/65535" << "255|255|199|1" << "ffffc701" << QStringList{};
        QTest::newRow("negative delta") << "500/500" << "400/700" << "200|65436|156|19" << "c89c9c13" << QStringList{};
        QTest::newRow("only unloaded") << "1000/1000" << QString() << "65286|65286|65341|4" << "06063d04"
                                       << QStringList{};
        QTest::newRow("save before calibrating") << QString() << QString() << "-|-|-|-" << "01010101" << QStringList{};
    }

    void shouldComputeAndSaveCalibration()
    {
        QFETCH(QString, unloaded);
        QFETCH(QString, loaded);
        QFETCH(QString, factors);
        QFETCH(QString, bytes);
        QFETCH(QStringList, trace);

        Console console;
        tests::toggle(ui(console).readPressureSensors, true);
        traced.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectTrace);
        const auto snapshot = [&](const QString &raw, QPushButton *button) {
            const QStringList values = raw.split(QLatin1Char('/'));
            console.receive(QStringLiteral("20010000%1%2").arg(values[0].toUInt(), 4, 16, QLatin1Char('0'))
                                .arg(values[1].toUInt(), 4, 16, QLatin1Char('0')));
            button->click();
        };
        if (!unloaded.isEmpty())
            snapshot(unloaded, ui(console).pressureUnstressed);
        if (!loaded.isEmpty())
            snapshot(loaded, ui(console).pressureStressed);
        qInstallMessageHandler(previous);

        const QString shown = QStringList{ui(console).pressure3->text(), ui(console).pressure4->text(),
                                          ui(console).pressure5->text(), ui(console).pressure6->text()}.join('|');
        QCOMPARE(shown, factors);
        if (!trace.isEmpty())
            QCOMPARE(traced.filter(QStringLiteral("-> ")).mid(2), trace);

        console.sent();
        ui(console).pressureCalibSave->click();
        grantFlowControl(console);
        QCOMPARE(console.sent(), (QStringList{"17f873f0: 100ac8021110321e", "17f873f0: 21" + bytes + "aaaaaa"}));
    }

    void shouldResetCalibrationWithoutTouchingFactors()
    {
        Console console;
        tests::toggle(ui(console).readPressureSensors, true);
        ui(console).pressureUnstressed->click();
        ui(console).pressureReset->click();
        grantFlowControl(console);
        QCOMPARE(console.sent(), (QStringList{"17f873f0: 100ac8021110ff00", "17f873f0: 2101010101aaaaaa"}));
        QCOMPARE(ui(console).pressure6->text(), QStringLiteral("156"));
    }

    // Steps: check, uncheck, tick (the resend timer fires), rx <reply>,
    // sent <request>|none, title <suffix>, timer <ms>|off, shown <rows>x<columns> <bytes>.
    void shouldDownloadTouchpadMatrix_data()
    {
        QTest::addColumn<QStringList>("steps");

        QTest::newRow("2 x 3, late and duplicate replies ignored, restart") << QStringList{
            "check", "sent 2002", "title  (init)", "timer 50", "tick", "sent 2002", "rx 20020203",
            "sent 20030000", "timer 30", "tick", "sent 20030000", "title  (50%)", "rx 2003000001020304",
            "sent 20030101", "rx 2003000001020304", "rx 2003000405060708", "sent none", "rx 200301010506eeee",
            "shown 2x3 010203040506", "sent 2002", "title  (init)", "timer 50"};
        QTest::newRow("2 x 2 needs the closing exchange") << QStringList{
            "check", "rx 20020202", "rx 2003000001020304", "sent 2002", "sent 20030000", "sent 20030200",
            "tick", "title  (100%)", "rx 20030200eeeeeeee", "shown 2x2 01020304"};
        QTest::newRow("0 rows") << QStringList{
            "check", "rx 20020005", "tick", "title  (100%)", "rx 20030000eeeeeeee", "shown 0x5 "};
        QTest::newRow("unchecked while waiting for the header") << QStringList{
            "check", "uncheck", "title ", "timer off", "rx 20020203", "sent 2002", "sent none"};
        QTest::newRow("unchecked during a download") << QStringList{
            "check", "rx 20020102", "uncheck", "rx 2003000001020304", "shown 1x2 0102", "title ",
            "timer off", "sent 2002", "sent 20030000", "sent none"};
        QTest::newRow("checked again during a download") << QStringList{
            "check", "rx 20020102", "uncheck", "check", "sent 2002", "sent 20030000", "sent none",
            "rx 2003000001020304", "shown 1x2 0102", "sent 2002", "title  (init)"};
    }

    void shouldDownloadTouchpadMatrix()
    {
        QFETCH(QStringList, steps);

        Console console;
        MainWindow &console_ = window(console);
        QStringList sent;
        for (const QString &step : steps) {
            const QString verb = step.section(QLatin1Char(' '), 0, 0);
            const QString arg = step.section(QLatin1Char(' '), 1);
            sent += console.sent();
            if (verb == QLatin1String("check") || verb == QLatin1String("uncheck")) {
                tests::toggle(ui(console).readTPraw, verb == QLatin1String("check"));
            } else if (verb == QLatin1String("tick")) {
                QVERIFY(QMetaObject::invokeMethod(&console_, "advanceTPRaw"));
            } else if (verb == QLatin1String("rx")) {
                console.receive(arg.leftJustified(16, QLatin1Char('0')));
            } else if (verb == QLatin1String("sent")) {
                QVERIFY2(arg == QLatin1String("none") ? sent.isEmpty() : !sent.isEmpty(), qPrintable(step));
                if (arg != QLatin1String("none"))
                    QCOMPARE(sent.takeFirst(), "1bff8300: " + arg.leftJustified(16, QLatin1Char('0')));
            } else if (verb == QLatin1String("title")) {
                QCOMPARE(ui(console).readTPraw->title(), QStringLiteral("Touchpad - Rohdaten") + step.mid(6));
            } else if (verb == QLatin1String("timer")) {
                QCOMPARE(console_.tpRawTimer.isActive() ? QString::number(console_.tpRawTimer.interval())
                                                        : QStringLiteral("off"), arg);
            } else if (verb == QLatin1String("shown")) {
                const QStringList size = arg.section(QLatin1Char(' '), 0, 0).split(QLatin1Char('x'));
                QVERIFY(tests::showsMatrix(*ui(console).touchview, size[0].toInt(), size[1].toInt(),
                                    QByteArray::fromHex(arg.section(' ', 1).toLatin1())));
                QCOMPARE(console_.tpRawData.toHex(), arg.section(' ', 1).toLatin1());
            }
        }
    }

    void shouldOpenAndCloseActivityWindow()
    {
        Console console;
        QPushButton *button = ui(console).showCANView;
        QCOMPARE(button->text(), QStringLiteral("Zeige CAN Aktivität"));
        button->click();
        QPointer<CANWindow> first = window(console).canWindow;
        QVERIFY(first && first->isVisible());
        button->click();
        QVERIFY(!first && !window(console).canWindow && !button->isChecked());

        // Closed by its own close button: it deletes itself and the button follows.
        button->click();
        QPointer<CANWindow> second = window(console).canWindow;
        second->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!second && !window(console).canWindow && !button->isChecked());

        button->click();
        QPointer<CANWindow> third = window(console).canWindow;
        console.window->close();
        QVERIFY(!third);
    }

    void shouldDownloadTheDevicesSnapshot_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");

        QTest::newRow("2 x 3") << 2 << 3;
        QTest::newRow("2 x 2") << 2 << 2;
        QTest::newRow("0 rows") << 0 << 5;
        QTest::newRow("14 x 24") << 14 << 24;
        QTest::newRow("255 x 255") << 255 << 255;
    }

    void shouldDownloadTheDevicesSnapshot()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);

        SimulatedConsole console;
        MainWindow &window = *console.window;
        console.device->setMatrixSize(rows, columns);
        tests::toggle(window.ui->readTPraw, true);
        QTRY_COMPARE(window.tpRawState, int(MainWindow::TPRawDownload));
        // Unchecked, the download runs to its end and no new copy is asked for.
        tests::toggle(window.ui->readTPraw, false);
        QTRY_COMPARE_WITH_TIMEOUT(window.tpRawState, int(MainWindow::TPRawIdle), 120000);

        QCOMPARE(window.tpRawRows, rows);
        QCOMPARE(window.tpRawCols, columns);
        QCOMPARE(window.tpRawData, console.device->snapshot());
        QVERIFY(tests::showsMatrix(*window.ui->touchview, rows, columns, console.device->snapshot()));
    }

    void shouldCalibrateTheDevice()
    {
        SimulatedConsole console;
        Ui_MainWindow &form = *console.window->ui;
        const auto showsPressure = [&] {
            const auto values = console.device->pressureValues();
            return form.pressure0->text() == QString::number(values[0])
                && form.pressure1->text() == QString::number(values[1])
                && form.pressure2->text() == QString::number(values[2]);
        };
        tests::toggle(form.readPressureSensors, true);
        console.device->holdForce(0);
        QTRY_VERIFY(showsPressure());
        form.pressureUnstressed->click();
        console.device->holdForce(5);
        QTRY_VERIFY(showsPressure());
        const quint16 uncalibrated = console.device->pressureValues()[0];
        form.pressureStressed->click();
        form.pressureCalibSave->click();

        const auto stored = [&] {
            const sim::Calibration factors = console.device->calibration();
            return QStringList{QString::number(factors.sens1Mul), QString::number(factors.sens1Div),
                               QString::number(factors.calMul), QString::number(factors.calDiv)};
        };
        const auto lowByte = [](const QLabel *label) { return QString::number(label->text().toUInt() & 0xFF); };
        QTRY_COMPARE(stored(), (QStringList{lowByte(form.pressure3), lowByte(form.pressure4),
                                            lowByte(form.pressure5), lowByte(form.pressure6)}));
        const quint16 calibrated = console.device->pressureValues()[0];
        QVERIFY2(qAbs(calibrated - 5000) < qAbs(uncalibrated - 5000),
                 qPrintable(QStringLiteral("%1 -> %2 mN").arg(uncalibrated).arg(calibrated)));

        form.activateTPDiag->click();
        QTRY_COMPARE(console.device->receivedMessages().constLast(), QByteArray::fromHex("c80111042020"));
    }

    // Requests and replies get lost, replies doubled and delayed: each download
    // still ends with exactly the matrix the device froze for it.
    void shouldDownloadExactSnapshotsOnAFaultyBus()
    {
        SimulatedConsole console;
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
            tests::toggle(window.ui->readTPraw, false);
            QTRY_COMPARE_WITH_TIMEOUT(window.tpRawState, int(MainWindow::TPRawIdle), 30000);
            QCOMPARE(window.tpRawData, console.device->snapshot());
        }
    }

    void shouldResumeDownloadWhenTheDeviceAnswersAgain()
    {
        SimulatedConsole console;
        MainWindow &window = *console.window;
        console.device->setMatrixSize(6, 8);
        console.link->setLatency(10);
        tests::toggle(window.ui->readTPraw, true);
        QTRY_VERIFY(window.tpRawState == MainWindow::TPRawDownload && window.tpRawRow > 0);
        console.link->setDropRate(1);
        tests::toggle(window.ui->readTPraw, false);
        QTest::qWait(300);
        QCOMPARE(window.tpRawState, int(MainWindow::TPRawDownload));
        console.link->setDropRate(0);
        QTRY_COMPARE(window.tpRawState, int(MainWindow::TPRawIdle));
        QCOMPARE(window.tpRawData, console.device->snapshot());
    }

    void shouldKeepPressureValuesWhileRepliesAreMissing()
    {
        SimulatedConsole console;
        Ui_MainWindow &form = *console.window->ui;
        const auto shown = [&] { return QStringList{form.pressure0->text(), form.pressure1->text(), form.pressure2->text()}; };
        const auto values = [&] {
            const auto raw = console.device->pressureValues();
            return QStringList{QString::number(raw[0]), QString::number(raw[1]), QString::number(raw[2])};
        };
        console.device->holdForce(2);
        tests::toggle(form.readPressureSensors, true);
        QTRY_COMPARE(shown(), values());
        const QStringList last = shown();
        console.link->setDropRate(1);
        console.device->holdForce(4);
        QTest::qWait(300);
        QCOMPARE(shown(), last);
        console.link->setDropRate(0);
        QTRY_COMPARE(shown(), values());
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

        SimulatedConsole console;
        Ui_MainWindow &form = *console.window->ui;
        console.device->setFlowControl(quint8(blockSize), quint8(stMin));
        console.link->setDropRate(lost ? 1 : 0);
        form.showCANView->click();
        tests::toggle(form.readPressureSensors, true);
        traced.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectTrace);
        form.pressureReset->click();
        form.activateTPDiag->click();
        QTRY_VERIFY(traced.count(QStringLiteral("TX 17f873f0  8: 10 0a c8 02 11 10 ff 00")) >= (lost ? 3 : 1));
        console.link->setDropRate(0);
        QTRY_COMPARE(console.device->receivedMessages(),
                     (QList<QByteArray>{QByteArray::fromHex("c8021110ff0001010101"), QByteArray::fromHex("c80111042020")}));
        qInstallMessageHandler(previous);
    }

    void shouldReportOverflowAndSendNextMessage()
    {
        Console console;
        tests::toggle(ui(console).readPressureSensors, true);
        ui(console).pressureReset->click();
        ui(console).activateTPDiag->click();
        QCOMPARE(console.sent(), QStringList{"17f873f0: 100ac8021110ff00"});
        console.receive("3200000000000000", 0x17FAF073);
        QCOMPARE(console.sent().filter(QStringLiteral("17f873f0")), QStringList{"17f873f0: 06c80111042020aa"});
        QCOMPARE(ui(console).statusBar->currentMessage(), QStringLiteral("Übertragung an das Gerät abgebrochen"));
    }

    void shouldShowActivityInTheConsoleFont()
    {
        QCOMPARE(QResource(QStringLiteral(":/SmoothTTF.ttf")).compressionAlgorithm(), QResource::NoCompression);
        QVERIFY(!QFontDatabase::families().contains(QStringLiteral("SmoothTTF")));
        registerConsoleFont();
        QVERIFY(QFontDatabase::families().contains(QStringLiteral("SmoothTTF")));

        CanViewer list;
        VectorCAN::Message msg;
        list.handleMsg(msg);
        QVERIFY(QMetaObject::invokeMethod(&list, "updateList"));
        QCOMPARE(QFontInfo(list.topLevelItem(0)->font(CanViewer::DataColumn)).family(), QStringLiteral("SmoothTTF"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
