#pragma once

#include "can/vectorcan.h"

#include <QElapsedTimer>
#include <QMap>
#include <QTimer>
#include <QTreeWidget>

// The traffic of the CAN channel as a flat table, one row per identifier: the
// direction, identifier, interval, DLC and data of its latest frame. Frames
// only update a record; the rows follow in one batch every 250 ms, and an
// identifier silent for more than 10 s loses its row.
class CanViewer : public QTreeWidget
{
    Q_OBJECT

public:
    explicit CanViewer(QWidget *parent = nullptr);

private slots:
    void updateList();

public slots:
    void handleMsg(const VectorCAN::Message &msg);
    void clear();

protected:
    // Milliseconds on a monotonic clock, so that intervals and silences do
    // not jump when the system clock is set. Tests move it at will.
    virtual qint64 now() const { return clock.elapsed(); }

private:
    struct Entry
    {
        bool updated = true;     // a frame arrived since the last refresh
        bool isNew = true;       // no row yet
        qint64 lastTime = 0;     // when the latest frame was handled, by now()
        int intervalMs = -1;     // between the two latest frames; -1 after only one
        bool tx = false;
        QTreeWidgetItem *item = nullptr;  // owned by the tree, deleted with the entry
        int dlc = 0;
        quint8 data[8] = {};
    };

    void traceFrame(const VectorCAN::Message &msg) const;
    QTreeWidgetItem *createRow(quint32 key) const;
    void insertRows(const QList<QTreeWidgetItem *> &rows);

    QMap<quint32, Entry> entries;  // by identifier, bit 31 set for extended ones
    QFont rowFont;
    QTimer refreshTimer;
    QElapsedTimer clock;
};
