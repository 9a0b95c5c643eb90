#pragma once

#include "can/vectorcan.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

// Sends messages of up to 4095 bytes as ISO-TP transfers on one identifier: a
// single frame for up to 7 bytes, else a first frame and consecutive frames
// paced by the receiver's flow control. It only transmits.
class ISOTPTX : public QObject
{
    Q_OBJECT

public:
    enum State { Idle = 0, WaitFirstFlowControl = 1, SendingConsecutive = 2, WaitBlockFlowControl = 3 };

    static constexpr int maxLength = 4095;

    ISOTPTX(VectorCAN *adapter, quint32 txId, bool txExtended, quint32 rxId, bool rxExtended,
            QObject *parent = nullptr);
    ~ISOTPTX() override;

    // False, and nothing sent or queued, for a message over 4095 bytes (or a negative length).
    bool send(const char *data, int length);
    bool send(const QByteArray &message);
    // Picks the receiver's flow control out of the received frames.
    void handleFlowControl(const VectorCAN::Message &msg);
    // Gives up the running message and every one waiting, for a receiver
    // that can no longer be the same (another channel): none of them was
    // meant for the device that may be there now. Each is reported abandoned
    // for that reason.
    void abandon(const QString &reason);

    // What the transmitter does now; the pace of its timer while it runs
    // (-1: stopped); the messages waiting behind the current one.
    State status() const { return State(state); }
    int pace() const { return timer.isActive() ? timer.interval() : -1; }
    int waiting() const { return int(pending.size()); }

signals:
    // The last frame of the message went out.
    void transferSent(const QByteArray &message);
    // The message was given up, and why: the receiver said overflow, or sent
    // no flow control after a block (the next message starts regardless), or
    // abandon() was called.
    void transferAbandoned(const QByteArray &message, const QString &reason);

private slots:
    void tick();

private:
    void startMessage(const QByteArray &message);
    void sendFirstFrame();
    void sendConsecutiveFrame();
    void nextMessage();
    void transmitPadded(const QByteArray &payload);

    int state = Idle;
    QTimer timer;
    VectorCAN *adapter = nullptr;
    quint32 txId = 0;
    bool txExtended = false;
    quint32 rxId = 0;
    bool rxExtended = false;
    QList<QByteArray> pending;
    QByteArray current;
    int offset = 0;
    int blockRemaining = 0;
    int sequence = 0;
};
