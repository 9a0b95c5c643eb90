#include "app/replywatch.h"

namespace app {

namespace {
// The check stops once nothing has been asked for this long, so that an idle
// console does not wake for it.
constexpr int idleAfterMs = 2 * ReplyWatch::silenceMs;
} // namespace

ReplyWatch::ReplyWatch(QObject *parent)
    : QObject(parent)
{
    clock.start();
    connect(&checkTimer, &QTimer::timeout, this, &ReplyWatch::check);
}

// Called for every request, up to a thousand a second during a download:
// no more than a clock read unless the check has to be started.
void ReplyWatch::requestSent()
{
    lastRequest = clock.elapsed();
    if (unansweredSince < 0)
        unansweredSince = lastRequest;
    if (!checkTimer.isActive())
        checkTimer.start(checkIntervalMs);
}

void ReplyWatch::replyReceived()
{
    unansweredSince = -1;
    if (silent) {
        silent = false;
        emit silenceChanged(false);
    }
}

void ReplyWatch::reset()
{
    lastRequest = -1;
    checkTimer.stop();
    replyReceived();
}

void ReplyWatch::check()
{
    const qint64 now = clock.elapsed();
    if (!silent && unansweredSince >= 0 && now - unansweredSince >= silenceMs) {
        silent = true;
        emit silenceChanged(true);
    }
    if (lastRequest < 0 || now - lastRequest >= idleAfterMs)
        checkTimer.stop();
}

} // namespace app
