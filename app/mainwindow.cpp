#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "app/calibrationwriter.h"
#include "app/devicedata.h"
#include "app/session.h"
#include "app/statusfield.h"
#include "channeldialog/canchannelselectdlg.h"
#include "protocol/deviceprotocol.h"
#include "monitor/canwindow.h"
#include "monitor/pressurechart.h"

#include <QCloseEvent>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui_MainWindow)
    , isotp(&can, protocol::isoTpTxId, true, protocol::isoTpFlowControlId, true)
{
    setUp();
    // A console without a channel runs on and sends nothing.
    CANChannelSelectDlg dialog(&can, this);
    if (dialog.exec() == QDialog::Accepted)
        channelSession->openChannelOrSay(dialog.selectedChannel(), {});
    channelSession->updateBusStatus();
}

MainWindow::MainWindow(int channelIndex, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui_MainWindow)
    , isotp(&can, protocol::isoTpTxId, true, protocol::isoTpFlowControlId, true)
{
    setUp();
    channelSession->openChannel(channelIndex);
    channelSession->updateBusStatus();
}

void MainWindow::setUp()
{
    ui->setupUi(this);
    connect(&can, &VectorCAN::messageReceived, this, &MainWindow::canReceive);
    connect(&nmhTimer, &QTimer::timeout, this, &MainWindow::sendNMH);
    connect(&pressureTimer, &QTimer::timeout, this, &MainWindow::requestPressureSensorRawData);
    connect(&tpRawTimer, &QTimer::timeout, this, &MainWindow::advanceTPRaw);
    clock.start();
    tpRawTitled.start();
    tpRawRestartTimer.setSingleShot(true);
    connect(&tpRawRestartTimer, &QTimer::timeout, this, &MainWindow::restartTPRaw);
    // A message the device never got must not pass for written.
    connect(&transfers, &app::TransferReport::report, this, &MainWindow::confirm);
    channelSession = new app::Session(can, *this);
    deviceRecords = new app::DeviceData(*this, *ui->mainToolBar, *ui->touchview, isotp);
    calibration = new app::CalibrationWriter(*this, transfers, deviceRecords->calibrations(), *channelSession);
    connect(channelSession, &app::Session::deviceSessionStarted, this, &MainWindow::startDeviceSession);
    ui->mainToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ui->mainToolBar->addActions(channelSession->toolBarActions());
    ui->mainToolBar->addAction(deviceRecords->chartAction());
}

// The pressure chart goes with the device data, before the window's children.
MainWindow::~MainWindow()
{
    delete deviceRecords;
    delete ui;
}

void MainWindow::confirm(const QString &text)
{
    app::confirm(*ui->statusBar, text);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    keepWindows();
    // The activity window must not outlive the console.
    if (canWindow) {
        delete canWindow;
        canWindow = nullptr;
    }
    if (QWidget *chart = deviceRecords->chart())
        chart->close();
    event->accept();
}

void MainWindow::on_showCANView_clicked()
{
    if (ui->showCANView->isChecked()) {
        if (!canWindow) {
            canWindow = new CANWindow(nullptr);
            connect(canWindow, &QObject::destroyed, this, &MainWindow::canWindowDestroyed);
        }
        canWindow->setVisible(true);
        canWindow->raise();
    } else if (canWindow) {
        delete canWindow;
        canWindow = nullptr;
    }
}

// Runs whenever the activity window goes, also when the user closed it, so
// that the button always shows whether it exists.
void MainWindow::canWindowDestroyed()
{
    canWindow = nullptr;
    ui->showCANView->setChecked(false);
}
