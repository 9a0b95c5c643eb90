#include "device/calibration.h"

#include "protocol/deviceprotocol.h"

#include <QtDebug>

#include <cmath>

namespace device {

namespace {

bool fitsInByte(double value)
{
    return std::abs(std::trunc(value)) <= 255;
}

// The device takes each factor as one byte and never a zero.
qint16 factor(double value)
{
    const auto truncated = qint16(std::trunc(value));
    return truncated == 0 ? 1 : truncated;
}

} // namespace

/*
 * Two-point calibration from the unloaded and the 5 N snapshots, d1 and d2
 * being the two sensors' deltas:
 *
 *   sens1Mul / sens1Div  ≈ d2 / d1           scales sensor 1 onto sensor 2
 *   calMul / calDiv      ≈ 200 · d2 / 5000   turns the sum into mN
 *
 * Both pairs are halved together until each term fits into a byte.
 */
CalibrationFactors calibrate(const PressureValues &unloaded, const PressureValues &loaded)
{
    const int d1 = int(loaded.raw1) - int(unloaded.raw1);
    const int d2 = int(loaded.raw2) - int(unloaded.raw2);

    double x1 = d1;
    double x2 = d2;
    while (!fitsInByte(x1) || !fitsInByte(x2)) {
        x1 /= 2;
        x2 /= 2;
    }
    const qint16 divisor1 = factor(x1);
    const qint16 multiplier1 = factor(x2);

    double y1 = 5000;
    double y2 = 200.0 * d2;
    do {
        y1 /= 2;
        y2 /= 2;
    } while (!fitsInByte(y1) || !fitsInByte(y2));

    qDebug("-> %f / %f  l/r", x1 * multiplier1 / divisor1, x2);
    qDebug("-> %f / %f  cal (%d)", double(float(y1)), double(float(y2)), d2);
    return {quint16(multiplier1), quint16(divisor1), quint16(factor(y2)), quint16(factor(y1))};
}

bool calibrationLooksWrong(const PressureValues &unloaded, const PressureValues &loaded)
{
    return loaded.raw1 <= unloaded.raw1 || loaded.raw2 <= unloaded.raw2;
}

QByteArray calibrationMessage(const CalibrationFactors &factors)
{
    const char low[] = {char(factors.sens1Mul), char(factors.sens1Div), char(factors.calMul), char(factors.calDiv)};
    return protocol::bytes(protocol::calibrationHead).toByteArray() + QByteArray(low, sizeof low);
}

QByteArray resetMessage()
{
    return protocol::bytes(protocol::calibrationReset).toByteArray();
}

// The message's last four bytes.
CalibrationFactors resetFactors()
{
    const QByteArray message = resetMessage();
    const auto at = [&message](int fromEnd) { return quint16(quint8(message.at(message.size() - fromEnd))); };
    return {at(4), at(3), at(2), at(1)};
}

} // namespace device
