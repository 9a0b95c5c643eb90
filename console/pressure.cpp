#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/deviceprotocol.h"

#include <QDateTime>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QtEndian>

#include <cmath>
#include <cstdlib>

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

void MainWindow::requestPressureSensorRawData()
{
    sendDeviceRequest(protocol::pressureValues);
}

// Accepted whether reading is on or not.
void MainWindow::handlePressureReply(const quint8 *data)
{
    pressureCali = qFromBigEndian<quint16>(data + 2);
    pressureRaw1 = qFromBigEndian<quint16>(data + 4);
    pressureRaw2 = qFromBigEndian<quint16>(data + 6);
    ui->pressure0->setText(QString::number(pressureCali));
    ui->pressure1->setText(QString::number(pressureRaw1));
    ui->pressure2->setText(QString::number(pressureRaw2));
    if (pressureTimer.isActive())
        pressureHistory.append(pressureHistory.now(), pressureCali, pressureRaw1, pressureRaw2);
}

void MainWindow::on_pressureUnstressed_clicked()
{
    unstressedRaw1 = pressureRaw1;
    unstressedRaw2 = pressureRaw2;
    pressureHistory.mark(pressureHistory.now(), ui->pressureUnstressed->text());
    computePressureCalibration();
}

void MainWindow::on_pressureStressed_clicked()
{
    stressedRaw1 = pressureRaw1;
    stressedRaw2 = pressureRaw2;
    pressureHistory.mark(pressureHistory.now(), ui->pressureStressed->text());
    computePressureCalibration();
}

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
void MainWindow::computePressureCalibration()
{
    const int d1 = int(stressedRaw1) - int(unstressedRaw1);
    const int d2 = int(stressedRaw2) - int(unstressedRaw2);

    double x1 = d1;
    double x2 = d2;
    while (!fitsInByte(x1) || !fitsInByte(x2)) {
        x1 /= 2;
        x2 /= 2;
    }
    const qint16 divisor1 = factor(x1);
    const qint16 multiplier1 = factor(x2);
    sens1Div = quint16(divisor1);
    sens1Mul = quint16(multiplier1);

    double y1 = 5000;
    double y2 = 200.0 * d2;
    do {
        y1 /= 2;
        y2 /= 2;
    } while (!fitsInByte(y1) || !fitsInByte(y2));
    calDiv = quint16(factor(y1));
    calMul = quint16(factor(y2));

    qDebug("-> %f / %f  l/r", x1 * multiplier1 / divisor1, x2);
    qDebug("-> %f / %f  cal (%d)", double(float(y1)), double(float(y2)), d2);

    ui->pressure3->setText(QString::number(sens1Mul));
    ui->pressure4->setText(QString::number(sens1Div));
    ui->pressure5->setText(QString::number(calMul));
    ui->pressure6->setText(QString::number(calDiv));
    factorsMeasuredAt = QDateTime::currentDateTime();
    calibrationWarning->setVisible(calibrationLooksWrong());
}

bool MainWindow::calibrationLooksWrong() const
{
    return stressedRaw1 <= unstressedRaw1 || stressedRaw2 <= unstressedRaw2;
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
    const bool suspicious = calibrationLooksWrong();
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

// The low byte of each factor.
void MainWindow::saveCalibration()
{
    const char factors[] = {char(sens1Mul), char(sens1Div), char(calMul), char(calDiv)};
    sendCalibration(tr("speichern"), {sens1Mul, sens1Div, calMul, calDiv},
                    protocol::bytes(protocol::calibrationHead).toByteArray() + QByteArray(factors, sizeof factors),
                    tr("Kalibrierung gesendet"));
}

void MainWindow::on_pressureReset_clicked()
{
    const QByteArray message = protocol::bytes(protocol::calibrationReset).toByteArray();
    // The neutral factors are the message's last four bytes.
    std::array<quint16, 4> factors;
    for (int i = 0; i < 4; ++i)
        factors[i] = quint8(message.at(message.size() - 4 + i));
    sendCalibration(tr("zurücksetzen"), factors, message, tr("Kalibrierung zurückgesetzt"));
}

void MainWindow::sendCalibration(const QString &action, const std::array<quint16, 4> &factors, const QByteArray &message,
                                 const QString &what)
{
    calibrationRecord.add({QDateTime::currentDateTime(), channelName, action,
                           {unstressedRaw1, unstressedRaw2, stressedRaw1, stressedRaw2}, factors, message});
    transfers.send(message, tr("%1 (Faktoren %2/%3/%4/%5)").arg(what).arg(factors[0]).arg(factors[1]).arg(factors[2]).arg(factors[3]));
}
