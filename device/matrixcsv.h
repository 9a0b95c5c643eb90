#pragma once

#include <QByteArray>

namespace device {

// The touchpad matrix as a file holds it: the device's bytes as received, 0
// to 255, one line per row, comma-separated, without a header. The grid's
// export and korvelctl write the same.
QByteArray matrixCsv(int rows, int columns, const QByteArray &matrix);

} // namespace device
