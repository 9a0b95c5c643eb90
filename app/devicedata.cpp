#include "app/devicedata.h"

#include "app/icons.h"
#include "app/keptsettings.h"
#include "app/statusfield.h"
#include "isotp/isotptx.h"
#include "monitor/pressurechart.h"
#include "touchview/touchview.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

namespace app {

using Kept = KeptSettings;

DeviceData::DeviceData(QMainWindow &window, QToolBar &toolBar, Touchview &touchview, ISOTPTX &isotp)
    : QObject(&window)
    , window(window)
    , touchview(touchview)
{
    QMenu *view = window.menuBar()->addMenu(tr("A&nsicht"));
    showChartAction = view->addAction(tr("&Druckverlauf"), this, &DeviceData::showPressureChart);
    showChartAction->setIcon(themedIcon("utilities-system-monitor", "chart"));
    view->addAction(toolBar.toggleViewAction());
    toolBar.toggleViewAction()->setText(tr("&Werkzeugleiste"));
    QMenu *device = window.menuBar()->addMenu(tr("&Gerät"));
    device->addAction(tr("Kalibrierprotokoll ö&ffnen"), this, &DeviceData::openCalibrationRecord);

    // The calibration has gone to the device all the same.
    connect(&isotp, &ISOTPTX::transferSent, &calibrationRecord, &service::CalibrationRecord::sent);
    connect(&isotp, &ISOTPTX::transferAbandoned, &calibrationRecord, &service::CalibrationRecord::abandoned);
    connect(&calibrationRecord, &service::CalibrationRecord::writeFailed, this, [this](const QString &path, const QString &reason) {
        warn(*this->window.statusBar(),
             tr("Kalibrierprotokoll %1 nicht geschrieben: %2").arg(QDir::toNativeSeparators(path), reason));
    });
    connect(&touchview, &Touchview::saved, this, [this](const QString &path) {
        confirm(tr("Matrix gespeichert: %1").arg(QDir::toNativeSeparators(path)));
        keepExportFolder(path);
    });
    connect(&touchview, &Touchview::copied, this, [this](int rows, int columns) {
        confirm(tr("Matrix kopiert (%1 × %2)").arg(rows).arg(columns));
    });
    connect(&touchview, &Touchview::referenceKept, this, [this](int rows, int columns) {
        confirm(tr("Matrix als Referenz festgehalten (%1 × %2)").arg(rows).arg(columns));
    });
}

DeviceData::~DeviceData()
{
    delete pressureChart;
}

void DeviceData::confirm(const QString &text)
{
    app::confirm(*window.statusBar(), text);
}

// Without a program for CSV files the engineer is told where the file is.
void DeviceData::openCalibrationRecord()
{
    const QString path = calibrationRecord.path();
    if (!QFileInfo::exists(path)) {
        QMessageBox::information(&window, tr("Kalibrierprotokoll"),
                                 tr("Noch keine Kalibrierung aufgezeichnet. Das Protokoll entsteht unter %1.")
                                     .arg(QDir::toNativeSeparators(path)));
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::information(&window, tr("Kalibrierprotokoll"),
                                 tr("Das Kalibrierprotokoll liegt unter %1.").arg(QDir::toNativeSeparators(path)));
    }
}

void DeviceData::showPressureChart()
{
    // A window of its own that goes with the console.
    if (!pressureChart) {
        pressureChart = new PressureChart(pressureHistory, &window);
        pressureChart->setExportFolder(touchview.exportFolder());
        if (kept)
            kept->restore(*pressureChart, Kept::Window::Chart);
        connect(pressureChart, &PressureChart::saved, this, [this](const QString &path) {
            confirm(tr("Druckverlauf gespeichert: %1").arg(QDir::toNativeSeparators(path)));
            keepExportFolder(path);
        });
    }
    pressureChart->show();
    pressureChart->raise();
}

void DeviceData::keepSettings(KeptSettings &settings)
{
    kept = &settings;
    touchview.setExportFolder(kept->folder(Kept::Folder::Exports));
}

void DeviceData::keepWindows()
{
    if (!kept)
        return;
    kept->keepOpen(Kept::Window::Chart, pressureChart && pressureChart->isVisible());
    if (pressureChart)
        kept->keep(*pressureChart, Kept::Window::Chart);
}

void DeviceData::keepExportFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    touchview.setExportFolder(folder);
    if (pressureChart)
        pressureChart->setExportFolder(folder);
    if (kept)
        kept->keepFolderOf(Kept::Folder::Exports, path);
}

} // namespace app
