#pragma once

#include "xl/xlapi.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

// The console's one CAN channel: opens the CAN driver, lists its CAN channels,
// opens one of them and moves classic CAN frames between the driver and the
// console.
class VectorCAN : public QObject
{
    Q_OBJECT

public:
    // One classic CAN frame.
    struct Message
    {
        bool tx = false;  // this port's own transmission, reported back by the driver
        quint32 id = 0;   // without the marker bit of extended identifiers
        bool extended = false;
        qint32 dlc = 0;   // as on the bus; data holds at most 8 bytes of it
        quint8 data[8] = {};
    };

    struct ChannelEntry
    {
        int index = 0;
        QString name;
    };

    explicit VectorCAN(QObject *parent = nullptr);
    ~VectorCAN() override;

    bool listChannels(QList<ChannelEntry> &list);
    bool open(int channelIndex, int bitrate, const QString &appName);
    void close();
    bool transmit(quint32 id, bool extended, int length, const quint8 *data);
    bool transmit(const Message &msg);
    bool takeMessage(Message *msg);
    // Frames the port missed so far, and why its bus is gone (empty while it
    // is there); false without an open port.
    bool portState(quint64 *lostFrames, QString *offBusReason);

signals:
    void messageReceived();

public slots:
    void readMessages();

private:
    bool readDriverConfig(XlDriverConfig &config);

    bool driverOpen = false;
    bool portOpen = false;
    XlPortHandle portHandle = XL_INVALID_PORTHANDLE;
    XlAccess accessMask = 0;
    QSocketNotifier *notifier = nullptr;
    QTimer pollTimer;
    QList<Message> rxQueue;
};

Q_DECLARE_METATYPE(VectorCAN::Message)
