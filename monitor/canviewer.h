#pragma once

#include "can/vectorcan.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <QTreeWidget>

// The traffic of the CAN channel as a flat table, one row per identifier: the
// direction, identifier, interval, DLC and data of its latest frame. Frames
// only update a record; the rows follow in one batch every 250 ms, and an
// identifier silent for more than 10 s loses its row and its record. There are
// at most maxRows rows: identifiers beyond them keep their records, wait, and
// are counted in a last row until rows free up.
class CanViewer : public QTreeWidget
{
    Q_OBJECT

public:
    explicit CanViewer(QWidget *parent = nullptr);

    // The columns of a row, left to right.
    enum Column {
        DirectionColumn,  // "RX" or "TX", the direction of the latest frame
        IdColumn,         // the identifier, "07f" (standard) or "*17faf073" (extended)
        IntervalColumn,   // ms between the two latest frames, empty after the first one
        DlcColumn,        // the DLC
        DataColumn,       // the data bytes, each as two hex digits and a blank: "01 a0 ff "
        ColumnCount
    };

    // Rows for identifiers, few enough for a refresh that fills them all to
    // stay well within a frame's time, and for the heap a flood of new
    // identifiers leaves behind to shrink back once they have gone.
    static constexpr int maxRows = 5000;

private slots:
    void updateList();

public slots:
    void handleMsg(const VectorCAN::Message &msg);
    void clear();

protected:
    // Rows that come into sight get their latest values.
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

    // Milliseconds on a monotonic clock, so that intervals and silences do
    // not jump when the system clock is set. Tests move it at will.
    virtual qint64 now() const { return clock.elapsed(); }

private:
    struct Entry
    {
        qint64 lastTime = 0;               // when the latest frame was handled, by now()
        QTreeWidgetItem *item = nullptr;   // owned by the tree, deleted with the entry; none while waiting
        int intervalMs = -1;               // between the two latest frames; -1 after only one
        int dlc = 0;
        quint8 data[8] = {};
        bool tx = false;
        bool updated = true;               // a frame arrived since the last refresh
        bool stale = false;                // its row, out of sight, shows older values
    };

    void traceFrame(const VectorCAN::Message &msg) const;
    QList<QTreeWidgetItem *> createRows(qsizetype room);
    static void writeRow(QTreeWidgetItem &row, const Entry &entry);
    void writeVisibleRows();
    void insertRows(const QList<QTreeWidgetItem *> &rows);
    void rebuildRows(const QList<QTreeWidgetItem *> &gone);
    void showWaiting(qsizetype count);

    QHash<quint32, Entry> entries;  // by identifier, bit 31 set for extended ones
    QTreeWidgetItem rowPrototype;   // the fonts and alignments every row shares
    QTreeWidgetItem *waitingRow = nullptr;  // the last row while identifiers wait for one
    QTimer refreshTimer;
    QElapsedTimer clock;
};
