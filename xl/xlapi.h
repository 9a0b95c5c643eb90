#pragma once

// The CAN driver interface the console is written against: a handful of C-style
// calls that return a 16-bit status, and the packed records they fill or read.
// The records keep the byte layout of the driver library the console was first
// built for, so that the adapter above them reads the same bytes at the same
// positions whichever driver stands behind the calls.

#include <QtGlobal>

#include <cstddef>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN,
              "the driver records are little-endian and read as native integers");

using XlStatus = quint16;
using XlPortHandle = qint32;
using XlAccess = quint64;
// The notification handle: an eventfd that is readable while receive events wait.
using XlHandle = int;

// Status results. 0 and 10 are what the adapter tests for; the others tell a
// caller (or a test) why a call failed.
constexpr XlStatus XL_SUCCESS = 0;
constexpr XlStatus XL_ERR_QUEUE_IS_EMPTY = 10;     // xlReceive: nothing waits
constexpr XlStatus XL_ERR_TX_NOT_POSSIBLE = 12;    // the bus refused the frame
constexpr XlStatus XL_ERR_WRONG_PARAMETER = 101;   // an argument out of range
constexpr XlStatus XL_ERR_INVALID_ACCESS = 112;    // the access mask names no channel of the port
constexpr XlStatus XL_ERR_PORT_IS_OFFLINE = 113;   // the channel has not been activated
constexpr XlStatus XL_ERR_INVALID_PORT = 118;      // no such open port
constexpr XlStatus XL_ERR_HW_NOT_PRESENT = 129;    // the channel's device could not be opened
constexpr XlStatus XL_ERR_CANNOT_OPEN_DRIVER = 201; // the driver is not open
constexpr XlStatus XL_ERROR = 255;                 // any other failure

constexpr XlPortHandle XL_INVALID_PORTHANDLE = -1;

constexpr unsigned XL_INTERFACE_VERSION = 3;
constexpr unsigned XL_BUS_TYPE_CAN = 1;
constexpr quint32 XL_BUS_COMPATIBLE_CAN = 0x00010000;  // bus capability bit of a CAN channel
constexpr int XL_OUTPUT_MODE_SILENT = 0;
constexpr int XL_OUTPUT_MODE_NORMAL = 1;
constexpr unsigned XL_ACTIVATE_RESET_CLOCK = 8;

constexpr quint8 XL_RECEIVE_MSG = 1;
constexpr quint8 XL_TRANSMIT_MSG = 10;
constexpr quint32 XL_CAN_EXT_MSG_ID = 0x80000000;
constexpr quint16 XL_CAN_MSG_FLAG_TX_COMPLETED = 0x0040;

constexpr int XL_MAX_CHANNELS = 64;
constexpr int XL_MAX_APPNAME = 32;  // bytes of the application name field, terminator included
constexpr int XL_CAN_MAX_DATA = 8;
constexpr int XL_CAN_MAX_DLC = 15;  // a classic CAN DLC has four bits; 9 to 15 still carry 8 bytes

#pragma pack(push, 1)

struct XlChannelConfig {
    char name[32];
    quint8 reserved0[9];
    quint8 channelIndex;
    XlAccess channelMask;
    quint8 reserved1[4];
    quint32 busCapabilities;
    quint8 reserved2[169];
};

struct XlDriverConfig {
    quint32 dllVersion;
    quint32 channelCount;
    quint8 reserved[40];
    XlChannelConfig channel[XL_MAX_CHANNELS];
};

struct XlEvent {
    quint8 tag;
    quint8 channelIndex;
    quint8 reserved0[6];
    quint64 timeStamp;  // nanoseconds since the port's channel was activated
    quint32 id;         // bit 31 marks a 29-bit identifier
    quint16 flags;
    quint16 dlc;
    quint8 reserved1[8];
    quint8 data[8];
    quint8 reserved2[8];
};

// What a port has missed and whether its bus is still there. Not among the
// calls the console was first built against: the console's status bar asks
// for it.
struct XlPortState {
    quint64 lostEvents;   // received events the port never got: its queue was
                          // full, or its channel could not keep up
    quint32 busLost;      // 1 while a channel of the port has lost its bus
    char reason[128];     // why, zero-terminated; empty while busLost is 0
};

#pragma pack(pop)

static_assert(sizeof(XlChannelConfig) == 227);
static_assert(offsetof(XlChannelConfig, channelIndex) == 41);
static_assert(offsetof(XlChannelConfig, channelMask) == 42);
static_assert(offsetof(XlChannelConfig, busCapabilities) == 54);
static_assert(sizeof(XlDriverConfig) == 14576);
static_assert(offsetof(XlDriverConfig, channelCount) == 4);
static_assert(offsetof(XlDriverConfig, channel) == 48);
static_assert(sizeof(XlEvent) == 48);
static_assert(offsetof(XlEvent, id) == 16);
static_assert(offsetof(XlEvent, flags) == 20);
static_assert(offsetof(XlEvent, dlc) == 22);
static_assert(offsetof(XlEvent, data) == 32);

XlStatus xlOpenDriver();
XlStatus xlGetDriverConfig(XlDriverConfig *config);
XlStatus xlOpenPort(XlPortHandle *port, const char *appName, XlAccess accessMask,
                    XlAccess *permissionMask, unsigned rxQueueSize, unsigned interfaceVersion,
                    unsigned busType);
XlStatus xlCanSetChannelOutput(XlPortHandle port, XlAccess accessMask, int mode);
XlStatus xlCanSetChannelBitrate(XlPortHandle port, XlAccess accessMask, unsigned bitrate);
XlStatus xlActivateChannel(XlPortHandle port, XlAccess accessMask, unsigned busType,
                           unsigned flags);
XlStatus xlSetNotification(XlPortHandle port, XlHandle *handle, int queueLevel);
XlStatus xlReceive(XlPortHandle port, unsigned *eventCount, XlEvent *events);
XlStatus xlCanTransmit(XlPortHandle port, XlAccess accessMask, unsigned *messageCount,
                       const XlEvent *messages);
XlStatus xlGetPortState(XlPortHandle port, XlPortState *state);
XlStatus xlClosePort(XlPortHandle port);
XlStatus xlCloseDriver();
