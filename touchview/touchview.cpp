#include "touchview.h"

#include <QPainter>

Touchview::Touchview(QWidget *parent)
    : QWidget(parent)
{
    // Every pixel is painted here, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

Touchview::~Touchview() = default;

void Touchview::setData(int rows, int columns, const QByteArray &values)
{
    if (qint64(rows) * columns == values.size()) {
        this->rows = rows;
        this->columns = columns;
        this->values = values;
    } else {
        this->rows = 0;
        this->columns = 0;
        this->values.clear();
    }
    repaint();
}

void Touchview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (rows <= 0 || columns <= 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        const QRect all(0, 0, width(), height());
        painter.drawRects(&all, 1);
        return;
    }
    paintMatrix(painter);
}

// Each byte is shown doubled (0 … 510). Rising values run once round the hue
// circle while growing more saturated and brighter; from 128 on every byte
// gets the colour of 255.
static QColor cellColour(int v)
{
    if (v > 255)
        return QColor::fromHsv(359, 255, 227);
    return QColor::fromHsv(359 * v / 255, v, v / 2 + 100);
}

void Touchview::paintMatrix(QPainter &painter) const
{
    const int w = width();
    const int h = height();

    QFont font = this->font();
    const int pixelSize = h / rows / 2;
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    painter.setFont(font);

    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int i = r * columns + c;
            const int v = i < values.size() ? 2 * quint8(values.at(i)) : 0;

            // Integer division puts every pixel into exactly one cell.
            const QRect cell(QPoint(c * w / columns, r * h / rows),
                             QPoint((c + 1) * w / columns - 1, (r + 1) * h / rows - 1));
            painter.setBrush(cellColour(v));
            painter.setPen(Qt::NoPen);
            painter.drawRects(&cell, 1);

            // White digits with a one-pixel black outline read on every colour.
            const QString text = QString::number(v);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(Qt::black);
            painter.drawText(cell.translated(-1, 0), Qt::AlignCenter, text);
            painter.drawText(cell.translated(1, 0), Qt::AlignCenter, text);
            painter.drawText(cell.translated(0, -1), Qt::AlignCenter, text);
            painter.drawText(cell.translated(0, 1), Qt::AlignCenter, text);
            painter.setPen(Qt::white);
            painter.drawText(cell, Qt::AlignCenter, text);
        }
    }
}
