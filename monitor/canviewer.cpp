#include "canviewer.h"

#include "console/protocol.h"

#include <QHeaderView>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr quint32 extendedKey = 0x80000000;
constexpr int refreshMs = 250;
constexpr qint64 silenceMs = 10000;

// The record holds eight data bytes whatever DLC the bus reported.
int storedBytes(int dlc)
{
    return std::clamp(dlc, 0, 8);
}

// Each byte as two hex digits and a blank, written digit by digit: on a busy
// bus formatting the bytes was most of a refresh.
QString dataText(const quint8 *data, int count)
{
    static constexpr char digits[] = "0123456789abcdef";
    QString text(3 * count, QLatin1Char(' '));
    QChar *out = text.data();
    for (int i = 0; i < count; ++i) {
        out[3 * i] = QLatin1Char(digits[data[i] >> 4]);
        out[3 * i + 1] = QLatin1Char(digits[data[i] & 0xF]);
    }
    return text;
}

} // namespace

CanViewer::CanViewer(QWidget *parent)
    : QTreeWidget(parent)
    , rowFont(QStringLiteral("SmoothTTF"), 9, -1, false)
{
    rowFont.setStyleStrategy(QFont::NoAntialias);
    clock.start();
    setHeaderLabels({tr("Richtung"), tr("ID"), tr("Intervall (ms)"), tr("DLC"), tr("Daten")});
    setAlternatingRowColors(true);
    for (int column = 1; column <= 3; ++column)
        headerItem()->setTextAlignment(column, Qt::AlignRight);
    header()->setSectionResizeMode(4, QHeaderView::Stretch);

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
        it = entries.insert(key, Entry{});
    } else {
        // isNew stays: several frames before the first refresh still get a row.
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
    setUpdatesEnabled(false);
    for (const Entry &entry : std::as_const(entries))
        delete entry.item;
    entries.clear();
    setUpdatesEnabled(true);
}

/*
 * One refresh: every entry with a frame since the last refresh gets its row
 * created or rewritten, every entry silent for more than 10 s loses its row.
 *
 *   column 0  "RX" or "TX", the direction of the latest frame
 *   column 1  the identifier, "07f" (standard) or "*17faf073" (extended)
 *   column 2  ms between the two latest frames, empty after the first one
 *   column 3  the DLC
 *   column 4  the data bytes, each as two hex digits and a blank: "01 a0 ff "
 */
void CanViewer::updateList()
{
    setUpdatesEnabled(false);
    QList<QTreeWidgetItem *> added;
    const qint64 time = now();
    for (auto it = entries.begin(); it != entries.end();) {
        Entry &entry = *it;
        if (!entry.updated) {
            if (time - entry.lastTime > silenceMs) {
                delete entry.item;
                it = entries.erase(it);
            } else {
                ++it;
            }
            continue;
        }

        if (entry.isNew) {
            entry.isNew = false;
            entry.item = createRow(it.key());
            added.append(entry.item);
        }
        QTreeWidgetItem *row = entry.item;
        row->setText(0, entry.tx ? QStringLiteral("TX") : QStringLiteral("RX"));
        if (entry.intervalMs >= 0)
            row->setText(2, QString::number(entry.intervalMs));
        row->setText(3, QString::number(entry.dlc));
        row->setText(4, dataText(entry.data, storedBytes(entry.dlc)));
        entry.updated = false;
        ++it;
    }
    insertRows(added);
    setUpdatesEnabled(true);
}

// Outside the tree a row is written without the tree hearing of each change.
QTreeWidgetItem *CanViewer::createRow(quint32 key) const
{
    auto *row = new QTreeWidgetItem;
    const quint32 id = key & ~extendedKey;
    row->setText(1, key & extendedKey ? QStringLiteral("*%1").arg(id, 6, 16, QLatin1Char('0'))
                                      : QStringLiteral("%1").arg(id, 3, 16, QLatin1Char('0')));
    for (int column = 1; column <= 3; ++column)
        row->setTextAlignment(column, Qt::AlignRight);
    for (int column = 0; column < 5; ++column)
        row->setFont(column, rowFont);
    return row;
}

// The rows are ordered as sorting by the ID column orders them, and the ID
// texts never change: new rows are put in place, and only they are sorted.
// QString's operator< is the comparison sorting uses for texts.
void CanViewer::insertRows(const QList<QTreeWidgetItem *> &rows)
{
    if (rows.isEmpty())
        return;
    std::vector<std::pair<QString, QTreeWidgetItem *>> sorted;
    sorted.reserve(size_t(rows.size()));
    for (QTreeWidgetItem *row : rows)
        sorted.emplace_back(row->text(1), row);
    const auto idBefore = [](const auto &a, const auto &b) { return a.first < b.first; };
    std::sort(sorted.begin(), sorted.end(), idBefore);

    int at = 0;
    for (auto first = sorted.begin(); first != sorted.end();) {
        // The existing row the next new ones go before, and how many of them do.
        int end = topLevelItemCount();
        while (at < end) {
            const int middle = at + (end - at) / 2;
            if (topLevelItem(middle)->text(1) < first->first)
                at = middle + 1;
            else
                end = middle;
        }
        auto last = sorted.end();
        if (at < topLevelItemCount())
            last = std::lower_bound(first, sorted.end(), std::pair(topLevelItem(at)->text(1), nullptr), idBefore);
        QList<QTreeWidgetItem *> run;
        run.reserve(last - first);
        for (auto it = first; it != last; ++it)
            run.append(it->second);
        insertTopLevelItems(at, run);
        at += int(run.size());
        first = last;
    }
    // Sorting would have marked the column too.
    header()->setSortIndicator(1, Qt::AscendingOrder);
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
