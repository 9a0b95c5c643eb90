#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>

class QWidget;

namespace tests {

// What the widget paints at its size, on magenta, which shows any pixel it leaves alone.
QImage render(QWidget &widget);

// The largest difference of any colour channel between two images in the area.
int largestDifference(const QImage &a, const QImage &b, const QRect &area);

// The matrix painted the straightforward way, cell by cell, writing each
// label five times: what the widget's painting must look like.
QImage paintReference(int rows, int columns, const QByteArray &values, const QSize &size, bool labels = true);

// The difference view of the matrix to the reference painted the same way.
QImage paintDifferenceReference(int rows, int columns, const QByteArray &values, const QByteArray &reference,
                                const QSize &size);

// Whether the grid paints the matrix as a fresh grid of its size does. The
// edges of the outlined numbers may differ by a few levels: the same text
// drawn twice in one process does not always come out alike.
bool showsMatrix(QWidget &grid, int rows, int columns, const QByteArray &values);

} // namespace tests
