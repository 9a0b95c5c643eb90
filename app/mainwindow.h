#pragma once

#include "app/calibrationrecord.h"
#include "app/keptsettings.h"
#include "app/recorder.h"
#include "app/replywatch.h"
#include "app/transferreport.h"
#include "can/vectorcan.h"
#include "isotp/isotptx.h"
#include "monitor/pressurehistory.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class CANWindow;
class PressureChart;
class QAction;
class QLabel;
class QMessageBox;
class Ui_MainWindow;

// The console's one window and controller: it owns the CAN channel, the ISO-TP
// transmitter, the timers that pace the device dialogues and all device state.
// The device functions live in console/.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum TPRawState { TPRawIdle = 0, TPRawInit = 1, TPRawDownload = 2 };

    // Returns only after the user has picked (or not picked) the CAN channel.
    explicit MainWindow(QWidget *parent = nullptr);
    // Opens the channel of that driver index without asking, and without a
    // word if it cannot: its caller asks isChannelOpen().
    explicit MainWindow(int channelIndex, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Records every frame the console sees into the file from now on; false,
    // and why, when the file cannot be written.
    bool startRecording(const QString &path, QString *error);
    bool isChannelOpen();
    // Takes the sizes, places and folders kept from the last run, and opens
    // again the windows open then; keeps them there when the console closes.
    void keepSettings(app::KeptSettings &settings);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void canReceive();
    void canWindowDestroyed();
    void sendNMH();
    void requestPressureSensorRawData();
    void requestTPRawCopy();
    void requestTPRawDownload();
    void updateTPRawTitle();
    void advanceTPRaw();
    void on_showCANView_clicked();
    void on_sendNMH_clicked();
    void on_activateTPDiag_clicked();
    void on_readPressureSensors_clicked();
    void on_pressureReset_clicked();
    void on_pressureUnstressed_clicked();
    void on_pressureStressed_clicked();
    void on_pressureCalibSave_clicked();
    void on_readTPraw_clicked();
    void updateBusStatus();
    void switchChannel();
    void reconnect();
    void askForRecording();
    void stopRecording();
    void recordingFailed(const QString &path, const QString &reason);
    void openCalibrationRecord();
    void showPressureChart();
    void restartTPRaw();

private:
    friend class TestMainWindow;
    friend class TestSession;
    friend class TestCalibrationRecord;
    friend class ConsoleBench;

    void sendDeviceRequest(quint8 subCommand, quint8 row = 0, quint8 column = 0);
    void handlePressureReply(const quint8 *data);
    void handleTPRawHeader(const quint8 *data);
    void handleTPRawData(const quint8 *data);
    void finishTPRaw();
    void startTPRaw();
    // A device that answers no request for so long is given up on, and the
    // next download starts after a pause while the box is still ticked.
    void giveUpTPRaw();
    void computePressureCalibration();
    // The load did not raise a sensor's value above its unloaded one.
    bool calibrationLooksWrong() const;
    // The question before writing factors the engineer does not see, or that
    // look wrong; they are written on "Ja" only, into this device only.
    void askBeforeSaving(bool hidden, bool suspicious);
    void saveCalibration();
    // What a device told before, or was measured on it, is forgotten: the
    // console may now be talking to another one.
    void startDeviceSession();
    // A few seconds in the status bar.
    void confirm(const QString &text);
    void setUp();
    void setUpBusStatus();
    void setUpSessionMenus();
    void setUpDeviceDataMenus();
    // Notes the calibration message in the record, then hands it to the transmitter.
    // The status bar says "<what> (Faktoren a/b/c/d)" and then its outcome.
    void sendCalibration(const QString &action, const std::array<quint16, 4> &factors, const QByteArray &message,
                         const QString &what);
    // The seven value labels show "-", as when reading is switched off.
    void clearValueLabels();
    // Closes the port and opens the channel of that driver index, the console's
    // functions carrying on with a new device session; the messages still on
    // their way to the old device are given up. Says what it did in the
    // status bar. False when the channel could not be opened.
    bool openChannel(int index, const QString &done = {});
    // The same, saying so in a box when it fails.
    void openChannelOrSay(int index, const QString &done);
    void updateSessionActions();
    QLabel *addStatusField(const QString &name, const QString &text = {});
    void setUpToolBar();
    void keepWindows();
    // The grid's and the chart's next export goes to the folder of this one.
    void keepExportFolder(const QString &path);

    Ui_MainWindow *ui;
    VectorCAN can;
    ISOTPTX isotp;
    CANWindow *canWindow = nullptr;
    QTimer nmhTimer;
    QTimer pressureTimer;
    quint16 pressureCali = 0;
    quint16 pressureRaw1 = 0;
    quint16 pressureRaw2 = 0;
    quint16 unstressedRaw1 = 0;
    quint16 unstressedRaw2 = 0;
    quint16 stressedRaw1 = 0;
    quint16 stressedRaw2 = 0;
    // Signed results in 16 bits. They start at 1, the neutral value the reset
    // message writes, so that a save before any calibration never writes a
    // zero divisor into the device.
    quint16 sens1Mul = 1;
    quint16 sens1Div = 1;
    quint16 calMul = 1;
    quint16 calDiv = 1;
    // When the factors were computed in this device session; invalid before.
    QDateTime factorsMeasuredAt;
    QPointer<QMessageBox> calibrationQuestion;
    QLabel *calibrationWarning = nullptr;
    app::TransferReport transfers{isotp};
    // Whether the device answers the requests, in the status bar.
    app::ReplyWatch replyWatch;
    QLabel *deviceLabel = nullptr;
    int tpRawState = TPRawIdle;
    QTimer tpRawTimer;
    QByteArray tpRawData;  // row-major, rows × columns
    int tpRawRows = 0;
    int tpRawCols = 0;
    int tpRawRow = 0;      // position of the next byte expected
    int tpRawCol = 0;
    QElapsedTimer tpRawAnswered;   // since the last accepted reply, or the start
    QElapsedTimer tpRawTitled;     // since the title last showed the progress
    QTimer tpRawRestartTimer;      // the pause after a download given up
    // The bus in the status bar: frames lost, a bus gone.
    QTimer busStatusTimer;
    QLabel *lostLabel = nullptr;
    QLabel *busLabel = nullptr;
    // The channel last picked, open or not (-1: none), and its name.
    int channelIndex = -1;
    QString channelName;
    app::Recorder recorder;
    QLabel *recordingLabel = nullptr;
    QAction *switchChannelAction = nullptr;
    QAction *reconnectAction = nullptr;
    QAction *startRecordingAction = nullptr;
    QAction *stopRecordingAction = nullptr;
    QAction *recordingAction = nullptr;  // the tool bar's switch
    QAction *chartAction = nullptr;
    app::KeptSettings *kept = nullptr;
    app::CalibrationRecord calibrationRecord{app::CalibrationRecord::standardPath()};
    // The last minute of pressure values while reading is on, for the chart.
    PressureHistory pressureHistory;
    PressureChart *pressureChart = nullptr;
};
