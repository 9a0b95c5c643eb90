#include "ctl/jobs.h"

#include "ctl/output.h"
#include "ctl/station.h"
#include "device/dialogue.h"
#include "device/matrixcsv.h"
#include "device/touchpaddownload.h"
#include "protocol/deviceprotocol.h"

#include <QJsonArray>
#include <QSaveFile>

namespace ctl {

namespace {

constexpr int nmhIntervalMs = 100;

Exit check(Station &station, const Output &output)
{
    const qint64 start = station.now();
    device::PressureValues values;
    if (const Exit exit = readPressure(station, start, &values); exit != Exit::Done)
        return exit;
    const qint64 ms = station.now() - start;
    output.result({{QStringLiteral("device"), QStringLiteral("antwortet")}, {QStringLiteral("ms"), ms}},
                  Texts::tr("Gerät antwortet (%1 ms)").arg(ms));
    return Exit::Done;
}

Exit pressure(const Options &options, Station &station, const Output &output)
{
    const qint64 start = station.now();
    for (int n = 0; n < options.count; ++n) {
        device::PressureValues values;
        if (const Exit exit = readPressure(station, start + qint64(n) * pressureIntervalMs, &values); exit != Exit::Done)
            return exit;
        const double t = double(station.now() - start) / 1000;
        QJsonObject reading = rawObject(values);
        reading.insert(QStringLiteral("gusPressureCali_mN"), values.cali);
        reading.insert(QStringLiteral("t"), t);
        output.result(reading, QStringLiteral("%1 s  gusPressureCali_mN %2  gusPressureRaw1Div100 %3  gusPressureRaw2Div100 %4")
                                   .arg(t, 0, 'f', 3).arg(values.cali).arg(values.raw1).arg(values.raw2));
    }
    return Exit::Done;
}

Exit matrix(const Options &options, Station &station, const Output &output)
{
    using Download = device::TouchpadDownload;
    Download download;
    bool finished = false;
    bool gaveUp = false;
    QTimer resend;
    QObject::connect(&resend, &QTimer::timeout, &station, [&] {
        switch (download.advance(station.now())) {
        case Download::Tick::Resend:
            station.transmit(download.request());
            break;
        case Download::Tick::GaveUp:
        case Download::Tick::NotRunning:
            gaveUp = true;
            resend.stop();
            break;
        }
    });
    station.onFrame([&](const VectorCAN::Message &msg) {
        switch (download.accept(msg, station.now())) {
        case Download::Answer::Ignored:
            return;
        case Download::Answer::Finished:
            finished = true;
            resend.stop();
            return;
        case Download::Answer::HeaderTaken:
        case Download::Answer::DataTaken:
            resend.start(download.resendIntervalMs());
            station.transmit(download.request());
            return;
        }
    });
    const qint64 start = station.now();
    download.start(start);
    station.transmit(download.request());
    resend.start(download.resendIntervalMs());
    const Exit exit = station.waitUntil([&] { return finished || gaveUp; }, true);
    station.onFrame(nullptr);
    if (exit != Exit::Done)
        return exit;
    if (gaveUp)
        return station.fail(Exit::Refused, Texts::tr("Touchpad-Download abgebrochen: keine Antwort seit %1 s")
                                               .arg(Download::giveUpMs / 1000));
    const qint64 ms = station.now() - start;

    const QByteArray csv = device::matrixCsv(download.rows(), download.columns(), download.matrix());
    QJsonObject result{{QStringLiteral("rows"), download.rows()}, {QStringLiteral("columns"), download.columns()},
                       {QStringLiteral("ms"), ms}};
    if (options.out.isEmpty()) {
        if (!output.isJson()) {
            output.raw(csv);
            return Exit::Done;
        }
        QJsonArray rows;
        for (int r = 0; r < download.rows(); ++r) {
            QJsonArray row;
            for (int c = 0; c < download.columns(); ++c)
                row.append(quint8(download.matrix().at(r * download.columns() + c)));
            rows.append(row);
        }
        result.insert(QStringLiteral("matrix"), rows);
        output.result(result, {});
        return Exit::Done;
    }
    QString error;
    if (!writeFile(options.out, csv, &error))
        return station.fail(Exit::Usage, Texts::tr("%1 nicht geschrieben: %2").arg(options.out, error));
    result.insert(QStringLiteral("file"), options.out);
    output.result(result, Texts::tr("Matrix %1 × %2 in %3 (%4 ms)").arg(download.rows()).arg(download.columns()).arg(options.out).arg(ms));
    return Exit::Done;
}

Exit tpDiag(Station &station, const Output &output)
{
    QString outcome;
    const Exit exit = station.transfer(device::activationMessage(), &outcome);
    if (exit != Exit::Done)
        return exit;
    output.result({{QStringLiteral("tp-diag"), outcome}}, Texts::tr("TP-Diagnose %1").arg(Texts::outcome(outcome)));
    return Exit::Done;
}

Exit nmh(const Options &options, Station &station, const Output &output)
{
    const qint64 start = station.now();
    const qint64 end = start + qint64(options.seconds * 1000);
    int frames = 0;
    for (qint64 due = start; due < end; due += nmhIntervalMs) {
        if (const Exit exit = station.waitUntilTime(due); exit != Exit::Done)
            return exit;
        frames += station.transmit(device::nmhFrame()) ? 1 : 0;
    }
    if (const Exit exit = station.waitUntilTime(end); exit != Exit::Done)
        return exit;
    output.result({{QStringLiteral("nmh"), frames}, {QStringLiteral("seconds"), options.seconds}},
                  Texts::tr("NMH gesendet: %1 Rahmen in %2 s").arg(frames).arg(options.seconds));
    return Exit::Done;
}

Exit record(const Options &options, Station &station, const Output &output)
{
    service::Recorder &recorder = station.recorder();
    QString error;
    if (!recorder.start(options.file, &error))
        return station.fail(Exit::Usage, Texts::tr("%1 nicht geschrieben: %2").arg(options.file, error));
    QString failed;
    QObject::connect(&recorder, &service::Recorder::failed, &station,
                     [&failed](const QString &, const QString &reason) { failed = reason; });
    const Exit exit = station.waitUntilTime(station.now() + qint64(options.seconds * 1000),
                                            [&failed] { return !failed.isEmpty(); });
    // Written out also when the bus went or a signal came: what was recorded stays.
    recorder.stop();
    if (!failed.isEmpty())
        return station.fail(Exit::Usage, Texts::tr("Aufzeichnung in %1 abgebrochen: %2").arg(options.file, failed));
    if (exit != Exit::Done)
        return exit;
    output.result({{QStringLiteral("file"), options.file}, {QStringLiteral("frames"), qint64(recorder.frames())},
                   {QStringLiteral("seconds"), options.seconds}},
                  Texts::tr("%1 Rahmen aufgezeichnet in %2").arg(recorder.frames()).arg(options.file));
    return Exit::Done;
}

} // namespace

Exit readPressure(Station &station, qint64 due, device::PressureValues *values)
{
    if (const Exit exit = station.waitUntilTime(due); exit != Exit::Done)
        return exit;
    return station.ask(device::request(protocol::pressureValues), [values](const VectorCAN::Message &msg) {
        const std::optional<device::PressureValues> reply = device::pressureReply(msg);
        if (reply)
            *values = *reply;
        return reply.has_value();
    });
}

// Unbuffered and committed whole, as the grid saves its files.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (qint64 done = 0; written && done < bytes.size();) {
        const qint64 taken = file.write(bytes.constData() + done, bytes.size() - done);
        written = taken > 0;
        done += taken;
    }
    if (written && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

QJsonObject rawObject(const device::PressureValues &values)
{
    return {{QStringLiteral("gusPressureRaw1Div100"), values.raw1}, {QStringLiteral("gusPressureRaw2Div100"), values.raw2}};
}

Exit runJob(const Options &options, Station &station, const Output &output)
{
    switch (options.command) {
    case Command::Check:
        return check(station, output);
    case Command::Pressure:
        return pressure(options, station, output);
    case Command::Matrix:
        return matrix(options, station, output);
    case Command::Calibrate:
        return calibrate(options, station, output);
    case Command::ResetCalibration:
        return resetCalibration(options, station, output);
    case Command::TpDiag:
        return tpDiag(station, output);
    case Command::Nmh:
        return nmh(options, station, output);
    case Command::Record:
        return record(options, station, output);
    case Command::ListChannels:
        break;
    }
    return Exit::Done;
}

} // namespace ctl
