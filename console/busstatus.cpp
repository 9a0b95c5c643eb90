#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QLabel>

namespace {
constexpr int busStatusIntervalMs = 1000;
} // namespace

// Two permanent fields at the right of the status bar, beside the passing
// messages: what the port could not take, and a bus that went away. Both
// stay hidden while there is nothing to say.
void MainWindow::setUpBusStatus()
{
    lostLabel = new QLabel(this);
    busLabel = new QLabel(this);
    lostLabel->setObjectName(QStringLiteral("lostFrames"));
    busLabel->setObjectName(QStringLiteral("busState"));
    for (QLabel *label : {lostLabel, busLabel}) {
        ui->statusBar->addPermanentWidget(label);
        label->hide();
    }
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
    busLabel->setText(tr("CAN-Kanal getrennt: %1").arg(offBusReason));
    busLabel->setVisible(open && !offBusReason.isEmpty());
}
