#include "touchview/touchview.h"

#include "device/matrixcsv.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QToolTip>

#include <algorithm>
#include <cmath>

Touchview::Touchview(QWidget *parent)
    : QWidget(parent)
{
    // Every pixel is painted here, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Tab reaches the grid, so that its menu needs no mouse.
    setFocusPolicy(Qt::StrongFocus);
    setExportFolder(QString());
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
    shownKnown = false;
    repaint();
}

void Touchview::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (rows <= 0 || columns <= 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        const QRect all(0, 0, width(), height());
        painter.drawRects(&all, 1);
    } else {
        paintMatrix(painter, event->rect());
    }
    if (!hasFocus() || exporting)
        return;
    // Two lines of the highlight and one of its text's colour inside them:
    // one of the two stands out of whatever colour the cells at the edge have.
    const QRect edge = rect().adjusted(0, 0, -1, -1);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(palette().color(QPalette::Highlight));
    painter.drawRect(edge);
    painter.drawRect(edge.adjusted(1, 1, -1, -1));
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawRect(edge.adjusted(2, 2, -2, -2));
}

namespace {

constexpr int shownValues = 511;           // 0 … 510
constexpr int zeroDifference = 511 + 510;  // the index of a difference of 0
// Smaller numbers cannot be read; the cells' colours still tell the values.
constexpr int smallestLabelSize = 7;

} // namespace

// Each byte is shown doubled (0 … 510). Rising values run once round the hue
// circle while growing more saturated and brighter; from 128 on every byte
// gets the colour of 255.
static QColor cellColour(int v)
{
    if (v > 255)
        return QColor::fromHsv(359, 255, 227);
    return QColor::fromHsv(359 * v / 255, v, v / 2 + 100);
}

// Differences go from a pale grey at 0 towards blue below and red above,
// full from ±128 on: a finger's print or a dead sensor line stands out of
// the noise, which stays pale.
static QColor differenceColour(int d)
{
    const int saturation = std::min(255, 2 * std::abs(d));
    return QColor::fromHsv(d < 0 ? 220 : 10, saturation, 235 - saturation / 3);
}

static const std::array<QRgb, 1532> &cellColours()
{
    static const std::array<QRgb, 1532> colours = [] {
        std::array<QRgb, 1532> table;
        for (int v = 0; v < int(table.size()); ++v)
            table[v] = (v < shownValues ? cellColour(v) : differenceColour(v - zeroDifference)).rgb();
        return table;
    }();
    return colours;
}

// A difference carries its sign, also when positive.
static QString labelText(int index)
{
    if (index < shownValues)
        return QString::number(index);
    const int d = index - zeroDifference;
    return d > 0 ? QLatin1Char('+') + QString::number(d) : QString::number(d);
}

bool Touchview::showsDifference() const
{
    return difference && rows > 0 && columns > 0 && referenceRows == rows && referenceColumns == columns;
}

int Touchview::shownIndex(int cell) const
{
    const int v = cell < values.size() ? 2 * quint8(values.at(cell)) : 0;
    if (!showsDifference())
        return v;
    return zeroDifference + v - 2 * quint8(reference.at(cell));
}

QString Touchview::text(QChar separator) const
{
    QString text;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                text += separator;
            text += labelText(shownIndex(r * columns + c));
        }
        text += QLatin1Char('\n');
    }
    return text;
}

bool Touchview::save(const QString &path, QString *error)
{
    QByteArray bytes;
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        // What the device holds, not what the grid shows of it.
        bytes = device::matrixCsv(rows, columns, values);
    } else {
        QImage image(size(), QImage::Format_RGB32);
        exporting = true;
        render(&image);
        exporting = false;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    // Unbuffered, as the commit takes a failed write of Qt's buffer for a
    // success; written until all is taken, as a write the system cuts short
    // says only how much it took, and the next one why.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    qint64 done = 0;
    while (written && done < bytes.size()) {
        const qint64 taken = file.write(bytes.constData() + done, bytes.size() - done);
        written = taken > 0;
        done += taken;
    }
    if (written && file.commit()) {
        emit saved(path);
        return true;
    }
    *error = file.errorString();
    return false;
}

