#include "app/session.h"

#include "app/icons.h"
#include "app/keptsettings.h"
#include "app/statusfield.h"
#include "service/systemdriver.h"
#include "channeldialog/canchannelselectdlg.h"
#include "protocol/deviceprotocol.h"
#include "bus/busloss.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>

namespace app {

namespace {
constexpr int busStatusIntervalMs = 1000;

// The reasons the driver knows, in the console's words; any other as the system gave it.
QString lossText(const QString &reason)
{
    if (reason == QLatin1String(bus::busloss::closed))
        return Session::tr("Verbindung vom Bus getrennt");
    if (reason == QLatin1String(bus::busloss::unreachable))
        return Session::tr("Bus nicht erreichbar");
    if (reason == QLatin1String(bus::busloss::adapterGone))
        return Session::tr("CAN-Adapter getrennt");
    return reason;
}

} // namespace

Session::Session(VectorCAN &can, QMainWindow &window)
    : QObject(&window)
    , can(can)
    , window(window)
{
    setUpMenus();
    setUpStatusFields();
    updateActions();
}

void Session::setUpMenus()
{
    QMenuBar *menuBar = window.menuBar();
    QMenu *channelMenu = menuBar->addMenu(tr("&Kanal"));
    // F10 opens the first menu, as on other desktops' programs.
    connect(new QShortcut(QKeySequence(Qt::Key_F10), &window), &QShortcut::activated, this,
            [menuBar, channelMenu] { menuBar->setActiveAction(channelMenu->menuAction()); });
    switchChannelAction = channelMenu->addAction(tr("Kanal &wechseln…"), this, &Session::switchChannel);
    reconnectAction = channelMenu->addAction(tr("&Neu verbinden"), QKeySequence(Qt::Key_F5), this, &Session::reconnect);
    // Where users look for it, in the first menu, as there is no "Datei".
    channelMenu->addSeparator();
    channelMenu->addAction(tr("&Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q), &window, &QWidget::close);
    // Ctrl+R starts and stops: only the one of the two that can run holds it.
    QMenu *recordingMenu = menuBar->addMenu(tr("&Aufzeichnung"));
    const QKeySequence startStop(Qt::CTRL | Qt::Key_R);
    startRecordingAction = recordingMenu->addAction(tr("Aufzeichnung &starten…"), startStop, this, &Session::askForRecording);
    stopRecordingAction = recordingMenu->addAction(tr("Aufzeichnung &beenden"), startStop, this, &Session::stopRecording);
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
        updateActions();
    });
    recordingAction->setIcon(themedIcon("media-record", "record"));
    switchChannelAction->setIcon(themedIcon("network-wired", "channel"));
    reconnectAction->setIcon(themedIcon("view-refresh", "reconnect"));
    connect(&recorder, &service::Recorder::failed, this, &Session::recordingFailed);
}

QList<QAction *> Session::toolBarActions() const
{
    return {recordingAction, switchChannelAction, reconnectAction};
}

// Permanent fields at the right of the status bar, beside the passing
// messages: a device that does not answer, while it is so; what the port
// could not take, hidden while it took everything; the channel with its
// state, so that a lost bus is never silent; and the recording.
void Session::setUpStatusFields()
{
    QStatusBar &bar = *window.statusBar();
    // A device that stops answering looks otherwise like one whose values stay.
    deviceLabel = addStatusField(bar, QStringLiteral("deviceState"), tr("Gerät antwortet nicht"));
    deviceLabel->hide();
    connect(&replyWatch, &ReplyWatch::silenceChanged, this, [this](bool silent) {
        deviceLabel->setVisible(silent);
        if (!silent)
            confirm(tr("Gerät antwortet"));
    });
    lostLabel = addStatusField(bar, QStringLiteral("lostFrames"));
    busLabel = addStatusField(bar, QStringLiteral("busState"));
    lostLabel->hide();
    recordingLabel = addStatusField(bar, QStringLiteral("recording"));
    recordingLabel->hide();
    connect(&busStatusTimer, &QTimer::timeout, this, &Session::updateBusStatus);
    busStatusTimer.start(busStatusIntervalMs);
}

void Session::confirm(const QString &text)
{
    app::confirm(*window.statusBar(), text);
}

bool Session::openChannel(int index, const QString &done)
{
    can.close();
    channelIndex = index;
    channel.clear();
    QList<VectorCAN::ChannelEntry> channels;
    can.listChannels(channels);
    for (const VectorCAN::ChannelEntry &entry : std::as_const(channels)) {
        if (entry.index == index)
            channel = entry.name;
    }
    recorder.setInterface(channel);
    const bool open = can.open(index, protocol::bitRate, QStringLiteral("KORVEL-Console"));
    if (open && !done.isEmpty())
        confirm(done);
    // Said after the channel, so that a calibration given up is not hidden by it.
    replyWatch.reset();
    emit deviceSessionStarted();
    updateBusStatus();
    updateActions();
    return open;
}

void Session::openChannelOrSay(int index, const QString &done)
{
    if (!openChannel(index, done))
        QMessageBox::critical(&window, tr("CAN Fehler"), tr("Konnte CAN Kanal nicht aktivieren!"));
}

bool Session::isChannelOpen() const
{
    quint64 lost = 0;
    QString offBusReason;
    return can.portState(&lost, &offBusReason);
}

// The list is read again, so that an adapter plugged in since shows.
void Session::switchChannel()
{
    // Only the program's own driver looks for adapters; a test's has fixed channels.
    if (auto *system = dynamic_cast<service::SystemDriver *>(&xl::Driver::current()))
        system->addNewAdapters();
    CANChannelSelectDlg dialog(&can, &window);
    if (dialog.exec() == QDialog::Accepted)
        openChannelOrSay(dialog.selectedChannel(), tr("Kanal gewechselt"));
}

void Session::reconnect()
{
    if (channelIndex >= 0)
        openChannelOrSay(channelIndex, tr("Neu verbunden"));
}

bool Session::startRecording(const QString &path, QString *error)
{
    if (!recorder.start(path, error))
        return false;
    confirm(tr("Aufzeichnung läuft: %1").arg(QDir::toNativeSeparators(path)));
    updateBusStatus();
    updateActions();
    return true;
}

// In the folder of the last recording. The dialog adds ".log" to a name
// without a suffix itself, so that it asks before replacing that file too.
void Session::askForRecording()
{
    QString folder = kept ? kept->folder(KeptSettings::Folder::Recordings) : QString();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposed =
        QDir(folder).filePath(QDateTime::currentDateTime().toString(QStringLiteral("'korvel-'yyyyMMdd-HHmmss'.log'")));
    QFileDialog dialog(&window, tr("Aufzeichnung starten"), proposed, tr("CAN-Aufzeichnung (*.log)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (!startRecording(path, &error)) {
        QMessageBox::critical(&window, tr("Aufzeichnung"),
                              tr("Konnte %1 nicht schreiben: %2").arg(QDir::toNativeSeparators(path), error));
    } else if (kept) {
        kept->keepFolderOf(KeptSettings::Folder::Recordings, path);
    }
}

void Session::stopRecording()
{
    recorder.stop();
    confirm(tr("Aufzeichnung beendet: %1, %2 Frames")
                .arg(QDir::toNativeSeparators(recorder.path()), QLocale().toString(recorder.frames())));
    updateBusStatus();
    updateActions();
}

// Not modal: a test bench's console must not wait for a click, nor the
// window stop while the box is shown.
void Session::recordingFailed(const QString &path, const QString &reason)
{
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Aufzeichnung abgebrochen"),
                                tr("Die Aufzeichnung in %1 wurde abgebrochen: %2").arg(QDir::toNativeSeparators(path), reason),
                                QMessageBox::Ok, &window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    updateBusStatus();
    updateActions();
}

void Session::updateActions()
{
    reconnectAction->setEnabled(channelIndex >= 0);
    startRecordingAction->setEnabled(!recorder.isRecording());
    stopRecordingAction->setEnabled(recorder.isRecording());
    recordingAction->setChecked(recorder.isRecording());
}

// Once a second at most: a flood that loses thousands of frames a second
// must not cost a repaint for each.
void Session::updateBusStatus()
{
    quint64 lost = 0;
    QString offBusReason;
    const bool open = can.portState(&lost, &offBusReason);
    const QLocale locale;
    lostLabel->setText(tr("%1 Frames verworfen").arg(locale.toString(lost)));
    lostLabel->setVisible(open && lost > 0);
    if (!open)
        busLabel->setText(tr("kein Kanal"));
    else if (offBusReason.isEmpty())
        busLabel->setText(tr("%1 · verbunden").arg(channel));
    else
        busLabel->setText(tr("%1 · getrennt: %2").arg(channel, lossText(offBusReason)));
    recordingLabel->setText(tr("Aufzeichnung: %1 Frames").arg(locale.toString(recorder.frames())));
    recordingLabel->setVisible(recorder.isRecording());
}

} // namespace app
