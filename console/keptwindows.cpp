#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/devicedata.h"
#include "app/keptsettings.h"
#include "app/session.h"
#include "monitor/canwindow.h"

#include <QTimer>

using Kept = app::KeptSettings;

// Where the windows were, and which were open, when the console last closed;
// the folders last used. The windows open again once the console is shown.
void MainWindow::keepSettings(app::KeptSettings &settings)
{
    kept = &settings;
    kept->restore(*this, Kept::Window::Main);
    channelSession->keepSettings(settings);
    deviceRecords->keepSettings(settings);
    QTimer::singleShot(0, this, [this] {
        if (kept->wasOpen(Kept::Window::Activity) && !canWindow) {
            ui->showCANView->click();
            kept->restore(*canWindow, Kept::Window::Activity);
        }
        if (kept->wasOpen(Kept::Window::Chart))
            deviceRecords->showPressureChart();
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
    deviceRecords->keepWindows();
    kept->write();
}