void Touchview::copy()
{
    QGuiApplication::clipboard()->setText(text(QLatin1Char('\t')));
    emit copied(rows, columns);
}

void Touchview::keepReference()
{
    referenceRows = rows;
    referenceColumns = columns;
    reference = values;
    shownKnown = false;
    repaint();
    emit referenceKept(rows, columns);
}

void Touchview::setDifference(bool on)
{
    difference = on;
    shownKnown = false;
    repaint();
}

void Touchview::setExportFolder(const QString &folder)
{
    this->folder = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) : folder;
}

int Touchview::cellAt(const QPoint &point) const
{
    if (rows <= 0 || columns <= 0 || !rect().contains(point))
        return -1;
    // The last row and column whose first pixel is not right of the point.
    const int r = ((point.y() + 1) * rows - 1) / height();
    const int c = ((point.x() + 1) * columns - 1) / width();
    return r * columns + c;
}

// The tooltip names a cell and what it shows, also where its label is left out.
bool Touchview::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const int cell = cellAt(help->pos());
    if (cell < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const int r = cell / columns;
    const int c = cell % columns;
    const QRect area(QPoint(c * width() / columns, r * height() / rows),
                     QPoint((c + 1) * width() / columns - 1, (r + 1) * height() / rows - 1));
    QToolTip::showText(help->globalPos(),
                       tr("Zeile %1, Spalte %2: %3").arg(r + 1).arg(c + 1).arg(labelText(shownIndex(cell))), this,
                       area);
    return true;
}

// A menu asked for with a key opens in the middle of the grid, its first
// entry chosen, for the arrows and Return.
void Touchview::showMenu(const QPoint &globalPos, bool fromKeyboard)
{
    const bool shown = rows > 0 && columns > 0;
    QMenu menu(this);
    menu.addAction(tr("Matrix speichern…"), this, [this] { askAndSave(); })->setEnabled(shown);
    QAction *copying = menu.addAction(tr("Matrix kopieren"), this, [this] { copy(); });
    copying->setEnabled(shown);
    copying->setShortcut(QKeySequence::Copy);  // shown only: the grid takes the keys itself
    menu.addAction(tr("Matrix festhalten"), this, [this] { keepReference(); })->setEnabled(shown);
    QAction *compare = menu.addAction(tr("Differenz zur Referenz"), this, [this](bool on) { setDifference(on); });
    compare->setCheckable(true);
    compare->setChecked(difference);
    compare->setEnabled(hasReference());
    if (fromKeyboard && shown)
        menu.setActiveAction(menu.actions().constFirst());
    menu.exec(fromKeyboard ? mapToGlobal(rect().center()) : globalPos);
}

void Touchview::contextMenuEvent(QContextMenuEvent *event)
{
    showMenu(event->globalPos(), event->reason() == QContextMenuEvent::Keyboard);
}

// Some platforms make a context menu event of the Menu key or Shift+F10, some
// do not. Where they do, it comes before the key, which then goes to the menu
// open by then: the menu does not open twice.
void Touchview::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier))
        showMenu(QPoint(), true);
    else if (event->matches(QKeySequence::Copy) && rows > 0 && columns > 0)
        copy();
    else
        QWidget::keyPressEvent(event);
}

