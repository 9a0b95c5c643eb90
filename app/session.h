#pragma once

#include "service/recorder.h"
#include "app/replywatch.h"
#include "can/vectorcan.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QAction;
class QLabel;
class QMainWindow;

namespace app {

class KeptSettings;

// The session around the device functions: which channel the console is on,
// switched and reopened without a restart, the recording of its frames, and
// the bus and the device as the status bar shows them. It lives in menus and
// status-bar fields of its own beside the window's form.
class Session : public QObject
{
    Q_OBJECT

public:
    // Adds its menus and status-bar fields to the window, whose port it is.
    Session(VectorCAN &can, QMainWindow &window);

    // Closes the port and opens the channel of that driver index, the
    // console's functions carrying on with a new device session. Says what
    // it did in the status bar. False when the channel could not be opened.
    bool openChannel(int index, const QString &done = {});
    // The same, saying so in a box when it fails.
    void openChannelOrSay(int index, const QString &done);
    bool isChannelOpen() const;
    // The name of the channel last picked, open or not.
    const QString &channelName() const { return channel; }

    // Records every frame the console sees into the file from now on; false,
    // and why, when the file cannot be written.
    bool startRecording(const QString &path, QString *error);
    void record(const VectorCAN::Message &msg) { recorder.record(msg); }
    service::Recorder &recording() { return recorder; }

    // Whether the device answers the requests, in the status bar.
    ReplyWatch &replies() { return replyWatch; }

    // The folder of the last recording, kept from run to run.
    void keepSettings(KeptSettings &settings) { kept = &settings; }
    // Recording, switching and reconnecting, for the tool bar.
    QList<QAction *> toolBarActions() const;

public slots:
    void switchChannel();
    void reconnect();
    void askForRecording();
    void stopRecording();
    void updateBusStatus();

signals:
    // Whatever port opens now may lead to another device, or to the same one
    // reset: nothing measured before may be written into it.
    void deviceSessionStarted();

private:
    void setUpMenus();
    void setUpStatusFields();
    void recordingFailed(const QString &path, const QString &reason);
    void updateActions();
    void confirm(const QString &text);

    VectorCAN &can;
    QMainWindow &window;
    // The channel last picked, open or not (-1: none), and its name.
    int channelIndex = -1;
    QString channel;
    service::Recorder recorder;
    ReplyWatch replyWatch;
    KeptSettings *kept = nullptr;
    QTimer busStatusTimer;
    QLabel *deviceLabel = nullptr;
    QLabel *lostLabel = nullptr;
    QLabel *busLabel = nullptr;
    QLabel *recordingLabel = nullptr;
    QAction *switchChannelAction = nullptr;
    QAction *reconnectAction = nullptr;
    QAction *startRecordingAction = nullptr;
    QAction *stopRecordingAction = nullptr;
    QAction *recordingAction = nullptr;  // the tool bar's switch
};

} // namespace app
