#include "canviewer.h"

#include "bus/hexdigit.h"
#include "plaintextdelegate.h"
#include "protocol/deviceprotocol.h"

#include <QHeaderView>
#include <QScrollBar>

#include <malloc.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr quint32 extendedKey = 0x80000000;
constexpr int refreshMs = 250;
constexpr qint64 silenceMs = 10000;
// Beyond this many rows going or coming in one refresh, making the list again
// in one go is faster than putting each in or taking each out, which costs a
// pass over the rows every time (measured with 10,000 rows shown).
constexpr qsizetype rebuildAbove = 512;

// The record holds eight data bytes whatever DLC the bus reported.
int storedBytes(int dlc)
{
    return std::clamp(dlc, 0, 8);
}

// Each byte as two hex digits and a blank, written digit by digit: on a busy
// bus formatting the bytes was most of a refresh.
QString dataText(const quint8 *data, int count)
{
    QString text(3 * count, QLatin1Char(' '));
    QChar *out = text.data();
    for (int i = 0; i < count; ++i) {
        out[3 * i] = QLatin1Char(bus::lowerHexDigits[data[i] >> 4]);
        out[3 * i + 1] = QLatin1Char(bus::lowerHexDigits[data[i] & 0xF]);
    }
    return text;
}

// Hex digits of an identifier in the ID column: at least six for an extended
// one, which a '*' precedes, and three for a standard one.
int idDigits(quint32 key)
{
    const int significant = int(32 - qCountLeadingZeroBits(key & ~extendedKey) + 3) / 4;
    return std::max(key & extendedKey ? 6 : 3, significant);
}

// The ID column's text: "07f" for a standard identifier, "*17faf073" for an extended one.
QString idText(quint32 key)
{
    const quint32 id = key & ~extendedKey;
    const int digits = idDigits(key);
    const int marker = key & extendedKey ? 1 : 0;
    QString text(marker + digits, QLatin1Char('*'));
    QChar *out = text.data() + marker;
    for (int i = 0; i < digits; ++i)
        out[i] = QLatin1Char(bus::lowerHexDigits[(id >> 4 * (digits - 1 - i)) & 0xF]);
    return text;
}

// A number that orders identifiers as sorting by the ID column orders their
// texts: extended ones first ('*' comes before every digit), then by the
// digits from the first, and of two texts where one begins the other, the
// shorter first.
quint64 idOrder(quint32 key)
{
    const int digits = idDigits(key);
    const quint64 leftAligned = quint64(key & ~extendedKey) << 4 * (8 - digits);
    return quint64(!(key & extendedKey)) << 36 | leftAligned << 4 | quint64(digits);
}

// The entry's key of a row, from its ID text; none for the waiting row.
std::optional<quint32> keyOf(const QTreeWidgetItem &row)
{
    const QString id = row.text(CanViewer::IdColumn);
    const bool extended = id.startsWith(QLatin1Char('*'));
    bool ok = false;
    const quint32 key = QStringView(id).mid(extended ? 1 : 0).toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return extended ? key | extendedKey : key;
}

// glibc keeps the pages freed amid its heap for the process; after many
// records and rows went at once, it gives them back to the system.
void releaseMemory(size_t records)
{
    if (records >= size_t(CanViewer::maxRows))
        malloc_trim(0);
}

} // namespace

CanViewer::CanViewer(QWidget *parent)
    : QTreeWidget(parent)
{
    QFont rowFont(QStringLiteral("SmoothTTF"), 9, -1, false);
    rowFont.setStyleStrategy(QFont::NoAntialias);
    for (int column = IdColumn; column <= DlcColumn; ++column)
        rowPrototype.setTextAlignment(column, Qt::AlignRight);
    for (int column = 0; column < ColumnCount; ++column)
        rowPrototype.setFont(column, rowFont);

    clock.start();
    setHeaderLabels({tr("Richtung"), tr("ID"), tr("Intervall (ms)"), tr("DLC"), tr("Daten")});
    setAlternatingRowColors(true);
    // One line of one font per row: the view need not ask each row its height.
    setUniformRowHeights(true);
    setItemDelegate(new PlainTextDelegate(this));
    for (int column = IdColumn; column <= DlcColumn; ++column)
        headerItem()->setTextAlignment(column, Qt::AlignRight);
    header()->setSectionResizeMode(DataColumn, QHeaderView::Stretch);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &CanViewer::writeVisibleRows);
    connect(&refreshTimer, &QTimer::timeout, this, &CanViewer::updateList);
    refreshTimer.start(refreshMs);
}

void CanViewer::handleMsg(const VectorCAN::Message &msg)
{
    traceFrame(msg);

    const quint32 key = msg.extended ? msg.id | extendedKey : msg.id;
    const qint64 time = now();
    auto it = entries.find(key);
    if (it == entries.end()) {
        it = entries.emplace(key);
    } else {
        it->updated = true;
        it->intervalMs = int(time - it->lastTime);
    }
    it->lastTime = time;
    it->tx = msg.tx;
    it->dlc = msg.dlc;
    std::copy_n(msg.data, storedBytes(msg.dlc), it->data);
}

