#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/session.h"
#include "device/dialogue.h"
#include "device/pressure.h"
#include "monitor/canwindow.h"

void MainWindow::canReceive()
{
    VectorCAN::Message msg;
    while (can.takeMessage(&msg)) {
        // The recording, the activity window and the transmitter see every
        // frame, also the ones the dispatch drops.
        channelSession->record(msg);
        if (canWindow)
            canWindow->handleMsg(msg);
        isotp.handleFlowControl(msg);

        if (!device::isReply(msg))
            continue;
        channelSession->replies().replyReceived();
        if (const std::optional<device::PressureValues> values = device::pressureReply(msg))
            handlePressureReply(*values);
        else
            handleTPRawReply(msg);
    }
}

// A lost request is covered by the next poll or resend. Only a request that
// went out awaits an answer: without a channel the status bar says "kein
// Kanal", not that the device is silent.
void MainWindow::sendDeviceRequest(const VectorCAN::Message &request)
{
    if (can.transmit(request))
        channelSession->replies().requestSent();
}

void MainWindow::sendNMH()
{
    can.transmit(device::nmhFrame());
}

void MainWindow::on_sendNMH_clicked()
{
    if (ui->sendNMH->isChecked())
        nmhTimer.start(100);
    else
        nmhTimer.stop();
}

void MainWindow::on_activateTPDiag_clicked()
{
    transfers.send(device::activationMessage(), tr("TP-Diagnose gesendet"));
}
