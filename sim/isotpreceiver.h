#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace sim {

// The device's side of an ISO-TP transfer: reassembles the single, first and
// consecutive frames arriving on the device's request identifier and answers
// each first frame, and each completed block, with a flow control. The owner
// filters the identifier and puts the flow-control frames on the bus.
class IsoTpReceiver : public QObject
{
    Q_OBJECT

public:
    explicit IsoTpReceiver(QObject *parent = nullptr);
    ~IsoTpReceiver() override;

    // What the flow control asks of the sender: consecutive frames per block
    // (0: all of them) and the separation time between them (STmin code).
    void setBlockSize(quint8 frames) { blockSize = frames; }
    void setSeparationTime(quint8 stMin) { separationTime = stMin; }
    // The longest message the device takes; a longer one is refused with an overflow.
    void setCapacity(int bytes) { capacity = bytes; }

    void handleFrame(const quint8 *data, int dlc);

signals:
    // Eight bytes to send on the flow-control identifier.
    void flowControl(const QByteArray &frame);
    void messageReceived(const QByteArray &message);

private:
    void startTransfer(const quint8 *data);
    void takeConsecutive(const quint8 *data, int length);
    void sendFlowControl(quint8 status);
    void abandon();

    quint8 blockSize = 0;
    quint8 separationTime = 0;
    int capacity = 4095;

    QByteArray message;  // the transfer being reassembled
    int expected = 0;    // its announced length; 0 while no transfer runs
    int sequence = 0;    // sequence number of the next consecutive frame
    int blockCount = 0;  // consecutive frames received in the current block
    QTimer timeout;      // gives up a transfer whose next frame does not come
};

} // namespace sim
