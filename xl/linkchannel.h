#pragma once

#include "bus/link.h"
#include "xl/channel.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace xl {

// A channel on whatever bus a link reaches: a CAN adapter through Qt
// SerialBus, a virtual bus through our own client. The link exists only while
// the channel is on bus. The channel takes at most batchSize frames off the
// link per turn of the event loop, so that a flood on the bus leaves the
// console responsive; what the link could not keep meanwhile counts as lost.
//
// Once the link loses its bus the channel says why, delivers nothing more and
// refuses every frame until the last port has left the bus; a new activation
// then starts afresh.
class LinkChannel : public QObject, public Channel
{
    Q_OBJECT

public:
    static constexpr int batchSize = 1024;
    // How long the link may take to open before going on bus fails.
    static constexpr int connectTimeoutMs = 3000;

    // Makes the link, not yet open, for the bit rate the ports asked for;
    // nullptr, and why in *error, when it cannot be made.
    using LinkFactory = std::function<std::unique_ptr<bus::Link>(unsigned bitrate, QString *error)>;

    LinkChannel(QString name, LinkFactory makeLink);
    ~LinkChannel() override;

    XlStatus goOnBus(unsigned bitrate) override;
    void goOffBus() override;
    XlStatus write(const XlEvent &frame) override;

private:
    void takeFrames();

    LinkFactory makeLink;
    std::unique_ptr<bus::Link> link;
    std::vector<bus::Frame> batch;
};

} // namespace xl
