#include "support/grid.h"
#include "touchview/touchview.h"

#include <QPainter>
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

// The matrix painted the straightforward way, cell by cell, writing each
// label five times: what the widget's painting must look like.
QImage paintReference(int rows, int columns, const QByteArray &values, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width();
    const int h = size.height();
    QFont font = QApplication::font();
    if (h / rows / 2 > 0)
        font.setPixelSize(h / rows / 2);
    painter.setFont(font);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int v = 2 * quint8(values.at(r * columns + c));
            const QRect cell(QPoint(c * w / columns, r * h / rows),
                             QPoint((c + 1) * w / columns - 1, (r + 1) * h / rows - 1));
            painter.setBrush(v > 255 ? QColor::fromHsv(359, 255, 227) : QColor::fromHsv(359 * v / 255, v, v / 2 + 100));
            painter.setPen(Qt::NoPen);
            painter.drawRects(&cell, 1);
            const QString text = QString::number(v);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(Qt::black);
            for (const QPoint &shift : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
                painter.drawText(cell.translated(shift), Qt::AlignCenter, text);
            painter.setPen(Qt::white);
            painter.drawText(cell, Qt::AlignCenter, text);
        }
    }
    return image;
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

    // Whole and in part: a part must come out as the same pixels of the whole,
    // outlines reaching in from neighbouring cells included.
    void shouldPaintAsTheStraightforwardPainting_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("part");

        QTest::newRow("14 x 24 on 1000 x 600") << 14 << 24 << QSize(1000, 600) << QRect(41, 42, 83, 43);
        QTest::newRow("255 x 255 on 1000 x 600") << 255 << 255 << QSize(1000, 600) << QRect(500, 300, 17, 9);
        QTest::newRow("labels wider than cells") << 3 << 5 << QSize(61, 50) << QRect(0, 16, 12, 17);
        QTest::newRow("40 x 30 on 301 x 203") << 40 << 30 << QSize(301, 203) << QRect(100, 50, 31, 21);
    }

    void shouldPaintAsTheStraightforwardPainting()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(QSize, size);
        QFETCH(QRect, part);

        QByteArray values;
        for (int i = 0; i < rows * columns; ++i)
            values.append(char(i * 37));
        const QImage reference = paintReference(rows, columns, values, size);
        Touchview view;
        view.setData(rows, columns, values);
        const QImage whole = paint(view, size.width(), size.height());
        QImage partly(size, QImage::Format_RGB32);
        partly.fill(Qt::magenta);
        view.render(&partly, part.topLeft(), part);

        // Blending the label as one image rounds a little differently.
        QVERIFY2(tests::largestDifference(whole, reference, whole.rect()) <= 4,
                 qPrintable(QString::number(tests::largestDifference(whole, reference, whole.rect()))));
        QCOMPARE(tests::largestDifference(partly, whole, part), 0);
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
