#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/devicedata.h"
#include "app/session.h"
#include "device/dialogue.h"
#include "protocol/deviceprotocol.h"

#include <QDateTime>
#include <QLabel>
#include <QMessageBox>

void MainWindow::on_readPressureSensors_clicked()
{
    if (ui->readPressureSensors->isChecked()) {
        pressureTimer.start(50);
        return;
    }
    clearValueLabels();
    pressureTimer.stop();
}

void MainWindow::clearValueLabels()
{
    for (QLabel *label : {ui->pressure0, ui->pressure1, ui->pressure2, ui->pressure3, ui->pressure4,
                          ui->pressure5, ui->pressure6})
        label->setText(tr("-"));
}

// Nothing measured on the device before may be written into the one the
// port leads to now.
void MainWindow::startDeviceSession()
{
    if (calibrationQuestion)
        calibrationQuestion->done(QMessageBox::No);
    isotp.abandon(tr("Kanal neu geöffnet"));
    pressureCali = pressureRaw1 = pressureRaw2 = 0;
    unstressedRaw1 = unstressedRaw2 = stressedRaw1 = stressedRaw2 = 0;
    const device::CalibrationFactors neutral;
    sens1Mul = neutral.sens1Mul;
    sens1Div = neutral.sens1Div;
    calMul = neutral.calMul;
    calDiv = neutral.calDiv;
    factorsMeasuredAt = {};
    clearValueLabels();
    calibrationWarning->hide();
}

void MainWindow::requestPressureSensorRawData()
{
    sendDeviceRequest(device::request(protocol::pressureValues));
}

// Accepted whether reading is on or not.
void MainWindow::handlePressureReply(const device::PressureValues &values)
{
    pressureCali = values.cali;
    pressureRaw1 = values.raw1;
    pressureRaw2 = values.raw2;
    ui->pressure0->setText(QString::number(pressureCali));
    ui->pressure1->setText(QString::number(pressureRaw1));
    ui->pressure2->setText(QString::number(pressureRaw2));
    if (pressureTimer.isActive())
        deviceRecords->history().append(deviceRecords->history().now(), pressureCali, pressureRaw1, pressureRaw2);
}

void MainWindow::on_pressureUnstressed_clicked()
{
    unstressedRaw1 = pressureRaw1;
    unstressedRaw2 = pressureRaw2;
    deviceRecords->history().mark(deviceRecords->history().now(), ui->pressureUnstressed->text());
    computePressureCalibration();
}

void MainWindow::on_pressureStressed_clicked()
{
    stressedRaw1 = pressureRaw1;
    stressedRaw2 = pressureRaw2;
    deviceRecords->history().mark(deviceRecords->history().now(), ui->pressureStressed->text());
    computePressureCalibration();
}

void MainWindow::computePressureCalibration()
{
    const device::CalibrationFactors factors = device::calibrate(unstressed(), stressed());
    sens1Mul = factors.sens1Mul;
    sens1Div = factors.sens1Div;
    calMul = factors.calMul;
    calDiv = factors.calDiv;
    ui->pressure3->setText(QString::number(sens1Mul));
    ui->pressure4->setText(QString::number(sens1Div));
    ui->pressure5->setText(QString::number(calMul));
    ui->pressure6->setText(QString::number(calDiv));
    factorsMeasuredAt = QDateTime::currentDateTime();
    calibrationWarning->setVisible(device::calibrationLooksWrong(unstressed(), stressed()));
}

// Only factors measured on this device go into it, and only those the
// engineer sees or has been shown.
void MainWindow::on_pressureCalibSave_clicked()
{
    if (!factorsMeasuredAt.isValid()) {
        confirm(tr("Keine Faktoren gemessen: erst „unbelastet“ und „belastet mit 5N“ drücken"));
        return;
    }
    const bool hidden = ui->pressure3->text() == tr("-");
    const bool suspicious = device::calibrationLooksWrong(unstressed(), stressed());
    if (hidden || suspicious)
        askBeforeSaving(hidden, suspicious);
    else
        saveCalibration();
}

// Not a nested event loop: the polling, the bus and a stop signal go on
// while the question waits. A new device session closes it unanswered.
void MainWindow::askBeforeSaving(bool hidden, bool suspicious)
{
    if (calibrationQuestion) {
        calibrationQuestion->raise();
        return;
    }
    QStringList text;
    if (hidden)
        text << tr("Die Faktoren werden nicht angezeigt.");
    if (suspicious)
        text << tr("Die Last hat die Sensorwerte nicht erhöht (Sensor 1: %1 → %2, Sensor 2: %3 → %4).")
                    .arg(unstressedRaw1).arg(stressedRaw1).arg(unstressedRaw2).arg(stressedRaw2);
    text << tr("Diese Faktoren, gemessen um %1, in das Gerät schreiben?")
                .arg(factorsMeasuredAt.toString(QStringLiteral("HH:mm:ss")));
    text << QStringLiteral("gucPressureSens1Mul %1\ngucPressureSens1Div %2\ngucPressureCalMul %3\ngucPressureCalDiv %4")
                .arg(sens1Mul).arg(sens1Div).arg(calMul).arg(calDiv);
    calibrationQuestion = new QMessageBox(QMessageBox::Question, tr("Kalibrierung speichern"), text.join(QLatin1String("\n\n")),
                                          QMessageBox::Yes | QMessageBox::No, this);
    calibrationQuestion->button(QMessageBox::Yes)->setText(tr("Ja"));
    calibrationQuestion->button(QMessageBox::No)->setText(tr("Nein"));
    calibrationQuestion->setDefaultButton(QMessageBox::No);
    calibrationQuestion->setAttribute(Qt::WA_DeleteOnClose);
    connect(calibrationQuestion, &QMessageBox::finished, this, [this](int answer) {
        if (answer == QMessageBox::Yes)
            saveCalibration();
        else
            confirm(tr("Kalibrierung nicht gesendet"));
    });
    calibrationQuestion->open();
}

void MainWindow::saveCalibration()
{
    const device::CalibrationFactors factors{sens1Mul, sens1Div, calMul, calDiv};
    sendCalibration(tr("speichern"), factors, device::calibrationMessage(factors), tr("Kalibrierung gesendet"));
}

void MainWindow::on_pressureReset_clicked()
{
    sendCalibration(tr("zurücksetzen"), device::resetFactors(), device::resetMessage(), tr("Kalibrierung zurückgesetzt"));
}

void MainWindow::sendCalibration(const QString &action, const device::CalibrationFactors &factors, const QByteArray &message,
                                 const QString &what)
{
    deviceRecords->calibrations().add({QDateTime::currentDateTime(), channelSession->channelName(), action,
                                       {unstressedRaw1, unstressedRaw2, stressedRaw1, stressedRaw2},
                                       {factors.sens1Mul, factors.sens1Div, factors.calMul, factors.calDiv}, message});
    transfers.send(message, tr("%1 (Faktoren %2/%3/%4/%5)")
                                .arg(what).arg(factors.sens1Mul).arg(factors.sens1Div).arg(factors.calMul).arg(factors.calDiv));
}
