#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "monitor/canwindow.h"
#include "monitor/pressurechart.h"

#include <QFileInfo>
#include <QTimer>

using Kept = app::KeptSettings;

// Where the windows were, and which were open, when the console last closed;
// the folders last used. The windows open again once the console is shown.
void MainWindow::keepSettings(app::KeptSettings &settings)
{
    kept = &settings;
    kept->restore(*this, Kept::Window::Main);
    ui->touchview->setExportFolder(kept->folder(Kept::Folder::Exports));
    QTimer::singleShot(0, this, [this] {
        if (kept->wasOpen(Kept::Window::Activity) && !canWindow) {
            ui->showCANView->click();
            kept->restore(*canWindow, Kept::Window::Activity);
        }
        if (kept->wasOpen(Kept::Window::Chart))
            showPressureChart();
    });
}

// Before the windows go with the console.
void MainWindow::keepWindows()
{
    if (!kept)
        return;
    kept->keep(*this, Kept::Window::Main);
    kept->keepOpen(Kept::Window::Activity, canWindow != nullptr);
    if (canWindow)
        kept->keep(*canWindow, Kept::Window::Activity);
    kept->keepOpen(Kept::Window::Chart, pressureChart && pressureChart->isVisible());
    if (pressureChart)
        kept->keep(*pressureChart, Kept::Window::Chart);
    kept->write();
}

void MainWindow::keepExportFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    ui->touchview->setExportFolder(folder);
    if (pressureChart)
        pressureChart->setExportFolder(folder);
    if (kept)
        kept->keepFolderOf(Kept::Folder::Exports, path);
}
