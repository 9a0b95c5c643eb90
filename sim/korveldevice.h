#pragma once

#include "bus/frame.h"
#include "sim/isotpreceiver.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRandomGenerator>

#include <array>
#include <optional>

namespace sim {

// The four factors of the pressure calibration, as the device holds them.
// All 1 is neutral: the calibrated value is then the plain sum of both deltas.
struct Calibration
{
    quint8 sens1Mul = 1;
    quint8 sens1Div = 1;
    quint8 calMul = 1;
    quint8 calDiv = 1;
};

// A Korvel touch input device as a node on a CAN bus: it answers the console's
// requests for pressure values and the touchpad matrix, takes ISO-TP messages
// with flow control, and keeps the calibration written to it. Its frames are
// bus::Frames, so any bus can carry it; a FaultyLink between it and the bus
// makes the bus as slow and unreliable as asked.
class KorvelDevice : public QObject
{
    Q_OBJECT

public:
    explicit KorvelDevice(QObject *parent = nullptr);
    ~KorvelDevice() override;

    // A frame from the bus, whatever it is: the device picks out its own.
    void handleFrame(const bus::Frame &frame);

    // Each dimension 0 to 255; a copy request takes the size in force then.
    void setMatrixSize(int rows, int columns);
    int matrixRows() const { return rows; }
    int matrixColumns() const { return columns; }
    // The matrix as of the last copy request, row-major; empty before the first.
    QByteArray snapshot() const { return copy; }

    // The factors last written; neutral at start and after a reset message.
    Calibration calibration() const { return factors; }
    // The last keptMessages ISO-TP messages received, oldest first, recognised
    // or not: a device that runs for days must not grow with its traffic.
    static constexpr int keptMessages = 64;
    QList<QByteArray> receivedMessages() const { return messages; }

    // Fixes the simulated force in newtons and stops the cycle ...
    void holdForce(double newtons);
    // ... and starts the cycle again from its unloaded phase.
    void runForceCycle();
    // Noise on the sensors and the matrix; without it every value is exact.
    void setNoise(bool on) { noise = on; }
    // What the device asks of an ISO-TP sender: block size and STmin code.
    void setFlowControl(quint8 blockSize, quint8 stMin);
    // Makes the noise repeatable.
    void setSeed(quint32 seed) { noiseRandom.seed(seed); }

    // What a pressure reply carries now: calibrated mN, raw sensor 1, raw sensor 2.
    std::array<quint16, 3> pressureValues() const;

signals:
    // A frame the device puts on the bus at once, from inside handleFrame():
    // 29-bit identifier, 8 bytes.
    void frameOut(const bus::Frame &frame);
    // Each ISO-TP message received, in the words of its trace line, for
    // whoever shows the user what reached the device.
    void messageHandled(const QString &summary);
    // A copy request froze the matrix at this size.
    void snapshotTaken(int rows, int columns);

private:
    void handleRequest(const quint8 *data);
    void handleMessage(const QByteArray &message);
    void takeSnapshot();
    double force() const;
    // A random offset within ±amplitude while noise is on, else 0.
    int randomNoise(int amplitude) const;
    void send(quint32 id, const QByteArray &frame);

    int rows = 14;
    int columns = 24;
    QByteArray copy;
    int copyRows = 0;
    int copyColumns = 0;

    Calibration factors;
    QList<QByteArray> messages;  // at most keptMessages
    IsoTpReceiver receiver{this};  // a child, so that it follows the device to another thread

    QElapsedTimer clock;          // monotonic: the force cycle and the finger's path
    qint64 cycleStart = 0;        // ms on clock when the force cycle began
    std::optional<double> held;   // the force while the cycle is stopped

    bool noise = true;
    mutable QRandomGenerator noiseRandom;
};

} // namespace sim