// The type picked in the dialog decides for a name given without one.
void Touchview::askAndSave()
{
    const QString png = tr("PNG-Bild (*.png)");
    const QString csv = tr("CSV-Datei (*.csv)");
    QFileDialog dialog(this, tr("Matrix speichern"),
                       QDir(folder).filePath(QDateTime::currentDateTime().toString(
                           QStringLiteral("'korvel-matrix-'yyyyMMdd-HHmmss'.png'"))),
                       png + QLatin1String(";;") + csv);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the suffix itself, so that it asks before replacing that file too.
    dialog.setDefaultSuffix(QStringLiteral("png"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, csv](const QString &type) {
        dialog.setDefaultSuffix(type == csv ? QStringLiteral("csv") : QStringLiteral("png"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (save(path, &error))
        setExportFolder(QFileInfo(path).absolutePath());
    else
        QMessageBox::warning(this, tr("Matrix speichern"),
                             tr("Konnte %1 nicht schreiben: %2").arg(QDir::toNativeSeparators(path), error));
}

/*
 * Labels are written half a cell high, but no wider than the narrowest cell
 * less two pixels each side, one for the outline and one for the centring's
 * rounding: larger, three digits and signs ran into the neighbours and were
 * cut off. The widest label of the matrix decides for all, so that they come
 * in one size; below a legible size there are none.
 */
int Touchview::labelSize(const QSize &cell)
{
    if (!shownKnown) {
        shown.reset();
        for (int i = 0; i < rows * columns; ++i)
            shown.set(shownIndex(i));
        shownKnown = true;
        fittedSize = -1;
    }
    if (fittedSize >= 0 && fittedCell == cell && fittedFont == font())
        return fittedSize;

    const int full = cell.height() / 2;
    QFont font = this->font();
    const auto fits = [&](int pixelSize) {
        font.setPixelSize(pixelSize);
        return widestLabel(font) + 4 <= cell.width() && QFontMetrics(font).height() + 2 <= cell.height();
    };
    int size = 0;
    if (full >= smallestLabelSize && fits(full)) {
        size = full;
    } else if (full > smallestLabelSize) {
        // Widths grow about in proportion to the size: a first guess, then
        // the rounding of each size's glyphs set right. Each size tried costs
        // Qt a font engine the first time.
        font.setPixelSize(full);
        const int guess = qRound(qreal(full) * (cell.width() - 4) / std::max(1, widestLabel(font)));
        size = std::clamp(guess, smallestLabelSize, full - 1);
        while (size >= smallestLabelSize && !fits(size))
            --size;
        while (size >= smallestLabelSize && size + 1 < full && fits(size + 1))
            ++size;
        if (size < smallestLabelSize)
            size = 0;
    }
    fittedFont = this->font();
    fittedCell = cell;
    fittedSize = size;
    return size;
}

int Touchview::widestLabel(const QFont &font)
{
    auto widths =
        std::find_if(widthSets.begin(), widthSets.end(), [&](const Widths &set) { return set.font == font; });
    if (widths == widthSets.end()) {
        // A window dragged larger runs through many sizes.
        if (widthSets.size() == 8)
            widthSets.erase(widthSets.begin());
        widths = widthSets.insert(widthSets.end(), Widths{font, {}});
        widths->of.fill(-1);
    }
    const QFontMetricsF metrics(font);
    int widest = 0;
    for (int index = 0; index < int(shown.size()); ++index) {
        if (!shown.test(index))
            continue;
        if (widths->of[index] < 0)
            widths->of[index] = qint16(std::ceil(metrics.horizontalAdvance(labelText(index))));
        widest = std::max<int>(widest, widths->of[index]);
    }
    return widest;
}

Touchview::Labels &Touchview::labels(const QFont &font, const QSize &cell, qreal devicePixelRatio)
{
    // The sets left from earlier paints all have this font and ratio.
    auto set = std::find_if(labelSets.begin(), labelSets.end(), [&](const Labels &labels) { return labels.cell == cell; });
    if (set == labelSets.end())
        set = labelSets.insert(labelSets.end(), Labels{font, cell, devicePixelRatio, {}, {}});
    return *set;
}

/*
 * White digits with a one-pixel black outline read on every colour. The text
 * is written centred in the cell, four times in black shifted by a pixel each
 * way and once in white, each time clipped to its shifted cell; the image
 * holds that with a pixel of margin all round.
 */
const QImage &Touchview::label(Labels &set, int index) const
{
    QImage &image = set.images[index];
    if (set.drawn[index])
        return image;
    set.drawn[index] = true;

    image = QImage((set.cell + QSize(2, 2)) * set.devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(set.devicePixelRatio);
    // Point sizes must come out as large as on the widget.
    image.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
    image.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(set.font);
    const QRect box(QPoint(1, 1), set.cell);
    const QString text = labelText(index);
    painter.setPen(Qt::black);
    painter.drawText(box.translated(-1, 0), Qt::AlignCenter, text);
    painter.drawText(box.translated(1, 0), Qt::AlignCenter, text);
    painter.drawText(box.translated(0, -1), Qt::AlignCenter, text);
    painter.drawText(box.translated(0, 1), Qt::AlignCenter, text);
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.end();

    // Cells too small for any ink are common on large matrices; they skip the blending.
    const auto *pixel = reinterpret_cast<const QRgb *>(image.constBits());
    if (std::none_of(pixel, pixel + image.sizeInBytes() / sizeof(QRgb), [](QRgb p) { return qAlpha(p) != 0; }))
        image = QImage();
    return image;
}

// The device pixels of a cell: its edges scaled, so that neighbours meet.
static QRect devicePixels(const QRect &cell, qreal ratio)
{
    const auto at = [ratio](int x) { return qRound(x * ratio); };
    return QRect(QPoint(at(cell.left()), at(cell.top())), QPoint(at(cell.right() + 1) - 1, at(cell.bottom() + 1) - 1));
}

static void fill(uchar *bits, qsizetype bytesPerLine, const QRect &pixels, QRgb colour)
{
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(bits + y * bytesPerLine);
        std::fill(line + pixels.left(), line + pixels.right() + 1, colour);
    }
}

void Touchview::paintMatrix(QPainter &painter, const QRect &exposed)
{
    const int w = width();
    const int h = height();

    const qreal devicePixelRatio = painter.device()->devicePixelRatioF();
    const std::array<QRgb, 1532> &colours = cellColours();

    // Integer division makes cells of two widths and two heights at most.
    const QSize smallest(w / columns, h / rows);
    QFont font = this->font();
    const int pixelSize = labelSize(smallest);
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    labelSets.erase(std::remove_if(labelSets.begin(), labelSets.end(),
                                   [&](const Labels &labels) {
                                       const QSize extra = labels.cell - smallest;
                                       return labels.font != font || labels.devicePixelRatio != devicePixelRatio
                                           || extra.width() < 0 || extra.width() > 1 || extra.height() < 0
                                           || extra.height() > 1;
                                   }),
                    labelSets.end());
    labelSets.reserve(4);  // the sets below stay where they are
    Labels *sets[2][2] = {};

    // A label reaches a pixel into the cells left of and above its own, so
    // the cells just right of and below the exposed area paint too; the
    // painter's clip keeps everything else as it is.
    const QRect area = exposed.adjusted(0, 0, 1, 1) & rect();
    if (area.isEmpty())
        return;
    // The cells go straight into an image of the area, pixel by pixel: on a
    // large matrix a cell is a few pixels, fewer than a painter's fill costs.
    QImage canvas(devicePixels(QRect(QPoint(0, 0), area.size()), devicePixelRatio).size(), QImage::Format_RGB32);
    canvas.setDevicePixelRatio(devicePixelRatio);
    uchar *bits = canvas.bits();
    const qsizetype bytesPerLine = canvas.bytesPerLine();
    const QRect canvasPixels = canvas.rect();
    QPainter labelPainter(&canvas);
    labelPainter.translate(-area.topLeft());
    for (int r = 0; r < rows; ++r) {
        const int top = r * h / rows;
        const int bottom = (r + 1) * h / rows - 1;
        if (bottom < area.top() || top > area.bottom())
            continue;
        for (int c = 0; c < columns; ++c) {
            const int left = c * w / columns;
            const int right = (c + 1) * w / columns - 1;
            if (right < area.left() || left > area.right())
                continue;
            const int i = r * columns + c;
            const int v = shownIndex(i);

            // Integer division puts every pixel into exactly one cell. Each
            // cell's label is drawn before the next cell's fill, as the
            // overlapping outlines need.
            const QRect cell(QPoint(left, top), QPoint(right, bottom));
            fill(bits, bytesPerLine, devicePixels(cell.translated(-area.topLeft()), devicePixelRatio) & canvasPixels,
                 colours[v]);
            if (pixelSize == 0)
                continue;
            Labels *&set = sets[cell.height() - smallest.height()][cell.width() - smallest.width()];
            if (!set)
                set = &labels(font, cell.size(), devicePixelRatio);
            const QImage &image = label(*set, v);
            if (!image.isNull())
                labelPainter.drawImage(cell.topLeft() - QPoint(1, 1), image);
        }
    }
    labelPainter.end();
    painter.drawImage(area.topLeft(), canvas);
}
