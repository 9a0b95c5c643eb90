#pragma once

#include "xl/candumplog.h"

#include <QCanBusFrame>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace devsim {

// Plays a log in the can-utils text format (xl/candumplog.h) with the
// timing of its stamps, or that many times faster, read as it plays so that
// a long recording costs no memory. Lines that are no classic data frame are
// skipped and counted.
class Replay : public QObject
{
    Q_OBJECT

public:
    using Send = std::function<void(const QCanBusFrame &)>;
    static constexpr int reportedLines = 5;  // line numbers kept of the skipped ones

    explicit Replay(Send send, QObject *parent = nullptr);

    // False, and why, when the file cannot be read.
    bool open(const QString &path, double speed, QString *error);
    // Plays from now: the first frame at once, the others at their distance.
    void start();

    quint64 played() const { return frames; }
    int skipped() const { return malformed; }
    // The numbers of the first skipped lines, counted from 1.
    const QList<int> &skippedLines() const { return firstMalformed; }

signals:
    void finished();

private:
    void readNext();
    void playDue();

    Send send;
    QFile file;
    double speed = 1;
    std::optional<xl::candump::Frame> next;
    qint64 firstMicros = 0;
    int lineNumber = 0;
    quint64 frames = 0;
    int malformed = 0;
    QList<int> firstMalformed;
    QElapsedTimer clock;
    QTimer timer;
};

} // namespace devsim
