#include "fuzz/fuzzinput.h"
#include "touchview/touchview.h"

#include <QImage>

/*
 * Each step of the input gives the widget a matrix (any rows and columns,
 * up to 1024 bytes) at a size from 1 × 1 to 640 × 480, and paints it.
 */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    Touchview view;
    while (!input.atEnd()) {
        const int rows = input.take<qint16>();
        const int columns = input.take<qint16>();
        const QByteArray values = input.bytes(input.take<quint16>() % 1025);
        view.resize(1 + input.take<quint16>() % 640, 1 + input.take<quint16>() % 480);
        view.setData(rows, columns, values);
        QImage image(view.size(), QImage::Format_RGB32);
        view.render(&image);
    }
    return 0;
}
