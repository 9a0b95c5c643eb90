#include "xl/channel.h"

namespace xl {

Channel::Channel(QString name, bool canCapable)
    : channelName(std::move(name))
    , canCapable(canCapable)
{
}

Channel::~Channel() = default;

XlStatus Channel::goOnBus(unsigned)
{
    return XL_SUCCESS;
}

void Channel::goOffBus()
{
}

void Channel::deliver(const XlEvent &event) const
{
    if (sink)
        sink(event);
}

} // namespace xl
