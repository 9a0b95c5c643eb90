#include "device/matrixcsv.h"

namespace device {

QByteArray matrixCsv(int rows, int columns, const QByteArray &matrix)
{
    QByteArray csv;
    csv.reserve(rows * columns * 4);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                csv += ',';
            const qsizetype at = qsizetype(r) * columns + c;
            csv += QByteArray::number(at < matrix.size() ? quint8(matrix.at(at)) : 0);
        }
        csv += '\n';
    }
    return csv;
}

} // namespace device
