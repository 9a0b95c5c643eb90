#include "monitor/pressurehistory.h"

void PressureHistory::append(qint64 at, quint16 calibrated, quint16 raw1, quint16 raw2)
{
    // The oldest sample makes room when the ring is full.
    if (count == capacity)
        oldest = (oldest + 1) % capacity;
    else
        ++count;
    ring[(oldest + count - 1) % capacity] = Sample{at, {calibrated, raw1, raw2}};
}

void PressureHistory::mark(qint64 at, const QString &label)
{
    while (!marks.empty() && (marks.size() >= markerCapacity || marks.front().at < at - span))
        marks.pop_front();
    marks.push_back(Marker{at, label});
}

QList<PressureHistory::Sample> PressureHistory::samples(qint64 now) const
{
    QList<Sample> shown;
    shown.reserve(count);
    for (int i = 0; i < count; ++i) {
        const Sample &sample = ring[(oldest + i) % capacity];
        if (sample.at >= now - span && sample.at <= now)
            shown.append(sample);
    }
    return shown;
}

QList<PressureHistory::Marker> PressureHistory::markers(qint64 now) const
{
    QList<Marker> shown;
    for (const Marker &marker : marks) {
        if (marker.at >= now - span && marker.at <= now)
            shown.append(marker);
    }
    return shown;
}
