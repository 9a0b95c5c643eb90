#include "grid.h"

#include "touchview/touchview.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>

namespace tests {

QImage render(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

int largestDifference(const QImage &a, const QImage &b, const QRect &area)
{
    int largest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

bool showsMatrix(QWidget &grid, int rows, int columns, const QByteArray &values)
{
    // Seen up to 9; a wrong number puts white ink on a cell colour, far more.
    constexpr int antiAliasingLevels = 32;
    const QImage shown = render(grid);
    Touchview expected;
    expected.resize(shown.size());
    expected.setData(rows, columns, values);
    return largestDifference(shown, render(expected), shown.rect()) <= antiAliasingLevels;
}

QImage paintReference(int rows, int columns, const QByteArray &values, const QSize &size, bool labels)
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
            painter.fillRect(cell, v > 255 ? QColor::fromHsv(359, 255, 227) : QColor::fromHsv(359 * v / 255, v, v / 2 + 100));
            if (!labels)
                continue;
            const QString text = QString::number(v);
            painter.setPen(Qt::black);
            for (const QPoint &shift : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
                painter.drawText(cell.translated(shift), Qt::AlignCenter, text);
            painter.setPen(Qt::white);
            painter.drawText(cell, Qt::AlignCenter, text);
        }
    }
    return image;
}

} // namespace tests
