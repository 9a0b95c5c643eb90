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

    static void write(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

private slots:
    void init() { QFile::remove(path()); }

    // Size, place and the windows open come back; windows closed stay closed.
    void shouldKeepWindowsOverARestart_data()
    {
        QTest::addColumn<bool>("activity");
        QTest::addColumn<bool>("chart");

        QTest::newRow("both open") << true << true;
        QTest::newRow("none open") << false << false;
        QTest::newRow("the chart alone") << false << true;
    }

    void shouldKeepWindowsOverARestart()
    {
        QFETCH(bool, activity);
        QFETCH(bool, chart);

        QRect placed;
        QSize chartSize(640, 380);
        {
            app::KeptSettings kept(path());
            tests::ScriptedConsole console;
            console.window->keepSettings(kept);
            console.window->setGeometry(60, 50, 1100, 640);
            placed = console.window->geometry();
            if (activity)
                console.window->findChild<QPushButton *>(QStringLiteral("showCANView"))->click();
            QVERIFY(QMetaObject::invokeMethod(console.window.get(), "showPressureChart"));
            auto *shownChart = console.window->findChild<PressureChart *>();
            shownChart->resize(chartSize);
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
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget *w) { return qobject_cast<CANWindow *>(w) && w->isVisible(); }),
                 activity ? 1 : 0);
        auto *shownChart = console.window->findChild<PressureChart *>();
        QCOMPARE(shownChart && shownChart->isVisible(), chart);
        if (chart)
            QCOMPARE(shownChart->size(), chartSize);
    }

    // Nothing kept that does not fit keeps the console from starting: it
    // starts at its own size, and leaves a file it can read the next time.
    void shouldStartOverWhatDoesNotFit_data()
    {
        QTest::addColumn<QByteArray>("content");

        QTest::newRow("binary") << QByteArray("\x00\xff[[\x01\n=\n\x80", 9);
        QTest::newRow("geometry no geometry") << QByteArray("[console]\ngeometry=12345\nopen=maybe\n");
        QTest::newRow("geometry cut short") << QByteArray("[console]\ngeometry=@ByteArray(\\x1\\xd9\\xd0\\xcb\\0\\x3)\n");
        QTest::newRow("a folder gone") << QByteArray("[folders]\nrecordings=/no/such/folder\nexports=/no/such/folder\n");
    }

    void shouldStartOverWhatDoesNotFit()
    {
        QFETCH(QByteArray, content);

        write(path(), content);
        {
            app::KeptSettings kept(path());
            tests::ScriptedConsole console;
            const QSize standard = console.window->size();
            QVERIFY(!kept.restore(*console.window, app::KeptSettings::Window::Main));
            QCOMPARE(kept.folder(app::KeptSettings::Folder::Recordings), QString());
            console.window->keepSettings(kept);
            QCOMPARE(console.window->size(), standard);
            console.window->resize(1000, 600);
            console.window->close();
        }
        app::KeptSettings kept(path());
        tests::ScriptedConsole console;
        QVERIFY(kept.restore(*console.window, app::KeptSettings::Window::Main));
        QCOMPARE(console.window->size(), QSize(1000, 600));
    }

    // A window kept on a screen that has gone since comes back on the one there is.
    void shouldPlaceAWindowOffTheScreensOnOne()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        {
            app::KeptSettings kept(path());
            QWidget window;
            window.setGeometry(screen.right() + 2000, screen.bottom() + 1000, 300, 200);
            kept.keep(window, app::KeptSettings::Window::Chart);
        }
        app::KeptSettings kept(path());
        QWidget window;
        QVERIFY(kept.restore(window, app::KeptSettings::Window::Chart));
        QVERIFY2(screen.contains(window.geometry()), qPrintable(QStringLiteral("%1,%2").arg(window.x()).arg(window.y())));
    }
};

QTEST_MAIN(TestKeptSettings)
#include "tst_keptsettings.moc"
