#include "grid.h"

#include "touchview/touchview.h"

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

} // namespace tests
