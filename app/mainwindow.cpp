#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "can/canchannelselectdlg.h"
#include "protocol/deviceprotocol.h"
#include "monitor/canwindow.h"
#include "monitor/pressurechart.h"

#include <QCloseEvent>
#include <QMessageBox>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui_MainWindow)
    , isotp(&can, protocol::isoTpTxId, true, protocol::isoTpFlowControlId, true)
{
    setUp();
    // A console without a channel runs on and sends nothing.
    CANChannelSelectDlg dialog(&can, this);
    if (dialog.exec() == QDialog::Accepted)
        openChannelOrSay(dialog.selectedChannel(), {});
    updateBusStatus();
}

MainWindow::MainWindow(int channelIndex, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui_MainWindow)
    , isotp(&can, protocol::isoTpTxId, true, protocol::isoTpFlowControlId, true)
{
    setUp();
    openChannel(channelIndex);
    updateBusStatus();
}

void MainWindow::setUp()
{
    ui->setupUi(this);
    connect(&can, &VectorCAN::messageReceived, this, &MainWindow::canReceive);
    connect(&nmhTimer, &QTimer::timeout, this, &MainWindow::sendNMH);
    connect(&pressureTimer, &QTimer::timeout, this, &MainWindow::requestPressureSensorRawData);
    connect(&tpRawTimer, &QTimer::timeout, this, &MainWindow::advanceTPRaw);
    tpRawTitled.start();
    tpRawRestartTimer.setSingleShot(true);
    connect(&tpRawRestartTimer, &QTimer::timeout, this, &MainWindow::restartTPRaw);
    // A message the device never got must not pass for written.
    connect(&transfers, &app::TransferReport::report, this, &MainWindow::confirm);
    setUpBusStatus();
    setUpSessionMenus();
    setUpDeviceDataMenus();
    setUpToolBar();
}

MainWindow::~MainWindow()
{
    // It reads the history, which goes before the window's children do.
    delete pressureChart;
    delete ui;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    keepWindows();
    // The activity window must not outlive the console.
    if (canWindow) {
        delete canWindow;
        canWindow = nullptr;
    }
    if (pressureChart)
        pressureChart->close();
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
