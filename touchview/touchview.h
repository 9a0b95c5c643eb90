#pragma once

#include <QByteArray>
#include <QWidget>

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
    void paintMatrix(QPainter &painter) const;

    int rows = 0;
    int columns = 0;
    QByteArray values;
};
