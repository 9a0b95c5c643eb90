#include "app/calibrationwriter.h"

#include "service/calibrationrecord.h"
#include "app/session.h"
#include "app/statusfield.h"
#include "app/transferreport.h"

#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

namespace app {

CalibrationWriter::CalibrationWriter(QMainWindow &window, TransferReport &transfers, service::CalibrationRecord &record,
                                     const Session &session)
    : QObject(&window)
    , window(window)
    , transfers(transfers)
    , record(record)
    , session(session)
{
    // Beside the factors it is about, as far as the status bar goes: first.
    warning = addStatusField(*window.statusBar(), QStringLiteral("calibrationWarning"),
                             tr("Achtung: Last hat die Sensorwerte nicht erhöht"), true);
    warning->hide();
}

void CalibrationWriter::confirm(const QString &text)
{
    app::confirm(*window.statusBar(), text);
}

void CalibrationWriter::measured(const device::PressureValues &unloadedNow, const device::PressureValues &loadedNow,
                                 const device::CalibrationFactors &computed)
{
    unloaded = unloadedNow;
    loaded = loadedNow;
    factors = computed;
    measuredAt = QDateTime::currentDateTime();
    warning->setVisible(device::calibrationLooksWrong(unloaded, loaded));
}

void CalibrationWriter::save(bool shown)
{
    if (!measuredAt.isValid()) {
        confirm(tr("Keine Faktoren gemessen: erst „unbelastet“ und „belastet mit 5N“ drücken"));
        return;
    }
    const bool suspicious = device::calibrationLooksWrong(unloaded, loaded);
    if (!shown || suspicious)
        ask(!shown, suspicious);
    else
        write(service::CalibrationRecord::Action::Save, factors, device::calibrationMessage(factors), tr("Kalibrierung gesendet"));
}

void CalibrationWriter::reset()
{
    write(service::CalibrationRecord::Action::Reset, device::resetFactors(), device::resetMessage(), tr("Kalibrierung zurückgesetzt"));
}

void CalibrationWriter::forget()
{
    if (question)
        question->done(QMessageBox::No);
    unloaded = loaded = {};
    factors = {};
    measuredAt = {};
    warning->hide();
}

// Not a nested event loop: the polling, the bus and a stop signal go on
// while the question waits. A new device session closes it unanswered.
void CalibrationWriter::ask(bool hidden, bool suspicious)
{
    if (question) {
        question->raise();
        return;
    }
    QStringList text;
    if (hidden)
        text << tr("Die Faktoren werden nicht angezeigt.");
    if (suspicious)
        text << tr("Die Last hat die Sensorwerte nicht erhöht (Sensor 1: %1 → %2, Sensor 2: %3 → %4).")
                    .arg(unloaded.raw1).arg(loaded.raw1).arg(unloaded.raw2).arg(loaded.raw2);
    text << tr("Diese Faktoren, gemessen um %1, in das Gerät schreiben?").arg(measuredAt.toString(QStringLiteral("HH:mm:ss")));
    text << QStringLiteral("gucPressureSens1Mul %1\ngucPressureSens1Div %2\ngucPressureCalMul %3\ngucPressureCalDiv %4")
                .arg(factors.sens1Mul).arg(factors.sens1Div).arg(factors.calMul).arg(factors.calDiv);
    question = new QMessageBox(QMessageBox::Question, tr("Kalibrierung speichern"), text.join(QLatin1String("\n\n")),
                               QMessageBox::Yes | QMessageBox::No, &window);
    question->button(QMessageBox::Yes)->setText(tr("Ja"));
    question->button(QMessageBox::No)->setText(tr("Nein"));
    question->setDefaultButton(QMessageBox::No);
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QMessageBox::finished, this, [this](int answer) {
        if (answer == QMessageBox::Yes)
            write(service::CalibrationRecord::Action::Save, factors, device::calibrationMessage(factors), tr("Kalibrierung gesendet"));
        else
            confirm(tr("Kalibrierung nicht gesendet"));
    });
    question->open();
}

void CalibrationWriter::write(service::CalibrationRecord::Action action, const device::CalibrationFactors &written, const QByteArray &message,
                              const QString &what)
{
    record.add({QDateTime::currentDateTime(), session.channelName(), action, {unloaded.raw1, unloaded.raw2, loaded.raw1, loaded.raw2},
                {written.sens1Mul, written.sens1Div, written.calMul, written.calDiv}, message, {}});
    transfers.send(message, tr("%1 (Faktoren %2/%3/%4/%5)")
                                .arg(what).arg(written.sens1Mul).arg(written.sens1Div).arg(written.calMul).arg(written.calDiv));
}

} // namespace app
