#include "app/calibrationrecord.h"
#include "app/mainwindow.h"
#include "support/startconsole.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

// Every calibration written into a device leaves one line in the record,
// with the outcome of its transfer.
class TestCalibrationRecord : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(path());
        QDir(path()).removeRecursively();
    }

    // Steps after the button: "continue" (flow control and the last frame),
    // "overflow" from the device, or nothing before the console ends.
    void shouldRecordEachCalibration_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("line");  // after the time; empty: no file

        const QString save = QStringLiteral("pressureCalibSave");
        const QString reset = QStringLiteral("pressureReset");
        QTest::newRow("save") << save << "continue" << true
            << "CAN 1,speichern,1000,1000,2000,1800,200,250,156,4,C8 02 11 10 32 1E C8 FA 9C 04,gesendet";
        QTest::newRow("reset") << reset << "continue" << true
            << "CAN 1,zurücksetzen,1000,1000,2000,1800,1,1,1,1,C8 02 11 10 FF 00 01 01 01 01,gesendet";
        QTest::newRow("overflow from the device") << save << "overflow" << true
            << "CAN 1,speichern,1000,1000,2000,1800,200,250,156,4,C8 02 11 10 32 1E C8 FA 9C 04,abgebrochen";
        QTest::newRow("console ended first") << reset << QString() << true
            << "CAN 1,zurücksetzen,1000,1000,2000,1800,1,1,1,1,C8 02 11 10 FF 00 01 01 01 01,ausstehend";
        QTest::newRow("unwritable") << save << "continue" << false << QString();
    }

    void shouldRecordEachCalibration()
    {
        QFETCH(QString, button);
        QFETCH(QString, reply);
        QFETCH(bool, writable);
        QFETCH(QString, line);

        if (!writable)
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
            if (reply == QLatin1String("continue")) {
                console.receive(QStringLiteral("3000000000000000"), 0x17FAF073);
                QVERIFY(QMetaObject::invokeMethod(&window.isotp, "tick"));
                // The calibration reaches the device whether recorded or not.
                QCOMPARE(console.sent().filter(QStringLiteral("17f873f0: 21")).size(), 1);
            } else if (reply == QLatin1String("overflow")) {
                console.receive(QStringLiteral("3200000000000000"), 0x17FAF073);
            }
            if (!writable) {
                QCOMPARE(window.ui->statusBar->currentMessage(),
                         QStringLiteral("Kalibrierprotokoll %1 nicht geschrieben: Is a directory").arg(path()));
                return;
            }
        }

        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("Zeit,Kanal,Aktion,Roh1 unbelastet,Roh2 unbelastet,Roh1 belastet,Roh2 belastet,"
                                          "sens1Mul,sens1Div,calMul,calDiv,Bytes,Ergebnis"));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d,")).match(lines[1]).hasMatch(),
                 qPrintable(lines[1]));
        QCOMPARE(lines[1].mid(20), line);
        QCOMPARE(lines[2], QString());
    }

private:
    static QString path() { return app::CalibrationRecord::standardPath(); }
};

QTEST_MAIN(TestCalibrationRecord)
#include "tst_calibrationrecord.moc"
