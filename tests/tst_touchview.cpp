#include "touchview/touchview.h"

#include <QtTest>

namespace {

// Colours of telling bytes: hue, saturation and value.
const QMap<int, QList<int>> colourTable = {
    {0, {0, 0, 100}},    {1, {2, 2, 101}},     {32, {90, 64, 132}},  {64, {180, 128, 164}},
    {96, {270, 192, 196}}, {127, {357, 254, 227}}, {128, {359, 255, 227}}, {200, {359, 255, 227}},
    {255, {359, 255, 227}},
};

QRgb colourOf(int byte)
{
    const QList<int> hsv = colourTable.value(byte);
    return QColor::fromHsv(hsv[0], hsv[1], hsv[2]).rgb();
}

// What the widget paints, on an image that shows any pixel it leaves alone.
QImage paint(Touchview &view, int width, int height)
{
    view.resize(width, height);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    view.render(&image);
    return image;
}

QImage paintMatrix(int rows, int columns, const QByteArray &values, int width, int height)
{
    Touchview view;
    view.setData(rows, columns, values);
    return paint(view, width, height);
}

// Pixels of a cell that are not its fill colour: the text.
QRect ink(const QImage &image, const QRect &cell)
{
    const QRgb fill = image.pixel(cell.topLeft());
    QRect box;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            if (image.pixel(x, y) != fill)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The darkest and the brightest grey level in an area.
QPair<int, int> greyRange(const QImage &image, const QRect &area)
{
    QPair<int, int> range{255, 0};
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            range = {qMin(range.first, grey), qMax(range.second, grey)};
        }
    }
    return range;
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

    void shouldPaintBlackWithoutMatrix()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, bytes);

        Touchview view;
        const QImage fresh = paint(view, 150, 100);
        // A matrix shown before is dropped by the one that does not fit.
        view.setData(2, 3, QByteArray(6, 64));
        view.setData(rows, columns, QByteArray(bytes, 64));
        const QImage after = paint(view, 150, 100);

        QImage black(150, 100, QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(fresh, black);
        QCOMPARE(after, black);
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

    void shouldTileCellsWithoutGaps()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(QSize, size);
        QFETCH(QList<int>, xEdges);
        QFETCH(QList<int>, yEdges);

        // Bytes from the colour table; neighbouring cells differ, so a cell one pixel off shows.
        const QList<int> bytes = colourTable.keys();
        QByteArray values;
        for (int i = 0; i < rows * columns; ++i)
            values.append(char(bytes.at(i % bytes.size())));
        const QImage image = paintMatrix(rows, columns, values, size.width(), size.height());

        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const QRgb expected = colourOf(bytes.at((r * columns + c) % bytes.size()));
                const QRect cell(QPoint(xEdges[c], yEdges[r]), QPoint(xEdges[c + 1] - 1, yEdges[r + 1] - 1));
                for (const QPoint &corner : {cell.topLeft(), cell.topRight(), cell.bottomLeft(), cell.bottomRight()})
                    QCOMPARE(QColor(image.pixel(corner)), QColor(expected));
            }
        }
    }

    // The doubled value, in digits half a row high: "0", "10", "400" (not clamped).
    void shouldWriteDoubledValueAtHalfTheRowHeight_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("digits");
        QTest::addColumn<int>("pixelSize");

        QTest::newRow("byte 0 on 2 rows") << 2 << 0 << 1 << 25;
        QTest::newRow("byte 5 on 2 rows") << 2 << 5 << 2 << 25;
        QTest::newRow("byte 200 on 2 rows") << 2 << 200 << 3 << 25;
        QTest::newRow("byte 200 on 4 rows") << 4 << 200 << 3 << 12;
        QTest::newRow("byte 0 on 7 rows") << 7 << 0 << 1 << 7;
    }

    void shouldWriteDoubledValueAtHalfTheRowHeight()
    {
        QFETCH(int, rows);
        QFETCH(int, byte);
        QFETCH(int, digits);
        QFETCH(int, pixelSize);

        const QImage image = paintMatrix(rows, 1, QByteArray(rows, char(byte)), 150, 100);
        const QRect cell(0, 0, 150, 100 / rows);
        const QRect text = ink(image, cell);

        // Digits are about 0.73 of the pixel size high and 0.64 wide, plus the outline.
        QVERIFY2(text.height() >= pixelSize * 6 / 10 && text.height() <= pixelSize * 8 / 10 + 2,
                 qPrintable(QString::number(text.height())));
        QVERIFY2(text.width() >= (2 * digits - 1) * pixelSize / 4 && text.width() <= digits * pixelSize * 7 / 10 + 2,
                 qPrintable(QString::number(text.width())));
        QVERIFY(qAbs(text.center().x() - cell.center().x()) <= 1);
        QVERIFY(qAbs(text.center().y() - cell.center().y()) <= 2);
        // White digits outlined in black.
        const auto [darkest, brightest] = greyRange(image, text);
        QVERIFY2(darkest <= 40 && brightest >= 160, qPrintable(QStringLiteral("%1 %2").arg(darkest).arg(brightest)));
    }

    void shouldKeepFontWhenRowsAreTooSmallForText()
    {
        // 100 pixels for 60 rows: the computed pixel size is 0.
        const QImage image = paintMatrix(60, 1, QByteArray(60, 0), 150, 100);

        QCOMPARE(QColor(image.pixel(0, 0)), QColor(colourOf(0)));
        QCOMPARE(QColor(image.pixel(149, 99)), QColor(colourOf(0)));
    }
};

QTEST_MAIN(TestTouchview)
#include "tst_touchview.moc"
