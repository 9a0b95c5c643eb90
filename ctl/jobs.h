#pragma once

#include "ctl/options.h"
#include "device/pressure.h"

#include <QJsonObject>

namespace ctl {

class Output;
class Station;

// The command of the options, on the station's open channel; Done, or the
// exit code with the station's failure() saying why.
Exit runJob(const Options &options, Station &station, const Output &output);

// The readings are taken as the console polls them.
constexpr int pressureIntervalMs = 50;
// The reading due at that time on the station's clock: the request waits
// until then and is asked again until the device answers.
Exit readPressure(Station &station, qint64 due, device::PressureValues *values);
// A file written whole or not at all; false, and why.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error);
// The raw values under the names the console gives them.
QJsonObject rawObject(const device::PressureValues &values);

// The calibration, step by step with the person at the bench (calibrate.cpp).
Exit calibrate(const Options &options, Station &station, const Output &output);
// The neutral calibration written, and recorded as the console records it.
Exit resetCalibration(const Options &options, Station &station, const Output &output);

} // namespace ctl
