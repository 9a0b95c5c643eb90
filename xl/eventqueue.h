#pragma once

#include "xl/xlapi.h"

#include <vector>

namespace xl {

// A port's receive queue: a fixed ring of events. A full queue refuses further
// events instead of writing over the oldest, and counts what it refused.
class EventQueue
{
public:
    explicit EventQueue(unsigned capacity)
        : ring(capacity)
    {
    }

    bool isEmpty() const { return count == 0; }
    unsigned size() const { return count; }
    quint64 lost() const { return refused; }

    bool push(const XlEvent &event)
    {
        if (count == ring.size()) {
            ++refused;
            return false;
        }
        ring[(head + count) % ring.size()] = event;
        ++count;
        return true;
    }

    bool pop(XlEvent *event)
    {
        if (count == 0)
            return false;
        *event = ring[head];
        head = (head + 1) % ring.size();
        --count;
        return true;
    }

private:
    std::vector<XlEvent> ring;
    size_t head = 0;
    unsigned count = 0;
    quint64 refused = 0;
};

} // namespace xl
