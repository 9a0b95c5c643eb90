#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/systemdriver.h"
#include "can/canchannelselectdlg.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardPaths>

// The session around the device functions: which channel the console is on,
// switched and reopened without a restart, and the recording of its frames.
// They live in menus and status-bar fields of their own beside the form.
void MainWindow::setUpSessionMenus()
{
    QMenu *channel = ui->menuBar->addMenu(tr("Kanal"));
    channel->addAction(tr("Kanal wechseln…"), this, &MainWindow::switchChannel);
    reconnectAction = channel->addAction(tr("Neu verbinden"), this, &MainWindow::reconnect);
    QMenu *recording = ui->menuBar->addMenu(tr("Aufzeichnung"));
    startRecordingAction = recording->addAction(tr("Aufzeichnung starten…"), this, &MainWindow::askForRecording);
    stopRecordingAction = recording->addAction(tr("Aufzeichnung beenden"), this, &MainWindow::stopRecording);

    recordingLabel = new QLabel(this);
    recordingLabel->setObjectName(QStringLiteral("recording"));
    ui->statusBar->addPermanentWidget(recordingLabel);
    recordingLabel->hide();
    connect(&recorder, &app::Recorder::failed, this, &MainWindow::recordingFailed);
    updateSessionActions();
}

bool MainWindow::openChannel(int index)
{
    can.close();
    channelIndex = index;
    channelName.clear();
    QList<VectorCAN::ChannelEntry> channels;
    can.listChannels(channels);
    for (const VectorCAN::ChannelEntry &entry : std::as_const(channels)) {
        if (entry.index == index)
            channelName = entry.name;
    }
    recorder.setInterface(channelName);
    const bool open = can.open(index, 500000, QStringLiteral("KORVEL-Console"));
    // The device on another bus, or the same one reset, will not finish the
    // message it was being sent; the next one goes to the new channel.
    isotp.abandon();
    updateBusStatus();
    updateSessionActions();
    return open;
}

void MainWindow::openChannelOrSay(int index)
{
    if (!openChannel(index))
        QMessageBox::critical(this, tr("CAN Fehler"), tr("Konnte CAN Kanal nicht aktivieren!"));
}

bool MainWindow::isChannelOpen()
{
    quint64 lost = 0;
    QString offBusReason;
    return can.portState(&lost, &offBusReason);
}

// The list is read again, so that an adapter plugged in since shows.
void MainWindow::switchChannel()
{
    // Only the program's own driver looks for adapters; a test's has fixed channels.
    if (auto *system = dynamic_cast<app::SystemDriver *>(&xl::Driver::current()))
        system->addNewAdapters();
    CANChannelSelectDlg dialog(&can, this);
    if (dialog.exec() == QDialog::Accepted)
        openChannelOrSay(dialog.selectedChannel());
}

void MainWindow::reconnect()
{
    if (channelIndex >= 0)
        openChannelOrSay(channelIndex);
}

bool MainWindow::startRecording(const QString &path, QString *error)
{
    if (!recorder.start(path, error))
        return false;
    updateBusStatus();
    updateSessionActions();
    return true;
}

void MainWindow::askForRecording()
{
    const QString proposed = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                 .filePath(QDateTime::currentDateTime().toString(QStringLiteral("'korvel-'yyyyMMdd-HHmmss'.log'")));
    const QString path = QFileDialog::getSaveFileName(this, tr("Aufzeichnung starten"), proposed,
                                                      tr("CAN-Aufzeichnung (*.log)"));
    QString error;
    if (!path.isEmpty() && !startRecording(path, &error))
        QMessageBox::critical(this, tr("Aufzeichnung"),
                              tr("Konnte %1 nicht schreiben: %2").arg(QDir::toNativeSeparators(path), error));
}

void MainWindow::stopRecording()
{
    recorder.stop();
    updateBusStatus();
    updateSessionActions();
}

// Not modal: a test bench's console must not wait for a click, nor the
// window stop while the box is shown.
void MainWindow::recordingFailed(const QString &path, const QString &reason)
{
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Aufzeichnung abgebrochen"),
                                tr("Die Aufzeichnung in %1 wurde abgebrochen: %2").arg(QDir::toNativeSeparators(path), reason),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    updateBusStatus();
    updateSessionActions();
}

void MainWindow::updateSessionActions()
{
    reconnectAction->setEnabled(channelIndex >= 0);
    startRecordingAction->setEnabled(!recorder.isRecording());
    stopRecordingAction->setEnabled(recorder.isRecording());
}
