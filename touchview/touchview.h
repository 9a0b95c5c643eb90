#pragma once

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <array>
#include <bitset>
#include <vector>

// Paints the touchpad's raw sensor matrix as a grid of coloured cells, each
// with its value written in the centre where it fits. It shows the last matrix
// it was given; a cell's tooltip names it and its value. Its context menu, also
// opened with the Menu key or Shift+F10, saves and copies what it shows, and
// keeps a matrix as a reference to show the difference to.
class Touchview : public QWidget
{
    Q_OBJECT

public:
    explicit Touchview(QWidget *parent = nullptr);
    ~Touchview() override;

    // Takes a row-major matrix of rows × columns bytes; any other byte count
    // drops the matrix and the widget turns black. Paints before returning.
    void setData(int rows, int columns, const QByteArray &values);

    // The values as shown, one row a line, separated by the character.
    QString text(QChar separator) const;
    // A path ending in ".csv" gets the device's bytes (device/matrixcsv.h),
    // any other the grid as shown at its current size as a PNG image. False, and why,
    // when the file cannot be written.
    bool save(const QString &path, QString *error);
    // The values as shown, tab-separated, to the clipboard.
    void copy();

    // Keeps the matrix shown as the reference; the difference view compares with it.
    void keepReference();
    bool hasReference() const { return referenceRows > 0; }
    // Shows each cell's signed difference to the reference, with its own
    // colours, while a reference of the same size is kept. Paints before returning.
    void setDifference(bool on);
    bool showsDifference() const;

    // Where the save dialog proposes its file; the documents folder unless
    // set, and the folder of the last file saved through the dialog.
    void setExportFolder(const QString &folder);
    QString exportFolder() const { return folder; }

signals:
    // What the context menu did, for the window to confirm.
    void saved(const QString &path);
    void copied(int rows, int columns);
    // The grid looks the same after it: only the window's word shows it happened.
    void referenceKept(int rows, int columns);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The outlined numbers of one font and cell size, each drawn once when
    // first needed: drawing text is what made a large matrix slow to paint.
    struct Labels
    {
        QFont font;
        QSize cell;
        qreal devicePixelRatio = 1;
        std::array<QImage, 1532> images;  // by shown index (see shownIndex); null while not drawn or without ink
        std::array<bool, 1532> drawn = {};
    };

    // The widths of the labels in one font, each measured when first needed.
    struct Widths
    {
        QFont font;
        std::array<qint16, 1532> of;  // by shown index; -1 while not measured
    };

    void paintMatrix(QPainter &painter, const QRect &exposed);
    // The pixel size the labels of the cells are written in, 0 for none.
    int labelSize(const QSize &cell);
    int widestLabel(const QFont &font);
    // The index of the cell at the point, -1 for none.
    int cellAt(const QPoint &point) const;
    void showMenu(const QPoint &globalPos, bool fromKeyboard);
    // What a cell shows: 0 … 510 the doubled byte, 511 … 1531 its difference
    // to the reference's, -510 … 510, offset by 1021.
    int shownIndex(int cell) const;
    void askAndSave();
    Labels &labels(const QFont &font, const QSize &cell, qreal devicePixelRatio);
    const QImage &label(Labels &labels, int index) const;

    int rows = 0;
    int columns = 0;
    QByteArray values;
    int referenceRows = 0;
    int referenceColumns = 0;
    QByteArray reference;
    bool difference = false;
    QString folder;
    bool exporting = false;  // the focus frame stays out of an image saved

    std::bitset<1532> shown;  // the shown indices that the matrix has, while shownKnown
    bool shownKnown = false;
    QFont fittedFont;  // the widget's font and the cell that labelSize gave fittedSize for
    QSize fittedCell;
    int fittedSize = -1;
    std::vector<Widths> widthSets;  // of the last few pixel sizes tried, the oldest first
    std::vector<Labels> labelSets;  // those of the last paint; its cells come in up to four sizes
};
