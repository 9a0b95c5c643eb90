#pragma once

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <array>
#include <vector>

// Paints the touchpad's raw sensor matrix as a grid of coloured cells, each
// with its value written in the centre. It shows the last matrix it was given.
class Touchview : public QWidget
{
    Q_OBJECT

public:
    explicit Touchview(QWidget *parent = nullptr);
    ~Touchview() override;

    // Takes a row-major matrix of rows × columns bytes; any other byte count
    // drops the matrix and the widget turns black. Paints before returning.
    void setData(int rows, int columns, const QByteArray &values);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The outlined numbers of one font and cell size, each drawn once when
    // first needed: drawing text is what made a large matrix slow to paint.
    struct Labels
    {
        QFont font;
        QSize cell;
        qreal devicePixelRatio = 1;
        std::array<QImage, 511> images;  // by shown value; null while not drawn or without ink
        std::array<bool, 511> drawn = {};
    };

    void paintMatrix(QPainter &painter, const QRect &exposed);
    Labels &labels(const QFont &font, const QSize &cell, qreal devicePixelRatio);
    const QImage &label(Labels &labels, int value) const;

    int rows = 0;
    int columns = 0;
    QByteArray values;
    std::vector<Labels> labelSets;  // those of the last paint; its cells come in up to four sizes
};
