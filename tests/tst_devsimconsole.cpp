#include "app/mainwindow.h"
#include "support/grid.h"
#include "support/startconsole.h"
#include "app/systemdriver.h"

#include <QProcess>
#include <QtTest>

// The console in this process and korvel-devsim in another, meeting on a
// virtual bus of their own, as a user sets them up in two windows.
class TestDevSimConsole : public QObject
{
    Q_OBJECT

    QProcess devsim;
    QStringList printed;  // korvel-devsim's lines so far

    // Takes what korvel-devsim printed since the last call.
    void readPrinted()
    {
        while (devsim.canReadLine())
            printed << QString::fromLatin1(devsim.readLine().trimmed());
    }

private slots:
    void initTestCase()
    {
        qputenv("KORVEL_VIRTUALCAN_PORT", QByteArray::number(30000 + QCoreApplication::applicationPid() % 10000));
    }

    void shouldWorkWithTheDeviceInAnotherProcess()
    {
        app::SystemDriver driver;
        QString messageBox;
        const std::unique_ptr<MainWindow> console = tests::startConsole(QDialogButtonBox::Ok, &messageBox,
                                                                 QStringLiteral("virtualcan can0"));
        QVERIFY2(messageBox.isEmpty(), qPrintable(messageBox));
        devsim.start(QStringLiteral(KORVEL_DEVSIM), {"--rows", "3", "--columns", "5", "--show-matrix"});
        QTRY_VERIFY_WITH_TIMEOUT((readPrinted(), !printed.isEmpty()), 10000);
        QVERIFY2(printed.constFirst().startsWith("korvel-devsim on virtualcan"), qPrintable(printed.constFirst()));

        // Every matrix the grid shows is one the device served.
        tests::toggle(console->findChild<QGroupBox *>("readTPraw"), true);
        const auto showsServedMatrix = [&] {
            readPrinted();
            for (const QString &line : std::as_const(printed).filter(QStringLiteral("snapshot 3 x 5 served: "))) {
                if (tests::showsMatrix(*console->findChild<QWidget *>("touchview"), 3, 5, QByteArray::fromHex(line.section(QLatin1String(": "), 1).toLatin1())))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(showsServedMatrix(), 20000);
        devsim.terminate();
        QVERIFY(devsim.waitForFinished(10000));
        QCOMPARE(devsim.exitCode(), 0);
        console->close();
    }
};

QTEST_MAIN(TestDevSimConsole)
#include "tst_devsimconsole.moc"
