#include "support/grid.h"
#include "touchview/touchview.h"

#include <QClipboard>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The bytes of a 2 × 3 matrix and of a reference to it; shown doubled, the
// differences are 0, +20, -510 / 0, +510, -128.
const QByteArray matrix("\x00\x6E\x00\x32\xFF\x00", 6);
const QByteArray reference("\x00\x64\xFF\x32\x00\x40", 6);

} // namespace

// The grid painted, and its matrix saved, copied and compared with a reference kept.
class TestTouchview : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // A pixel size of 0 must leave the font alone, not make Qt complain;
        // only the headless platform's notes on the menu may come.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support).*")));
    }

    void shouldPaintBlackWithoutMatrix_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("bytes");

        QTest::newRow("0 rows") << 0 << 3 << 0;
        QTest::newRow("0 columns") << 2 << 0 << 0;
        QTest::newRow("3 x 4 with 11 bytes") << 3 << 4 << 11;
    }

    // A matrix shown before is dropped by the one that does not fit, and the
    // menu offers nothing to save, copy or keep.
    void shouldPaintBlackWithoutMatrix()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, bytes);

        Touchview view;
        view.resize(150, 100);
        QImage black(view.size(), QImage::Format_RGB32);
        black.fill(Qt::black);
        view.setData(2, 3, QByteArray(6, 64));
        view.setData(rows, columns, QByteArray(bytes, 64));
        QCOMPARE(tests::render(view), black);

        QStringList enabled{"no menu"};
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            enabled.clear();
            for (const QAction *action : menu->actions())
                enabled << (action->isEnabled() ? action->text() : QString());
            menu->close();
        });
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&view, &click);
        QCOMPARE(enabled, QStringList(4, QString()));
    }

    // Labels of the doubled value (not clamped), in white outlined in black,
    // half a row high or in the widget's font if rows are too small for text.
    // Whole and in part: a part must come out as the same pixels of the whole,
    // outlines reaching in from neighbouring cells included. Painted at another
    // size before, the widget must not keep labels that no longer fit.
    void shouldPaintAsTheStraightforwardPainting_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("part");
        QTest::addColumn<QSize>("before");

        QTest::newRow("14 x 24 on 1000 x 600") << 14 << 24 << QSize(1000, 600) << QRect(41, 42, 83, 43) << QSize();
        QTest::newRow("255 x 255 on 1000 x 600") << 255 << 255 << QSize(1000, 600) << QRect(500, 300, 17, 9) << QSize();
        QTest::newRow("labels wider than cells") << 3 << 5 << QSize(61, 50) << QRect(0, 16, 12, 17) << QSize();
        QTest::newRow("rows too small for text") << 60 << 1 << QSize(150, 100) << QRect(0, 0, 150, 100) << QSize();
        // Values of row 0 come again in row 3, after more label sets than the last paint's.
        QTest::newRow("cells 2 pixels narrower than before") << 5 << 86 << QSize(387, 52) << QRect(100, 10, 30, 21)
                                                             << QSize(559, 52);
        QTest::newRow("cells a pixel lower than before, smaller font") << 3 << 5 << QSize(61, 52)
                                                                       << QRect(0, 17, 12, 18) << QSize(61, 55);
    }

    void shouldPaintAsTheStraightforwardPainting()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(QSize, size);
        QFETCH(QRect, part);
        QFETCH(QSize, before);

        QByteArray values;
        for (int i = 0; i < rows * columns; ++i)
            values.append(char(i * 37));
        Touchview view;
        view.setData(rows, columns, values);
        if (before.isValid()) {
            view.resize(before);
            tests::render(view);
        }
        view.resize(size);
        const QImage whole = tests::render(view);
        QImage partly(size, QImage::Format_RGB32);
        partly.fill(Qt::magenta);
        view.render(&partly, part.topLeft(), part);

        // Blending the label as one image rounds a little differently. Where
        // no label has ink the cells' colours and edges come out exact, but
        // for the odd pixel that the faintest edge of a label reaches.
        const QImage reference = tests::paintReference(rows, columns, values, size);
        const QImage cells = tests::paintReference(rows, columns, values, size, false);
        const int difference = tests::largestDifference(whole, reference, whole.rect());
        QVERIFY2(difference <= 4, qPrintable(QString::number(difference)));
        int inexact = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x)
                inexact += reference.pixel(x, y) == cells.pixel(x, y) && whole.pixel(x, y) != cells.pixel(x, y);
        }
        QVERIFY2(inexact <= 20, qPrintable(QString::number(inexact)));
        QCOMPARE(tests::largestDifference(partly, whole, part), 0);
    }

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
        QVERIFY(tests::largestDifference(saved, painted, saved.rect()) <= tests::antiAliasingLevels);
    }
};

QTEST_MAIN(TestTouchview)
#include "tst_touchview.moc"
