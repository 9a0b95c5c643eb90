#include "support/grid.h"
#include "touchview/touchview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The bytes of a 2 × 3 matrix and of a reference to it; shown doubled, the
// differences are 0, +20, -510 / 0, +510, -128.
const QByteArray matrix("\x00\x6E\x00\x32\xFF\x00", 6);
const QByteArray reference("\x00\x64\xFF\x32\x00\x40", 6);

// The edges of outlined numbers differ by a few levels between two drawings;
// a wrong colour or number differs by far more.
constexpr int antiAliasingLevels = 32;

} // namespace

// The grid's matrix saved, copied and compared with a reference kept.
class TestTouchviewExport : public QObject
{
    Q_OBJECT

private slots:
    void shouldExportWhatItShows_data()
    {
        QTest::addColumn<QString>("target");  // a file name, or the clipboard
        QTest::addColumn<bool>("difference");
        QTest::addColumn<QString>("expected");  // the text written; empty for an image

        QTest::newRow("CSV") << "matrix.csv" << false << "0,220,0\n100,510,0\n";
        QTest::newRow("CSV of the difference") << "matrix.CSV" << true << "0,+20,-510\n0,+510,-128\n";
        QTest::newRow("clipboard") << QString() << false << "0\t220\t0\n100\t510\t0\n";
        QTest::newRow("PNG") << "matrix.png" << false << QString();
        QTest::newRow("PNG of the difference") << "matrix.png" << true << QString();
    }

    void shouldExportWhatItShows()
    {
        QFETCH(QString, target);
        QFETCH(bool, difference);
        QFETCH(QString, expected);

        Touchview view;
        view.resize(150, 70);
        view.setData(2, 3, reference);
        view.keepReference();
        view.setData(2, 3, matrix);
        view.setDifference(difference);
        if (target.isEmpty()) {
            view.copy();
            QCOMPARE(QGuiApplication::clipboard()->text(), expected);
            return;
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(target);
        QString error;
        QVERIFY(view.save(path, &error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (!expected.isEmpty()) {
            QCOMPARE(file.readAll(), expected.toUtf8());
            return;
        }
        const QImage saved = QImage::fromData(file.readAll(), "PNG").convertToFormat(QImage::Format_RGB32);
        QCOMPARE(saved, tests::render(view));
        const QImage painted = difference ? tests::paintDifferenceReference(2, 3, matrix, reference, view.size())
                                          : tests::paintReference(2, 3, matrix, view.size());
        QVERIFY(tests::largestDifference(saved, painted, saved.rect()) <= antiAliasingLevels);
    }

    void shouldSayWhyAFileCannotBeWritten()
    {
        Touchview view;
        view.setData(2, 3, matrix);
        QString error;
        QVERIFY(!view.save(QStringLiteral("/nonexistent/matrix.csv"), &error));
        QVERIFY(!error.isEmpty());
    }

    // Off by default; a reference of another size leaves the grid as it is.
    void shouldPaintDifferenceOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("difference");
        QTest::addColumn<int>("referenceRows");
        QTest::addColumn<bool>("shown");

        QTest::newRow("on") << true << 2 << true;
        QTest::newRow("kept, not asked") << false << 2 << false;
        QTest::newRow("reference of 3 x 2") << true << 3 << false;
    }

    void shouldPaintDifferenceOnlyWhenAsked()
    {
        QFETCH(bool, difference);
        QFETCH(int, referenceRows);
        QFETCH(bool, shown);

        Touchview view;
        view.resize(150, 70);
        view.setData(referenceRows, 6 / referenceRows, reference);
        view.keepReference();
        view.setData(2, 3, matrix);
        view.setDifference(difference);
        const QImage expected = shown ? tests::paintDifferenceReference(2, 3, matrix, reference, view.size())
                                      : tests::paintReference(2, 3, matrix, view.size());
        const QImage painted = tests::render(view);
        QVERIFY(tests::largestDifference(painted, expected, painted.rect()) <= antiAliasingLevels);
    }
};

QTEST_MAIN(TestTouchviewExport)
#include "tst_touchviewexport.moc"