void CanViewer::clear()
{
    // All rows at once: deleting them one by one costs a pass over the rows each.
    QTreeWidget::clear();
    waitingRow = nullptr;
    const qsizetype records = entries.size();
    entries.clear();
    releaseMemory(size_t(records));
}

/*
 * One refresh: every entry with a frame since the last refresh gets its row
 * rewritten, every entry silent for more than 10 s goes with its row, and
 * entries without a row get one while there is room, the first by ID first.
 * Below them, while entries wait, a last row counts them.
 */
void CanViewer::updateList()
{
    const qint64 time = now();
    std::vector<quint32> silent;
    bool heard = false;
    // While the list is shown, only the rows in sight are written now, the
    // others when they come into it: with thousands of identifiers, writing
    // every changed row was most of what an open window cost.
    const bool inSightOnly = isVisible();
    {
        // Told row by row, the list would look for each row among all of
        // them; rows are written here only while it is hidden.
        const QSignalBlocker quiet(model());
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (!it->updated && time - it->lastTime > silenceMs) {
                silent.push_back(it.key());
            } else if (it->updated) {
                heard = true;
                if (it->item && inSightOnly) {
                    it->stale = true;
                } else if (it->item) {
                    writeRow(*it->item, *it);
                    it->stale = false;
                }
            }
            it->updated = false;
        }
    }
    // Nothing heard and nothing gone: the list stays as it is, unpainted, so
    // that a quiet bus costs the open window next to nothing.
    if (!heard && silent.empty())
        return;
    // Erased after the walk: erasing moves later entries back, and at the
    // end of the table one may come round a second time.
    QList<QTreeWidgetItem *> gone;
    for (quint32 key : silent) {
        if (QTreeWidgetItem *row = entries.take(key).item)
            gone.append(row);
    }
    // Most records gone: the table shrinks with them.
    if (silent.size() > size_t(entries.size()))
        entries.squeeze();

    const qsizetype rows = topLevelItemCount() - (waitingRow ? 1 : 0) - gone.size();
    const QList<QTreeWidgetItem *> added = createRows(maxRows - rows);
    if (gone.size() + added.size() > rebuildAbove) {
        rebuildRows(gone);
    } else {
        qDeleteAll(gone);
        insertRows(added);
    }
    showWaiting(entries.size() - rows - added.size());
    releaseMemory(silent.size());
    writeVisibleRows();
}

void CanViewer::resizeEvent(QResizeEvent *event)
{
    QTreeWidget::resizeEvent(event);
    writeVisibleRows();
}

void CanViewer::showEvent(QShowEvent *event)
{
    QTreeWidget::showEvent(event);
    writeVisibleRows();
}

// Every row has the same height, so the rows in sight run from the one at the
// top of the viewport to the one at its bottom (or the last). Only the rows
// written are painted again: on a busy bus about half of them each refresh.
void CanViewer::writeVisibleRows()
{
    const int count = topLevelItemCount();
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (!top.isValid())
        return;
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    const int last = bottom.isValid() ? bottom.row() : count - 1;
    const QRect topRow = visualRect(top);
    const QSignalBlocker quiet(model());
    for (int index = top.row(); index <= last; ++index) {
        QTreeWidgetItem *row = topLevelItem(index);
        const std::optional<quint32> key = keyOf(*row);
        const auto it = key ? entries.find(*key) : entries.end();
        if (it == entries.end() || !it->stale)
            continue;
        writeRow(*row, *it);
        it->stale = false;
        viewport()->update(0, topRow.y() + (index - top.row()) * topRow.height(), viewport()->width(), topRow.height());
    }
}

// Rows, not yet in the list, for as many entries without one as there is
// room for, the first by ID first; sorted by ID.
QList<QTreeWidgetItem *> CanViewer::createRows(qsizetype room)
{
    std::vector<std::pair<quint64, quint32>> waiting;
    if (room > 0) {
        waiting.reserve(size_t(entries.size()));
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            if (!it->item)
                waiting.emplace_back(idOrder(it.key()), it.key());
        }
    }
    const auto last = waiting.begin() + std::min(size_t(std::max<qsizetype>(room, 0)), waiting.size());
    std::nth_element(waiting.begin(), last, waiting.end());
    std::sort(waiting.begin(), last);

    QList<QTreeWidgetItem *> rows;
    rows.reserve(last - waiting.begin());
    for (auto it = waiting.begin(); it != last; ++it) {
        // Outside the tree a row is written without the tree hearing of each change.
        auto *row = new QTreeWidgetItem(rowPrototype);
        row->setText(IdColumn, idText(it->second));
        Entry &entry = entries[it->second];
        writeRow(*row, entry);
        entry.item = row;
        rows.append(row);
    }
    return rows;
}

