#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "monitor/pressurechart.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QUrl>

// What the console keeps and shows of the device's data beside the form:
// the pressure chart, the record of the calibrations written into devices,
// and the word that the grid's matrix was saved or copied.
void MainWindow::setUpDeviceDataMenus()
{
    QMenu *view = ui->menuBar->addMenu(tr("A&nsicht"));
    chartAction = view->addAction(tr("&Druckverlauf"), this, &MainWindow::showPressureChart);
    view->addAction(ui->mainToolBar->toggleViewAction());
    ui->mainToolBar->toggleViewAction()->setText(tr("&Werkzeugleiste"));
    QMenu *device = ui->menuBar->addMenu(tr("&Gerät"));
    device->addAction(tr("Kalibrierprotokoll ö&ffnen"), this, &MainWindow::openCalibrationRecord);

    connect(&isotp, &ISOTPTX::transferSent, &calibrationRecord, &app::CalibrationRecord::sent);
    connect(&isotp, &ISOTPTX::transferAbandoned, &calibrationRecord, &app::CalibrationRecord::abandoned);
    // The calibration has gone to the device all the same.
    connect(ui->touchview, &Touchview::saved, this, [this](const QString &path) {
        confirm(tr("Matrix gespeichert: %1").arg(QDir::toNativeSeparators(path)));
        keepExportFolder(path);
    });
    connect(ui->touchview, &Touchview::copied, this, [this](int rows, int columns) {
        confirm(tr("Matrix kopiert (%1 × %2)").arg(rows).arg(columns));
    });
    connect(ui->touchview, &Touchview::referenceKept, this, [this](int rows, int columns) {
        confirm(tr("Matrix als Referenz festgehalten (%1 × %2)").arg(rows).arg(columns));
    });
    connect(&calibrationRecord, &app::CalibrationRecord::writeFailed, this, [this](const QString &path, const QString &reason) {
        ui->statusBar->showMessage(tr("Kalibrierprotokoll %1 nicht geschrieben: %2").arg(QDir::toNativeSeparators(path), reason),
                                   10000);
    });
}

// Without a program for CSV files the engineer is told where the file is.
void MainWindow::openCalibrationRecord()
{
    const QString path = calibrationRecord.path();
    if (!QFileInfo::exists(path)) {
        QMessageBox::information(this, tr("Kalibrierprotokoll"),
                                 tr("Noch keine Kalibrierung aufgezeichnet. Das Protokoll entsteht unter %1.")
                                     .arg(QDir::toNativeSeparators(path)));
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::information(this, tr("Kalibrierprotokoll"),
                                 tr("Das Kalibrierprotokoll liegt unter %1.").arg(QDir::toNativeSeparators(path)));
    }
}

void MainWindow::showPressureChart()
{
    // A window of its own that goes with the console.
    if (!pressureChart) {
        pressureChart = new PressureChart(pressureHistory, this);
        pressureChart->setExportFolder(ui->touchview->exportFolder());
        if (kept)
            kept->restore(*pressureChart, app::KeptSettings::Window::Chart);
        connect(pressureChart, &PressureChart::saved, this, [this](const QString &path) {
            confirm(tr("Druckverlauf gespeichert: %1").arg(QDir::toNativeSeparators(path)));
            keepExportFolder(path);
        });
    }
    pressureChart->show();
    pressureChart->raise();
}
