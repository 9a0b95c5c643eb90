#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>

class QWidget;

namespace tests {

// The edges of outlined numbers differ by a few levels between two drawings
// of the same text in one process (seen up to 9); a wrong colour or number
// differs by far more.
constexpr int antiAliasingLevels = 32;

// What the widget paints at its size, on magenta, which shows any pixel it leaves alone.
QImage render(QWidget &widget);

// The largest difference of any colour channel between two images in the area.
int largestDifference(const QImage &a, const QImage &b, const QRect &area);

// The matrix painted the straightforward way, cell by cell, writing each
// label five times: what the widget's painting must look like.
QImage paintReference(int rows, int columns, const QByteArray &values, const QSize &size, bool labels = true);

// The difference view of the matrix to the reference painted the same way.
QImage paintDifferenceReference(int rows, int columns, const QByteArray &values, const QByteArray &reference,
                                const QSize &size, bool labels = true);

// Whether the grid paints the matrix as a fresh grid of its size does, up to
// the anti-aliasing levels.
bool showsMatrix(QWidget &grid, int rows, int columns, const QByteArray &values);

} // namespace tests
