#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/systemdriver.h"
#include "can/canchannelselectdlg.h"

#include <QDateTime>
#include <QLocale>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QStandardPaths>

namespace {
constexpr int confirmationMs = 5000;
} // namespace

// The session around the device functions: which channel the console is on,
// switched and reopened without a restart, and the recording of its frames.
// They live in menus and status-bar fields of their own beside the form.
void MainWindow::setUpSessionMenus()
{
    QMenu *channel = ui->menuBar->addMenu(tr("&Kanal"));
    // F10 opens the first menu, as on other desktops' programs.
    connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
            [this, channel] { ui->menuBar->setActiveAction(channel->menuAction()); });
    switchChannelAction = channel->addAction(tr("Kanal &wechseln…"), this, &MainWindow::switchChannel);
    reconnectAction = channel->addAction(tr("&Neu verbinden"), QKeySequence(Qt::Key_F5), this, &MainWindow::reconnect);
    // Where users look for it, in the first menu, as there is no "Datei".
    channel->addSeparator();
    channel->addAction(tr("&Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q), this, &QWidget::close);
    // Ctrl+R starts and stops: only the one of the two that can run holds it.
    QMenu *recording = ui->menuBar->addMenu(tr("&Aufzeichnung"));
    const QKeySequence startStop(Qt::CTRL | Qt::Key_R);
    startRecordingAction = recording->addAction(tr("Aufzeichnung &starten…"), startStop, this, &MainWindow::askForRecording);
    stopRecordingAction = recording->addAction(tr("Aufzeichnung &beenden"), startStop, this, &MainWindow::stopRecording);
    // The tool bar's switch, checked while a recording runs.
    recordingAction = new QAction(tr("Aufzeichnung"), this);
    recordingAction->setCheckable(true);
    recordingAction->setToolTip(tr("Aufzeichnung starten oder beenden (Strg+R)"));
    connect(recordingAction, &QAction::triggered, this, [this](bool on) {
        if (on)
            askForRecording();
        else
            stopRecording();
        // A dialog cancelled started nothing.
        updateSessionActions();
    });

    recordingLabel = addStatusField(QStringLiteral("recording"));
    recordingLabel->hide();
    connect(&recorder, &app::Recorder::failed, this, &MainWindow::recordingFailed);
    updateSessionActions();
}

bool MainWindow::openChannel(int index, const QString &done)
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
    if (open && !done.isEmpty())
        confirm(done);
    // Said after the channel, so that a calibration given up is not hidden by it.
    startDeviceSession();
    updateBusStatus();
    updateSessionActions();
    return open;
}

void MainWindow::openChannelOrSay(int index, const QString &done)
{
    if (!openChannel(index, done))
        QMessageBox::critical(this, tr("CAN Fehler"), tr("Konnte CAN Kanal nicht aktivieren!"));
}

// Whatever port opens now may lead to another device, or to the same one
// reset: nothing measured before may be written into it.
void MainWindow::startDeviceSession()
{
    if (calibrationQuestion)
        calibrationQuestion->done(QMessageBox::No);
    isotp.abandon(tr("Kanal neu geöffnet"));
    pressureCali = pressureRaw1 = pressureRaw2 = 0;
    unstressedRaw1 = unstressedRaw2 = stressedRaw1 = stressedRaw2 = 0;
    sens1Mul = sens1Div = calMul = calDiv = 1;
    factorsMeasuredAt = {};
    clearValueLabels();
    calibrationWarning->hide();
    replyWatch.reset();
}

void MainWindow::confirm(const QString &text)
{
    ui->statusBar->showMessage(text, confirmationMs);
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
        openChannelOrSay(dialog.selectedChannel(), tr("Kanal gewechselt"));
}

void MainWindow::reconnect()
{
    if (channelIndex >= 0)
        openChannelOrSay(channelIndex, tr("Neu verbunden"));
}

bool MainWindow::startRecording(const QString &path, QString *error)
{
    if (!recorder.start(path, error))
        return false;
    confirm(tr("Aufzeichnung läuft: %1").arg(QDir::toNativeSeparators(path)));
    updateBusStatus();
    updateSessionActions();
    return true;
}

// In the folder of the last recording. The dialog adds ".log" to a name
// without a suffix itself, so that it asks before replacing that file too.
void MainWindow::askForRecording()
{
    QString folder = kept ? kept->folder(app::KeptSettings::Folder::Recordings) : QString();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposed =
        QDir(folder).filePath(QDateTime::currentDateTime().toString(QStringLiteral("'korvel-'yyyyMMdd-HHmmss'.log'")));
    QFileDialog dialog(this, tr("Aufzeichnung starten"), proposed, tr("CAN-Aufzeichnung (*.log)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (!startRecording(path, &error)) {
        QMessageBox::critical(this, tr("Aufzeichnung"),
                              tr("Konnte %1 nicht schreiben: %2").arg(QDir::toNativeSeparators(path), error));
    } else if (kept) {
        kept->keepFolderOf(app::KeptSettings::Folder::Recordings, path);
    }
}

void MainWindow::stopRecording()
{
    recorder.stop();
    confirm(tr("Aufzeichnung beendet: %1, %2 Frames")
                .arg(QDir::toNativeSeparators(recorder.path()), QLocale().toString(recorder.frames())));
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
    recordingAction->setChecked(recorder.isRecording());
}