void CanViewer::writeRow(QTreeWidgetItem &row, const Entry &entry)
{
    row.setText(DirectionColumn, entry.tx ? QStringLiteral("TX") : QStringLiteral("RX"));
    if (entry.intervalMs >= 0)
        row.setText(IntervalColumn, QString::number(entry.intervalMs));
    row.setText(DlcColumn, QString::number(entry.dlc));
    row.setText(DataColumn, dataText(entry.data, storedBytes(entry.dlc)));
}

// The rows are ordered as sorting by the ID column orders them, and the ID
// texts never change: new rows, sorted, go in at their places, before the
// waiting row. QString's operator< is the comparison sorting uses for texts.
void CanViewer::insertRows(const QList<QTreeWidgetItem *> &rows)
{
    if (rows.isEmpty())
        return;
    int count = topLevelItemCount() - (waitingRow ? 1 : 0);
    int at = 0;
    for (auto first = rows.begin(); first != rows.end();) {
        // The existing row the next new ones go before, and how many of them do.
        const QString id = (*first)->text(IdColumn);
        int end = count;
        while (at < end) {
            const int middle = at + (end - at) / 2;
            if (topLevelItem(middle)->text(IdColumn) < id)
                at = middle + 1;
            else
                end = middle;
        }
        auto last = rows.end();
        if (at < count) {
            const QString next = topLevelItem(at)->text(IdColumn);
            last = std::find_if(first, rows.end(), [&](const QTreeWidgetItem *row) { return !(row->text(IdColumn) < next); });
        }
        const QList<QTreeWidgetItem *> run(first, last);
        insertTopLevelItems(at, run);
        at += int(run.size());
        count += int(run.size());
        first = last;
    }
    // Sorting would have marked the column too.
    header()->setSortIndicator(IdColumn, Qt::AscendingOrder);
}

// Every row taken out and put back in order at once; the rows of silent
// entries, out of the list, go without a pass over the rest each.
void CanViewer::rebuildRows(const QList<QTreeWidgetItem *> &gone)
{
    // Taking the rows out loses the user's place in the list; the rows that
    // stay get it back.
    const auto stays = [&](QTreeWidgetItem *row) { return row && !gone.contains(row); };
    QTreeWidgetItem *current = stays(currentItem()) ? currentItem() : nullptr;
    QList<QTreeWidgetItem *> selected = selectedItems();
    selected.removeIf([&](QTreeWidgetItem *row) { return !stays(row); });

    invisibleRootItem()->takeChildren();
    qDeleteAll(gone);
    std::vector<std::pair<quint64, QTreeWidgetItem *>> sorted;
    sorted.reserve(size_t(maxRows));
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (it->item)
            sorted.emplace_back(idOrder(it.key()), it->item);
    }
    std::sort(sorted.begin(), sorted.end());
    QList<QTreeWidgetItem *> rows;
    rows.reserve(qsizetype(sorted.size()) + 1);
    for (const auto &row : sorted)
        rows.append(row.second);
    if (waitingRow)
        rows.append(waitingRow);
    addTopLevelItems(rows);
    header()->setSortIndicator(IdColumn, Qt::AscendingOrder);

    if (current)
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (QTreeWidgetItem *row : std::as_const(selected))
        row->setSelected(true);
}

void CanViewer::showWaiting(qsizetype count)
{
    if (count == 0) {
        delete waitingRow;
        waitingRow = nullptr;
        return;
    }
    if (!waitingRow) {
        waitingRow = new QTreeWidgetItem(rowPrototype);
        addTopLevelItem(waitingRow);
    }
    waitingRow->setText(DirectionColumn, count == 1 ? tr("… 1 weitere Kennung") : tr("… %1 weitere Kennungen").arg(count));
    // Across the columns; a list made again has forgotten it.
    if (!waitingRow->isFirstColumnSpanned())
        waitingRow->setFirstColumnSpanned(true);
}

/*
 * One line per 8-byte frame on the ISO-TP link's two identifiers:
 *
 *   RX 17faf073  8: 30 00 00 00 00 00 00 00
 */
void CanViewer::traceFrame(const VectorCAN::Message &msg) const
{
    if (!msg.extended || msg.dlc != 8 || (msg.id != protocol::isoTpTxId && msg.id != protocol::isoTpFlowControlId))
        return;
    QString line = QStringLiteral("%1 %2  %3:")
                       .arg(msg.tx ? QStringLiteral("TX") : QStringLiteral("RX"))
                       .arg(msg.id, 8, 16, QLatin1Char('0'))
                       .arg(msg.dlc);
    for (quint8 byte : msg.data)
        line += QStringLiteral(" %1").arg(byte, 2, 16, QLatin1Char('0'));
    qDebug("%s", line.toLocal8Bit().constData());
}
