#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/calibrationwriter.h"
#include "app/devicedata.h"
#include "device/dialogue.h"
#include "protocol/deviceprotocol.h"

#include <QLabel>

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
    calibration->forget();
    isotp.abandon(tr("Kanal neu geöffnet"));
    pressureCali = pressureRaw1 = pressureRaw2 = 0;
    unstressedRaw1 = unstressedRaw2 = stressedRaw1 = stressedRaw2 = 0;
    const device::CalibrationFactors neutral;
    sens1Mul = neutral.sens1Mul;
    sens1Div = neutral.sens1Div;
    calMul = neutral.calMul;
    calDiv = neutral.calDiv;
    clearValueLabels();
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
    const device::PressureValues unloaded{0, unstressedRaw1, unstressedRaw2};
    const device::PressureValues loaded{0, stressedRaw1, stressedRaw2};
    const device::CalibrationFactors factors = device::calibrate(unloaded, loaded);
    sens1Mul = factors.sens1Mul;
    sens1Div = factors.sens1Div;
    calMul = factors.calMul;
    calDiv = factors.calDiv;
    ui->pressure3->setText(QString::number(sens1Mul));
    ui->pressure4->setText(QString::number(sens1Div));
    ui->pressure5->setText(QString::number(calMul));
    ui->pressure6->setText(QString::number(calDiv));
    calibration->measured(unloaded, loaded, factors);
}

// Only factors measured on this device go into it, and only those the
// engineer sees or has been shown.
void MainWindow::on_pressureCalibSave_clicked()
{
    calibration->save(ui->pressure3->text() != tr("-"));
}

void MainWindow::on_pressureReset_clicked()
{
    calibration->reset();
}
