#include "ctl/jobs.h"

#include "ctl/output.h"
#include "ctl/station.h"
#include "device/calibration.h"
#include "service/calibrationrecord.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>

namespace ctl {

namespace {

constexpr int snapshotMs = 250;

// The mean of the readings of the snapshotMs after now, at least one.
Exit snapshot(Station &station, device::PressureValues *mean)
{
    const qint64 start = station.now();
    quint64 sum1 = 0;
    quint64 sum2 = 0;
    int n = 0;
    for (; n == 0 || qint64(n) * pressureIntervalMs < snapshotMs; ++n) {
        device::PressureValues values;
        if (const Exit exit = readPressure(station, start + qint64(n) * pressureIntervalMs, &values); exit != Exit::Done)
            return exit;
        sum1 += values.raw1;
        sum2 += values.raw2;
    }
    mean->raw1 = quint16((sum1 + quint64(n) / 2) / quint64(n));
    mean->raw2 = quint16((sum2 + quint64(n) / 2) / quint64(n));
    return Exit::Done;
}

// A step the person at the bench takes: the prompt, their line, the snapshot.
Exit step(const QString &prompt, Station &station, const Output &output, device::PressureValues *values)
{
    output.note(prompt);
    if (station.readLine() != Exit::Done)
        return station.fail(Exit::Aborted, Texts::tr("abgebrochen vor „%1“: %2").arg(prompt, station.failure()));
    const Exit exit = snapshot(station, values);
    if (exit == Exit::Done)
        output.note(QStringLiteral("gusPressureRaw1Div100 %1  gusPressureRaw2Div100 %2").arg(values->raw1).arg(values->raw2));
    return exit;
}

QString hex(const QByteArray &message)
{
    return QString::fromLatin1(message.toHex(' ').toUpper());
}

// Hands the message to the transmitter, with its line in the record settled
// by the transmitter's word as in the console.
Exit write(const service::CalibrationRecord::Entry &entry, Station &station, const Output &output, QString *outcome)
{
    service::CalibrationRecord record(service::CalibrationRecord::standardPath());
    QObject::connect(&record, &service::CalibrationRecord::writeFailed, &station, [&output](const QString &path, const QString &reason) {
        output.failure(Texts::tr("%1 nicht geschrieben: %2").arg(path, reason));
    });
    QObject::connect(&station.transmitter(), &ISOTPTX::transferSent, &record, &service::CalibrationRecord::sent);
    QObject::connect(&station.transmitter(), &ISOTPTX::transferAbandoned, &record, &service::CalibrationRecord::abandoned);
    record.add(entry);
    return station.transfer(entry.message, outcome);
}

service::CalibrationRecord::Entry entry(const Options &options, Station &station, service::CalibrationRecord::Action action,
                                        const device::PressureValues &unloaded, const device::PressureValues &loaded,
                                        const device::CalibrationFactors &factors, const QByteArray &message)
{
    return {QDateTime::currentDateTime(), station.channelName(), action,
            {unloaded.raw1, unloaded.raw2, loaded.raw1, loaded.raw2},
            {factors.sens1Mul, factors.sens1Div, factors.calMul, factors.calDiv}, message, options.serial};
}

} // namespace

Exit calibrate(const Options &options, Station &station, const Output &output)
{
    // Refused before the device is touched: a bench must not find a device
    // calibrated whose report it did not get.
    if (const QFileInfo folder(QFileInfo(options.report).absolutePath()); !options.report.isEmpty() && !(folder.isDir() && folder.isWritable()))
        return station.fail(Exit::Usage, Texts::tr("%1: kein beschreibbarer Ordner für den Bericht").arg(folder.filePath()));
    device::PressureValues unloaded;
    device::PressureValues loaded;
    if (const Exit exit = step(Texts::tr("Ohne Last: Enter drücken"), station, output, &unloaded); exit != Exit::Done)
        return exit;
    if (const Exit exit = step(Texts::tr("Mit 5 N belastet: Enter drücken"), station, output, &loaded); exit != Exit::Done)
        return exit;

    const device::CalibrationFactors factors = device::calibrate(unloaded, loaded);
    const QByteArray message = device::calibrationMessage(factors);
    QJsonObject report{
        {QStringLiteral("channel"), station.channelName()},
        {QStringLiteral("serial"), options.serial},
        {QStringLiteral("unloaded"), rawObject(unloaded)},
        {QStringLiteral("loaded"), rawObject(loaded)},
        {QStringLiteral("factors"), QJsonObject{{QStringLiteral("gucPressureSens1Mul"), factors.sens1Mul},
                                                {QStringLiteral("gucPressureSens1Div"), factors.sens1Div},
                                                {QStringLiteral("gucPressureCalMul"), factors.calMul},
                                                {QStringLiteral("gucPressureCalDiv"), factors.calDiv}}},
        {QStringLiteral("message"), hex(message)},
    };

    Exit exit = Exit::Done;
    QString outcome = QStringLiteral("abgebrochen");
    if (device::calibrationLooksWrong(unloaded, loaded)) {
        output.failure(Texts::tr("Achtung: Last hat die Sensorwerte nicht erhöht (Sensor 1: %1 → %2, Sensor 2: %3 → %4)")
                           .arg(unloaded.raw1).arg(loaded.raw1).arg(unloaded.raw2).arg(loaded.raw2));
        if (!options.force)
            exit = station.fail(Exit::Refused, Texts::tr("Kalibrierung nicht gesendet (--force schreibt sie trotzdem)"));
    }
    if (exit == Exit::Done)
        exit = write(entry(options, station, service::CalibrationRecord::Action::Save, unloaded, loaded, factors, message), station, output, &outcome);
    report.insert(QStringLiteral("outcome"), outcome);
    report.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));

    QString error;
    if (!options.report.isEmpty() && !writeFile(options.report, QJsonDocument(report).toJson(), &error)) {
        output.failure(Texts::tr("%1 nicht geschrieben: %2").arg(options.report, error));
        if (exit == Exit::Done)
            exit = Exit::Usage;
    }
    output.result(report, Texts::tr("Kalibrierung %1 (Faktoren %2/%3/%4/%5)")
                              .arg(Texts::outcome(outcome)).arg(factors.sens1Mul).arg(factors.sens1Div).arg(factors.calMul).arg(factors.calDiv));
    return exit;
}

Exit resetCalibration(const Options &options, Station &station, const Output &output)
{
    const device::CalibrationFactors neutral = device::resetFactors();
    const QByteArray message = device::resetMessage();
    QString outcome;
    const Exit exit = write(entry(options, station, service::CalibrationRecord::Action::Reset, {}, {}, neutral, message), station, output, &outcome);
    if (exit != Exit::Done)
        return exit;
    output.result({{QStringLiteral("reset-calibration"), outcome}, {QStringLiteral("message"), hex(message)}},
                  Texts::tr("Kalibrierung zurückgesetzt: %1").arg(Texts::outcome(outcome)));
    return Exit::Done;
}

} // namespace ctl
