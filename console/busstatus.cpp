#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QLabel>

namespace {
constexpr int busStatusIntervalMs = 1000;
} // namespace

// Permanent fields at the right of the status bar, beside the passing
// messages: a device that does not answer and factors that look wrong, each
// while it is so; what the port could not take, hidden while it took
// everything; and the channel with its state, so that a lost bus is never
// silent.
void MainWindow::setUpBusStatus()
{
    // A device that stops answering looks otherwise like one whose values stay.
    deviceLabel = new QLabel(tr("Gerät antwortet nicht"), this);
    deviceLabel->setObjectName(QStringLiteral("deviceState"));
    ui->statusBar->addPermanentWidget(deviceLabel);
    deviceLabel->hide();
    connect(&replyWatch, &app::ReplyWatch::silenceChanged, this, [this](bool silent) {
        deviceLabel->setVisible(silent);
        if (!silent)
            confirm(tr("Gerät antwortet"));
    });
    // Beside the factors it is about, as far as the status bar goes.
    calibrationWarning = new QLabel(tr("Achtung: Last hat die Sensorwerte nicht erhöht"), this);
    calibrationWarning->setObjectName(QStringLiteral("calibrationWarning"));
    ui->statusBar->addPermanentWidget(calibrationWarning);
    calibrationWarning->hide();

    lostLabel = new QLabel(this);
    busLabel = new QLabel(this);
    lostLabel->setObjectName(QStringLiteral("lostFrames"));
    busLabel->setObjectName(QStringLiteral("busState"));
    ui->statusBar->addPermanentWidget(lostLabel);
    ui->statusBar->addPermanentWidget(busLabel);
    lostLabel->hide();
    connect(&busStatusTimer, &QTimer::timeout, this, &MainWindow::updateBusStatus);
    busStatusTimer.start(busStatusIntervalMs);
}

// Once a second at most: a flood that loses thousands of frames a second
// must not cost a repaint for each.
void MainWindow::updateBusStatus()
{
    quint64 lost = 0;
    QString offBusReason;
    const bool open = can.portState(&lost, &offBusReason);
    lostLabel->setText(tr("%1 Frames verworfen").arg(lost));
    lostLabel->setVisible(open && lost > 0);
    if (!open)
        busLabel->setText(tr("kein Kanal"));
    else if (offBusReason.isEmpty())
        busLabel->setText(tr("%1 · verbunden").arg(channelName));
    else
        busLabel->setText(tr("%1 · getrennt: %2").arg(channelName, offBusReason));
    recordingLabel->setText(tr("Aufzeichnung: %1 Frames").arg(recorder.frames()));
    recordingLabel->setVisible(recorder.isRecording());
}
