#include "sim/korveldevice.h"

#include "protocol/deviceprotocol.h"

#include <QLoggingCategory>
#include <QtEndian>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstring>

Q_LOGGING_CATEGORY(lcDevice, "korvel.sim.device")

namespace sim {

namespace {

// The force cycle: unloaded for one phase, loaded with the calibration force for the next.
constexpr qint64 phaseMs = 5000;
constexpr double cycleForce = 5.0;

// The two sensors: raw = unloaded + perNewton * force. Their sensitivities are
// low enough that the console's 8-bit calibration factors come out without
// noticeable rounding, so a calibrated device reads 5000 mN at 5 N.
constexpr int unloaded1 = 1000;
constexpr double perNewton1 = 40;
constexpr int unloaded2 = 1200;
constexpr double perNewton2 = 30;
constexpr int sensorNoise = 1;  // counts either way

// The touchpad: a baseline with some noise and one finger that moves across it.
constexpr int baseline = 10;
constexpr int baselineNoise = 5;
constexpr double fingerPeak = 190;
constexpr double fingerSigma = 1.2;  // cells
constexpr qint64 pathMs = 6000;      // one figure of eight
constexpr double pathReach = 0.7;    // of the way from the centre to the edge

quint16 sensor(int unloaded, double perNewton, double force, int noise)
{
    return quint16(std::lround(std::clamp(unloaded + perNewton * force + noise, 0.0, 65535.0)));
}

// Sensor 1's delta is scaled onto sensor 2 and added to sensor 2's delta; the
// sum becomes millinewtons through 100 * calDiv / calMul. The fraction is taken
// exactly and truncated once. A divisor byte of 0 counts as 1: the console
// never writes one, and the device must not fault when something else does.
quint16 calibrated(int raw1, int raw2, const Calibration &f)
{
    const qint64 sens1Div = f.sens1Div ? f.sens1Div : 1;
    const qint64 calMul = f.calMul ? f.calMul : 1;
    const qint64 d1 = raw1 - unloaded1;
    const qint64 d2 = raw2 - unloaded2;
    const qint64 value = (d1 * f.sens1Mul + d2 * sens1Div) * 100 * f.calDiv / (sens1Div * calMul);
    return quint16(std::clamp<qint64>(value, 0, 65535));
}

} // namespace

KorvelDevice::KorvelDevice(QObject *parent)
    : QObject(parent)
{
    clock.start();
    connect(&receiver, &IsoTpReceiver::flowControl, this,
            [this](const QByteArray &frame) { send(protocol::isoTpFlowControlId, frame); });
    connect(&receiver, &IsoTpReceiver::messageReceived, this, &KorvelDevice::handleMessage);
}

KorvelDevice::~KorvelDevice() = default;

void KorvelDevice::handleFrame(const bus::Frame &frame)
{
    if (!frame.has(bus::Frame::Extended) || !frame.isClassicData())
        return;
    const quint8 *data = frame.data.data();
    if (frame.id == protocol::isoTpTxId)
        receiver.handleFrame(data, frame.length);
    else if (frame.id == protocol::requestId && frame.length == 8 && data[0] == protocol::service)
        handleRequest(data);
}

void KorvelDevice::setMatrixSize(int rows, int columns)
{
    this->rows = std::clamp(rows, 0, 255);
    this->columns = std::clamp(columns, 0, 255);
}

void KorvelDevice::holdForce(double newtons)
{
    held = std::isfinite(newtons) ? newtons : 0.0;
}

void KorvelDevice::runForceCycle()
{
    held.reset();
    cycleStart = clock.elapsed();
}

void KorvelDevice::setFlowControl(quint8 blockSize, quint8 stMin)
{
    receiver.setBlockSize(blockSize);
    receiver.setSeparationTime(stMin);
}

std::array<quint16, 3> KorvelDevice::pressureValues() const
{
    const double f = force();
    const quint16 raw1 = sensor(unloaded1, perNewton1, f, randomNoise(sensorNoise));
    const quint16 raw2 = sensor(unloaded2, perNewton2, f, randomNoise(sensorNoise));
    return {calibrated(raw1, raw2, factors), raw1, raw2};
}

void KorvelDevice::handleRequest(const quint8 *data)
{
    QByteArray reply(8, '\0');
    reply[0] = char(protocol::service);
    reply[1] = char(data[1]);
    switch (data[1]) {
    case protocol::pressureValues: {
        const std::array<quint16, 3> values = pressureValues();
        for (size_t i = 0; i < values.size(); ++i)
            qToBigEndian<quint16>(values[i], reply.data() + 2 + 2 * i);
        break;
    }
    case protocol::touchpadHeader:
        takeSnapshot();
        reply[2] = char(copyRows);
        reply[3] = char(copyColumns);
        break;
    case protocol::touchpadData: {
        reply[2] = char(data[2]);
        reply[3] = char(data[3]);
        const int start = data[2] * copyColumns + data[3];
        for (int i = 0; i < 4 && start + i < copy.size(); ++i)
            reply[4 + i] = copy[start + i];
        break;
    }
    default:
        return;
    }
    send(protocol::responseId, reply);
}

// The device keeps the latest messages, whatever they are, but acts on three only.
void KorvelDevice::handleMessage(const QByteArray &message)
{
    // Qt 6's QList drops its first item by moving its start, so the log costs
    // no copying however long it runs.
    if (messages.size() == keptMessages)
        messages.removeFirst();
    messages.append(message);
    QString summary;
    if (message == protocol::bytes(protocol::activation)) {
        summary = QStringLiteral("TP diagnosis activated");
    } else if (message == protocol::bytes(protocol::calibrationReset)) {
        factors = Calibration();
        summary = QStringLiteral("calibration reset to neutral factors");
    } else if (message.size() == protocol::calibrationSize && message.startsWith(protocol::bytes(protocol::calibrationHead))) {
        const auto byte = [&message](int i) { return quint8(message[i]); };
        factors = {byte(6), byte(7), byte(8), byte(9)};
        summary = QStringLiteral("calibration written: sens1Mul %1, sens1Div %2, calMul %3, calDiv %4")
                      .arg(factors.sens1Mul).arg(factors.sens1Div).arg(factors.calMul).arg(factors.calDiv);
    } else {
        summary = QStringLiteral("ignored message ") + QString::fromLatin1(message.toHex(' '));
    }
    qCInfo(lcDevice).noquote() << summary;
    emit messageHandled(summary);
}

// The finger traces a figure of eight around the middle of the pad; its
// centre may lie between cells, as a real finger's does.
void KorvelDevice::takeSnapshot()
{
    const double phase = 2 * M_PI * double(clock.elapsed() % pathMs) / pathMs;
    const double x = (columns - 1) / 2.0 * (1 + pathReach * std::sin(phase));
    const double y = (rows - 1) / 2.0 * (1 + pathReach * std::sin(2 * phase));
    copy.resize(rows * columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const double distance2 = (c - x) * (c - x) + (r - y) * (r - y);
            const double finger = fingerPeak * std::exp(-distance2 / (2 * fingerSigma * fingerSigma));
            const long value = std::lround(baseline + randomNoise(baselineNoise) + finger);
            copy[r * columns + c] = char(std::min(value, 255L));
        }
    }
    copyRows = rows;
    copyColumns = columns;
    emit snapshotTaken(rows, columns);
}

double KorvelDevice::force() const
{
    if (held)
        return *held;
    return (clock.elapsed() - cycleStart) / phaseMs % 2 ? cycleForce : 0.0;
}

int KorvelDevice::randomNoise(int amplitude) const
{
    return noise ? int(noiseRandom.bounded(2 * amplitude + 1)) - amplitude : 0;
}

void KorvelDevice::send(quint32 id, const QByteArray &frame)
{
    bus::Frame out;
    out.id = id;
    out.flags = bus::Frame::Extended;
    out.length = quint8(std::min<qsizetype>(frame.size(), qsizetype(out.data.size())));
    std::memcpy(out.data.data(), frame.constData(), out.length);
    emit frameOut(out);
}

} // namespace sim
