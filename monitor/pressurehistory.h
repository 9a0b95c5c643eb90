#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <array>
#include <deque>

// The pressure values of the last minute and the snapshots taken in it, for
// the chart: a ring of fixed size, so that hours of reading cost no more
// memory than one minute. Times are milliseconds on the history's clock.
class PressureHistory
{
public:
    static constexpr qint64 span = 60000;   // ms kept
    static constexpr int capacity = 4096;   // samples: a minute of replies at up to 68 a second, the polls' 20 and more
    static constexpr int markerCapacity = 64;

    struct Sample
    {
        qint64 at = 0;
        std::array<quint16, 3> values{};  // calibrated value in mN, raw 1, raw 2
    };
    struct Marker
    {
        qint64 at = 0;
        QString label;
    };

    PressureHistory() { clock.start(); }

    qint64 now() const { return clock.elapsed(); }
    // Times must not go back.
    void append(qint64 at, quint16 calibrated, quint16 raw1, quint16 raw2);
    void mark(qint64 at, const QString &label);

    // Oldest first, those of the last minute before the time.
    QList<Sample> samples(qint64 now) const;
    QList<Marker> markers(qint64 now) const;

private:
    QElapsedTimer clock;
    std::array<Sample, capacity> ring;
    int oldest = 0;
    int count = 0;
    std::deque<Marker> marks;
};
