#pragma once

#include "device/calibration.h"
#include "service/calibrationrecord.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

class QLabel;
class QMainWindow;
class QMessageBox;

namespace app {

class Session;
class TransferReport;

// Writes the calibration into the device, and only what the engineer has
// seen: factors measured on this device, in this device session; the ones
// not shown, or that look wrong, only after a question answered "Ja". Each
// message goes into the calibration record before the transmitter gets it.
class CalibrationWriter : public QObject
{
    Q_OBJECT

public:
    CalibrationWriter(QMainWindow &window, TransferReport &transfers, service::CalibrationRecord &record, const Session &session);

    // The factors computed from these snapshots, now.
    void measured(const device::PressureValues &unloaded, const device::PressureValues &loaded,
                  const device::CalibrationFactors &factors);
    // Writes the factors measured; shown says whether the form shows them.
    void save(bool shown);
    // Writes the neutral factors.
    void reset();
    // Another device session: nothing measured before may be written, and a
    // question still open is answered "Nein".
    void forget();

private:
    void ask(bool hidden, bool suspicious);
    // Notes the message in the record, then hands it to the transmitter. The
    // status bar says "<what> (Faktoren a/b/c/d)" and then its outcome.
    void write(service::CalibrationRecord::Action action, const device::CalibrationFactors &written, const QByteArray &message,
               const QString &what);
    void confirm(const QString &text);

    QMainWindow &window;
    TransferReport &transfers;
    service::CalibrationRecord &record;
    const Session &session;
    device::PressureValues unloaded;
    device::PressureValues loaded;
    device::CalibrationFactors factors;
    // When the factors were computed in this device session; invalid before.
    QDateTime measuredAt;
    QPointer<QMessageBox> question;
    QLabel *warning = nullptr;
};

} // namespace app
