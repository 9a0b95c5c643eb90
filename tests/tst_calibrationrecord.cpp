#include "app/calibrationrecord.h"
#include "app/mainwindow.h"
#include "support/startconsole.h"
#include "ui_mainwindow.h"

#include <QtTest>

// Every calibration written into a device leaves one line in the record,
// with the outcome of its transfer.
class TestCalibrationRecord : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // On a fresh machine not even the record's folder is there.
        QStandardPaths::setTestModeEnabled(true);
        QDir(QFileInfo(path()).absolutePath()).removeRecursively();
    }

    // The device's flow control after the button: continue (and the last
    // frame sent), overflow, or none before the console ends.
    void shouldRecordEachCalibration_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("line");  // after the time; empty: the record cannot be written

        const QString values = QStringLiteral("CAN 1,speichern,1000,1000,2000,1800,200,250,156,4,C8 02 11 10 32 1E C8 FA 9C 04,");
        const QString resetValues = QStringLiteral("CAN 1,zurücksetzen,1000,1000,2000,1800,1,1,1,1,C8 02 11 10 FF 00 01 01 01 01,");
        const QString save = QStringLiteral("pressureCalibSave");
        const QString reset = QStringLiteral("pressureReset");
        QTest::newRow("save") << save << "3000000000000000" << values + "gesendet";
        QTest::newRow("reset") << reset << "3000000000000000" << resetValues + "gesendet";
        QTest::newRow("overflow from the device") << save << "3200000000000000" << values + "abgebrochen";
        QTest::newRow("console ended first") << reset << QString() << resetValues + "ausstehend";
        QTest::newRow("unwritable") << save << "3000000000000000" << QString();
    }

    void shouldRecordEachCalibration()
    {
        QFETCH(QString, button);
        QFETCH(QString, reply);
        QFETCH(QString, line);

        if (line.isEmpty())
            QVERIFY(QDir().mkpath(path()));
        {
            tests::ScriptedConsole console;
            MainWindow &window = *console.window;
            tests::toggle(window.ui->readPressureSensors, true);
            console.receive(QStringLiteral("2001000003e803e8"));
            window.ui->pressureUnstressed->click();
            console.receive(QStringLiteral("2001000007d00708"));
            window.ui->pressureStressed->click();
            console.sent();
            window.findChild<QPushButton *>(button)->click();
            if (!reply.isEmpty())
                console.receive(reply, 0x17FAF073);
            const bool continued = reply.startsWith(QLatin1String("30"));
            if (continued)
                QVERIFY(QMetaObject::invokeMethod(&window.isotp, "tick"));
            // The calibration reaches the device whether recorded or not, and only on "continue".
            QCOMPARE(console.sent().filter(QStringLiteral("17f873f0: 21")).size(), int(continued));
            if (line.isEmpty()) {
                QCOMPARE(window.ui->statusBar->currentMessage(),
                         QStringLiteral("Kalibrierprotokoll %1 nicht geschrieben: Is a directory").arg(path()));
                return;
            }
        }

        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        // The time is the run's; its form is checked as it is taken out.
        QCOMPARE(QString::fromUtf8(file.readAll()).remove(QRegularExpression(QStringLiteral("(?m)^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d,"))),
                 QStringLiteral("Zeit,Kanal,Aktion,Roh1 unbelastet,Roh2 unbelastet,Roh1 belastet,Roh2 belastet,"
                                "sens1Mul,sens1Div,calMul,calDiv,Bytes,Ergebnis\n") + line + QLatin1Char('\n'));
    }

private:
    static QString path() { return app::CalibrationRecord::standardPath(); }
};

QTEST_MAIN(TestCalibrationRecord)
#include "tst_calibrationrecord.moc"
