#include "grid.h"

#include "touchview/touchview.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>
#include <functional>

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
    const QImage shown = render(grid);
    Touchview expected;
    expected.resize(shown.size());
    expected.setData(rows, columns, values);
    return largestDifference(shown, render(expected), shown.rect()) <= antiAliasingLevels;
}

// Each cell filled with its colour and, with labels, its text written five times.
static QImage paintCells(int rows, int columns, const QSize &size, bool labels,
                         const std::function<std::pair<QColor, QString>(int)> &cell)
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
            const auto [colour, text] = cell(r * columns + c);
            const QRect area(QPoint(c * w / columns, r * h / rows),
                             QPoint((c + 1) * w / columns - 1, (r + 1) * h / rows - 1));
            painter.fillRect(area, colour);
            if (!labels)
                continue;
            painter.setPen(Qt::black);
            for (const QPoint &shift : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
                painter.drawText(area.translated(shift), Qt::AlignCenter, text);
            painter.setPen(Qt::white);
            painter.drawText(area, Qt::AlignCenter, text);
        }
    }
    return image;
}

QImage paintReference(int rows, int columns, const QByteArray &values, const QSize &size, bool labels)
{
    return paintCells(rows, columns, size, labels, [&](int i) {
        const int v = 2 * quint8(values.at(i));
        return std::pair(v > 255 ? QColor::fromHsv(359, 255, 227) : QColor::fromHsv(359 * v / 255, v, v / 2 + 100),
                         QString::number(v));
    });
}

QImage paintDifferenceReference(int rows, int columns, const QByteArray &values, const QByteArray &reference,
                                const QSize &size, bool labels)
{
    return paintCells(rows, columns, size, labels, [&](int i) {
        const int d = 2 * (quint8(values.at(i)) - quint8(reference.at(i)));
        const int saturation = std::min(255, 2 * std::abs(d));
        return std::pair(QColor::fromHsv(d < 0 ? 220 : 10, saturation, 235 - saturation / 3),
                         (d > 0 ? QStringLiteral("+") : QString()) + QString::number(d));
    });
}

} // namespace tests
