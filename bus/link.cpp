#include "bus/link.h"

namespace bus {

Link::Link(QObject *parent)
    : QObject(parent)
{
}

Link::~Link() = default;

int Link::take(std::vector<Frame> &out, int max)
{
    const int count = qMin<int>(max, int(handoff.size()));
    out.insert(out.end(), handoff.begin(), handoff.begin() + count);
    handoff.erase(handoff.begin(), handoff.begin() + count);
    return count;
}

void Link::announce()
{
    if (std::exchange(fresh, false))
        emit framesArrived();
}

void Link::end(const QString &reason)
{
    if (std::exchange(ended, true))
        return;
    emit lost(reason);
}

} // namespace bus
