#pragma once

#include "app/transferreport.h"
#include "can/vectorcan.h"
#include "device/calibration.h"
#include "device/touchpaddownload.h"
#include "isotp/isotptx.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

class CANWindow;
class Ui_MainWindow;

namespace app {
class CalibrationWriter;
class DeviceData;
class KeptSettings;
class Session;
} // namespace app

// The console's one window and controller: it owns the CAN channel, the ISO-TP
// transmitter, the timers that pace the device dialogues and all device state.
// The device functions live in console/; the session around them (channel,
// recording, bus status) and the device's data kept beside the form (chart,
// calibration record) are objects of their own.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Returns only after the user has picked (or not picked) the CAN channel.
    explicit MainWindow(QWidget *parent = nullptr);
    // Opens the channel of that driver index without asking, and without a
    // word if it cannot: its caller asks isChannelOpen().
    explicit MainWindow(int channelIndex, QWidget *parent = nullptr);
    ~MainWindow() override;

    app::Session &session() const { return *channelSession; }
    app::DeviceData &deviceData() const { return *deviceRecords; }
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
    void restartTPRaw();

private:
    void sendDeviceRequest(const VectorCAN::Message &request);
    void handlePressureReply(const device::PressureValues &values);
    void handleTPRawReply(const VectorCAN::Message &msg);
    void finishTPRaw();
    void startTPRaw();
    // A device that answers no request for so long is given up on, and the
    // next download starts after a pause while the box is still ticked.
    void giveUpTPRaw();
    void computePressureCalibration();
    // What a device told before, or was measured on it, is forgotten: the
    // console may now be talking to another one.
    void startDeviceSession();
    // A few seconds in the status bar.
    void confirm(const QString &text);
    void setUp();
    // The seven value labels show "-", as when reading is switched off.
    void clearValueLabels();
    void keepWindows();

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
    // Neutral until computed, so that a save before any calibration never
    // writes a zero divisor into the device.
    quint16 sens1Mul = device::CalibrationFactors{}.sens1Mul;
    quint16 sens1Div = device::CalibrationFactors{}.sens1Div;
    quint16 calMul = device::CalibrationFactors{}.calMul;
    quint16 calDiv = device::CalibrationFactors{}.calDiv;
    app::TransferReport transfers{isotp};
    // The download's state, matrix and position; the timer paces its requests.
    device::TouchpadDownload tpRaw;
    QTimer tpRawTimer;
    QElapsedTimer clock;           // the download's, from the window's start
    QElapsedTimer tpRawTitled;     // since the title last showed the progress
    QTimer tpRawRestartTimer;      // the pause after a download given up
    app::Session *channelSession = nullptr;
    app::DeviceData *deviceRecords = nullptr;
    app::CalibrationWriter *calibration = nullptr;
    app::KeptSettings *kept = nullptr;
};
