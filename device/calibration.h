#pragma once

#include "device/pressure.h"

#include <QByteArray>

namespace device {

// The device's four calibration factors, in the order its calibration
// message carries them; signed results in 16 bits, of which the device takes
// the low byte. They start at 1, the neutral value the reset message writes,
// so that a save before any calibration never writes a zero divisor.
struct CalibrationFactors
{
    quint16 sens1Mul = 1;
    quint16 sens1Div = 1;
    quint16 calMul = 1;
    quint16 calDiv = 1;
};

// The factors from the sensors' raw values unloaded and under 5 N; says on
// the debug output which ratios they come to.
CalibrationFactors calibrate(const PressureValues &unloaded, const PressureValues &loaded);
// The load did not raise a sensor's value above its unloaded one.
bool calibrationLooksWrong(const PressureValues &unloaded, const PressureValues &loaded);

// The ISO-TP message that writes the factors into the device.
QByteArray calibrationMessage(const CalibrationFactors &factors);
// The ISO-TP message that resets the device's factors, and the neutral
// factors it writes.
QByteArray resetMessage();
CalibrationFactors resetFactors();

} // namespace device
