#include "sim/buspace.h"

#include <algorithm>
#include <chrono>

namespace sim {

namespace {

qint64 frameTime(const bus::Frame &frame)
{
    return frameNanoseconds(frame.has(bus::Frame::Extended), frame.length);
}

} // namespace

BusPace::BusPace(QObject *parent)
    : QObject(parent)
    , clock([this] { return steady.nsecsElapsed(); })
{
    steady.start();
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &BusPace::release);
}

void BusPace::setClock(Clock newClock)
{
    clock = std::move(newClock);
}

void BusPace::queue(const bus::Frame &frame, qint64 readyAt)
{
    const auto later = std::upper_bound(waiting.cbegin(), waiting.cend(), readyAt,
                                        [](qint64 at, const Timed &waits) { return at < waits.at; });
    waiting.insert(later, {readyAt, frame});
    const qint64 at = now();
    board(at);
    arm(at);
}

std::optional<qint64> BusPace::book(const bus::Frame &frame)
{
    const qint64 at = now();
    board(at);
    std::optional<qint64> end;
    if (freeAt - at <= backlogNs)
        end = freeAt = std::max(freeAt, at) + frameTime(frame);
    arm(at);
    return end;
}

void BusPace::heard()
{
    const qint64 at = now();
    freeAt = std::max(freeAt, at);
    board(at);
    arm(at);
}

void BusPace::release()
{
    const qint64 at = now();
    board(at);
    // Taken off before it is handed on, in case whoever takes it queues more.
    while (!onBus.empty() && onBus.front().at <= at) {
        const bus::Frame frame = onBus.front().frame;
        onBus.pop_front();
        emit carried(frame);
    }
    arm(now());
}

void BusPace::board(qint64 at)
{
    while (!waiting.empty() && waiting.front().at <= at) {
        const Timed &next = waiting.front();
        freeAt = std::max(freeAt, next.at) + frameTime(next.frame);
        onBus.push_back({freeAt, next.frame});
        waiting.pop_front();
    }
}

// Wakes at the end of the next frame out: the first on the bus, or else the
// first waiting as it would go now.
void BusPace::arm(qint64 at)
{
    if (onBus.empty() && waiting.empty()) {
        timer.stop();
        return;
    }
    const qint64 due = !onBus.empty() ? onBus.front().at
                                      : std::max(freeAt, waiting.front().at) + frameTime(waiting.front().frame);
    // Rounded up: a timer that fires early would only have to be set again.
    const qint64 ms = std::max<qint64>(0, (due - at + 999'999) / 1'000'000);
    timer.start(std::chrono::milliseconds(ms));
}

} // namespace sim
