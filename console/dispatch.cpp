#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/deviceprotocol.h"
#include "monitor/canwindow.h"

void MainWindow::canReceive()
{
    VectorCAN::Message msg;
    while (can.takeMessage(&msg)) {
        // The recording, the activity window and the transmitter see every
        // frame, also the ones the dispatch drops.
        recorder.record(msg);
        if (canWindow)
            canWindow->handleMsg(msg);
        isotp.handleFlowControl(msg);

        if (!msg.extended || msg.id != protocol::responseId || msg.dlc != 8 || msg.data[0] != protocol::service)
            continue;
        replyWatch.replyReceived();
        switch (msg.data[1]) {
        case protocol::pressureValues:
            handlePressureReply(msg.data);
            break;
        case protocol::touchpadHeader:
            if (tpRawState == TPRawInit)
                handleTPRawHeader(msg.data);
            break;
        case protocol::touchpadData:
            // Late answers to a repeated request carry another position.
            if (tpRawState == TPRawDownload && msg.data[2] == tpRawRow && msg.data[3] == tpRawCol)
                handleTPRawData(msg.data);
            break;
        default:
            break;
        }
    }
}

void MainWindow::sendDeviceRequest(quint8 subCommand, quint8 row, quint8 column)
{
    VectorCAN::Message msg;
    msg.id = protocol::requestId;
    msg.extended = true;
    msg.dlc = 8;
    msg.data[0] = protocol::service;
    msg.data[1] = subCommand;
    msg.data[2] = row;
    msg.data[3] = column;
    // A lost request is covered by the next poll or resend. Only a request
    // that went out awaits an answer: without a channel the status bar says
    // "kein Kanal", not that the device is silent.
    if (can.transmit(msg))
        replyWatch.requestSent();
}

void MainWindow::sendNMH()
{
    can.transmit(protocol::nmhId, true, quint8(protocol::nmhFrame.size()), protocol::nmhFrame.data());
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
    transfers.send(QByteArray(protocol::activation.data(), int(protocol::activation.size())), tr("TP-Diagnose gesendet"));
}
