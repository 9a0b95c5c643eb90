#include "support/grid.h"
#include "touchview/touchview.h"

#include <QClipboard>
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
    // The PNG is the grid as painted, which shows the difference only when
    // asked and to a reference of the matrix's size.
    void shouldExportWhatItShows_data()
    {
        QTest::addColumn<QString>("target");  // a file name, or the clipboard
        QTest::addColumn<bool>("difference");
        QTest::addColumn<int>("referenceRows");
        QTest::addColumn<QString>("expected");  // the text written; for an image whether it shows the difference

        QTest::newRow("CSV") << "matrix.csv" << false << 2 << "0,220,0\n100,510,0\n";
        QTest::newRow("CSV of the difference") << "matrix.CSV" << true << 2 << "0,+20,-510\n0,+510,-128\n";
        QTest::newRow("clipboard") << QString() << false << 2 << "0\t220\t0\n100\t510\t0\n";
        QTest::newRow("PNG, reference kept") << "matrix.png" << false << 2 << "matrix";
        QTest::newRow("PNG of the difference") << "matrix.png" << true << 2 << "difference";
        QTest::newRow("PNG, reference of 3 x 2") << "matrix.png" << true << 3 << "matrix";
        QTest::newRow("unwritable") << "missing/matrix.csv" << false << 2 << QString();
    }

    void shouldExportWhatItShows()
    {
        QFETCH(QString, target);
        QFETCH(bool, difference);
        QFETCH(int, referenceRows);
        QFETCH(QString, expected);

        Touchview view;
        view.resize(150, 70);
        view.setData(referenceRows, 6 / referenceRows, reference);
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
        QCOMPARE(view.save(path, &error), !expected.isEmpty());
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
        if (expected.isEmpty())
            return;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (target.endsWith(QLatin1String("csv"), Qt::CaseInsensitive)) {
            QCOMPARE(file.readAll(), expected.toUtf8());
            return;
        }
        const QImage saved = QImage::fromData(file.readAll(), "PNG").convertToFormat(QImage::Format_RGB32);
        QCOMPARE(saved, tests::render(view));
        const QImage painted = expected == QLatin1String("difference")
            ? tests::paintDifferenceReference(2, 3, matrix, reference, view.size())
            : tests::paintReference(2, 3, matrix, view.size());
        QVERIFY(tests::largestDifference(saved, painted, saved.rect()) <= antiAliasingLevels);
    }
};

QTEST_MAIN(TestTouchviewExport)
#include "tst_touchviewexport.moc"
