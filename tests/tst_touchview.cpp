#include "support/grid.h"
#include "touchview/touchview.h"

#include <QtTest>

namespace {

// Colours of telling bytes: hue, saturation and value.
const QMap<int, QList<int>> colourTable = {
    {0, {0, 0, 100}},    {1, {2, 2, 101}},     {32, {90, 64, 132}},  {64, {180, 128, 164}},
    {96, {270, 192, 196}}, {127, {357, 254, 227}}, {128, {359, 255, 227}}, {200, {359, 255, 227}},
    {255, {359, 255, 227}},
};

QImage paintMatrix(int rows, int columns, const QByteArray &values, const QSize &size)
{
    Touchview view;
    view.resize(size);
    view.setData(rows, columns, values);
    return tests::render(view);
}

} // namespace

class TestTouchview : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // A pixel size of 0 must leave the font alone, not make Qt complain.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    }

    void shouldPaintBlackWithoutMatrix_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("bytes");

        QTest::newRow("0 rows") << 0 << 3 << 0;
        QTest::newRow("0 columns") << 2 << 0 << 0;
        QTest::newRow("3 x 4 with 11 bytes") << 3 << 4 << 11;
        QTest::newRow("3 x 4 with 13 bytes") << 3 << 4 << 13;
        QTest::newRow("negative rows and columns") << -1 << -2 << 2;
        QTest::newRow("product beyond int") << 65536 << 65536 << 0;
    }

    // Also when fresh, and a matrix shown before is dropped by the one that does not fit.
    void shouldPaintBlackWithoutMatrix()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, bytes);

        Touchview view;
        view.resize(150, 100);
        QImage black(view.size(), QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(tests::render(view), black);
        view.setData(2, 3, QByteArray(6, 64));
        view.setData(rows, columns, QByteArray(bytes, 64));
        QCOMPARE(tests::render(view), black);
    }

    void shouldTileCellsWithoutGaps_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<int>>("xEdges");
        QTest::addColumn<QList<int>>("yEdges");

        QTest::newRow("2 x 3 on 150 x 100") << 2 << 3 << QSize(150, 100)
                                            << QList<int>{0, 50, 100, 150} << QList<int>{0, 50, 100};
        QTest::newRow("7 x 1 on 100 x 100") << 7 << 1 << QSize(100, 100) << QList<int>{0, 100}
                                            << QList<int>{0, 14, 28, 42, 57, 71, 85, 100};
        QTest::newRow("1 x 3 on 100 x 40") << 1 << 3 << QSize(100, 40) << QList<int>{0, 33, 66, 100}
                                           << QList<int>{0, 40};
        QTest::newRow("3 x 3 on 180 x 180, every colour") << 3 << 3 << QSize(180, 180)
                                                          << QList<int>{0, 60, 120, 180} << QList<int>{0, 60, 120, 180};
    }

    // Bytes from the colour table; neighbouring cells differ, so a cell one pixel off shows.
    void shouldTileCellsWithoutGaps()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(QSize, size);
        QFETCH(QList<int>, xEdges);
        QFETCH(QList<int>, yEdges);

        const QList<int> bytes = colourTable.keys();
        QByteArray values;
        for (int i = 0; i < rows * columns; ++i)
            values.append(char(bytes.at(i % bytes.size())));
        const QImage image = paintMatrix(rows, columns, values, size);
        for (int i = 0; i < rows * columns; ++i) {
            const QList<int> hsv = colourTable.value(values.at(i) & 0xFF);
            const QRect cell(QPoint(xEdges[i % columns], yEdges[i / columns]),
                             QPoint(xEdges[i % columns + 1] - 1, yEdges[i / columns + 1] - 1));
            for (const QPoint &corner : {cell.topLeft(), cell.topRight(), cell.bottomLeft(), cell.bottomRight()})
                QCOMPARE(QColor(image.pixel(corner)), QColor(QColor::fromHsv(hsv[0], hsv[1], hsv[2]).rgb()));
        }
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
        QTest::newRow("40 x 30 on 301 x 203") << 40 << 30 << QSize(301, 203) << QRect(100, 50, 31, 21) << QSize();
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

        // Blending the label as one image rounds a little differently.
        const int difference = tests::largestDifference(whole, tests::paintReference(rows, columns, values, size), whole.rect());
        QVERIFY2(difference <= 4, qPrintable(QString::number(difference)));
        QCOMPARE(tests::largestDifference(partly, whole, part), 0);
    }
};

QTEST_MAIN(TestTouchview)
#include "tst_touchview.moc"
