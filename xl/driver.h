#pragma once

#include "protocol/deviceprotocol.h"
#include "xl/channel.h"
#include "xl/eventqueue.h"
#include "xl/notifier.h"
#include "xl/xlapi.h"

#include <QElapsedTimer>

#include <map>
#include <memory>
#include <vector>

namespace xl {

// The driver behind the xl* calls: a list of channels and the ports opened on
// them. Everything runs in the thread that uses the calls (the GUI thread);
// backends deliver their frames in that thread too, so nothing here locks.
//
// Ports of one process that are on bus with the same channel hear each other,
// as nodes on one bus do, and every frame a port transmits comes back to that
// port as a received event flagged XL_CAN_MSG_FLAG_TX_COMPLETED.
//
// Each call is virtual so that a test driver can fail any of them on purpose.
class Driver
{
public:
    Driver();
    virtual ~Driver();
    Q_DISABLE_COPY_MOVE(Driver)

    // The driver the xl* calls go to: the installed one, else the process default.
    static Driver &current();
    // Installs a driver for the calls until it is destroyed; nullptr goes back
    // to the process default.
    static void install(Driver *driver);

    // Channels are listed in the order they were added; the position is the
    // channel index, and the access mask has that bit set. At most 64.
    void addChannel(std::unique_ptr<Channel> channel);
    // Received events the port never got: its full queue refused them, or its
    // channel had to let them go.
    quint64 lostEvents(XlPortHandle port) const;

    virtual XlStatus openDriver();
    virtual XlStatus getDriverConfig(XlDriverConfig *config);
    virtual XlStatus openPort(XlPortHandle *port, const char *appName, XlAccess accessMask,
                              XlAccess *permissionMask, unsigned rxQueueSize,
                              unsigned interfaceVersion, unsigned busType);
    virtual XlStatus canSetChannelOutput(XlPortHandle port, XlAccess accessMask, int mode);
    virtual XlStatus canSetChannelBitrate(XlPortHandle port, XlAccess accessMask,
                                          unsigned bitrate);
    virtual XlStatus activateChannel(XlPortHandle port, XlAccess accessMask, unsigned busType,
                                     unsigned flags);
    virtual XlStatus setNotification(XlPortHandle port, XlHandle *handle, int queueLevel);
    virtual XlStatus receive(XlPortHandle port, unsigned *eventCount, XlEvent *events);
    virtual XlStatus canTransmit(XlPortHandle port, XlAccess accessMask, unsigned *messageCount,
                                 const XlEvent *messages);
    virtual XlStatus getPortState(XlPortHandle port, XlPortState *state);
    virtual XlStatus closePort(XlPortHandle port);
    virtual XlStatus closeDriver();

private:
    struct Port
    {
        explicit Port(unsigned queueSize)
            : queue(queueSize)
        {
        }
        XlAccess access = 0;  // channels the port was opened for
        XlAccess onBus = 0;   // channels activated by the port
        int outputMode = XL_OUTPUT_MODE_NORMAL;
        EventQueue queue;
        quint64 lostByChannels = 0;
        std::unique_ptr<Notifier> notifier;  // once xlSetNotification asked for one
        unsigned queueLevel = 1;
        qint64 clockStart = 0;
    };

    struct ChannelSlot
    {
        std::unique_ptr<Channel> channel;
        // Until a port sets one, the rate of the buses the console is built for.
        unsigned bitrate = protocol::bitRate;
        int portsOnBus = 0;
    };

    Port *findPort(XlPortHandle handle);
    // The open port, if it was opened for every channel of the mask.
    XlStatus findPort(XlPortHandle handle, XlAccess accessMask, Port *&port);
    XlAccess allChannels() const;
    void deliver(int channelIndex, const XlEvent &event, const Port *except);
    void lose(int channelIndex, quint64 events);
    void enqueue(Port &port, const XlEvent &event);
    void updateNotification(Port &port);
    XlStatus transmitOne(Port &port, XlAccess accessMask, const XlEvent &message);
    void goOffBus(Port &port);

    std::vector<ChannelSlot> channels;
    std::map<XlPortHandle, Port> ports;
    XlPortHandle nextPort = 0;
    int openCount = 0;
    QElapsedTimer clock;
};

} // namespace xl
