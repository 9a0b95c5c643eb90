#include "app/devicedata.h"
#include "app/keptsettings.h"
#include "monitor/canwindow.h"
#include "monitor/pressurechart.h"
#include "support/startconsole.h"

#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

// What the console keeps from one run to the next, in a settings file of the
// test's own: each console a new window on the same file, as a new start.
class TestKeptSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("korvel-console.ini")); }

private slots:
    // Nothing kept that does not fit keeps the console from starting: it
    // starts at its own size, and leaves a file it can read the next time.
    // Then size, place and the windows open come back; windows closed stay
    // closed; a window kept off the screens, as on one gone since, comes back
    // on the one there is.
    void shouldKeepWindowsOverARestart_data()
    {
        QTest::addColumn<QByteArray>("content");  // the file the first start finds
        QTest::addColumn<bool>("activity");
        QTest::addColumn<bool>("chart");

        QTest::newRow("empty, both open") << QByteArray() << true << true;
        QTest::newRow("binary, none open") << QByteArray("\x00\xff[[\x01\n=\n\x80", 9) << false << false;
        QTest::newRow("geometry no geometry, the chart alone")
            << QByteArray("[console]\ngeometry=12345\nopen=maybe\n") << false << true;
        QTest::newRow("geometry cut short, both open")
            << QByteArray("[console]\ngeometry=@ByteArray(\\x1\\xd9\\xd0\\xcb\\0\\x3)\n") << true << true;
        QTest::newRow("a folder gone, none open")
            << QByteArray("[folders]\nrecordings=/no/such/folder\nexports=/no/such/folder\n") << false << false;
    }

    void shouldKeepWindowsOverARestart()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, activity);
        QFETCH(bool, chart);

        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QRect placed;
        {
            QFile file(path());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
            file.close();
            app::KeptSettings kept(path());
            tests::ScriptedConsole console;
            const QSize standard = console.window->size();
            QVERIFY(!kept.restore(*console.window, app::KeptSettings::Window::Main));
            QCOMPARE(kept.folder(app::KeptSettings::Folder::Recordings), QString());
            console.window->keepSettings(kept);
            QCOMPARE(console.window->size(), standard);
            console.window->setGeometry(60, 50, 1100, 640);
            placed = console.window->geometry();
            if (activity)
                console.window->findChild<QPushButton *>(QStringLiteral("showCANView"))->click();
            console.window->deviceData().showPressureChart();
            auto *shownChart = console.window->findChild<PressureChart *>();
            shownChart->setGeometry(screen.right() + 2000, screen.bottom() + 1000, 640, 380);
            if (!chart)
                shownChart->close();
            console.window->close();
        }
        app::KeptSettings kept(path());
        QCOMPARE(kept.problem(), QString());
        tests::ScriptedConsole console;
        console.window->keepSettings(kept);
        QCOMPARE(console.window->geometry(), placed);
        QCoreApplication::processEvents();  // the windows open once the console is shown
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto isActivity = [](QWidget *w) { return qobject_cast<CANWindow *>(w) && w->isVisible(); };
        QCOMPARE(std::count_if(windows.begin(), windows.end(), isActivity), activity ? 1 : 0);
        const auto *shownChart = console.window->findChild<PressureChart *>();
        QCOMPARE(shownChart && shownChart->isVisible(), chart);
        if (chart)  // at its size, and on the screen there is
            QVERIFY(shownChart->size() == QSize(640, 380) && screen.contains(shownChart->geometry()));
    }
};

QTEST_MAIN(TestKeptSettings)
#include "tst_keptsettings.moc"
