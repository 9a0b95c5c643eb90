#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QIcon>

// The form's tool bar carries the session's actions, each with the icon
// the desktop's theme gives it, or the program's own where it has none.
void MainWindow::setUpToolBar()
{
    // The icons live in a static library, so they are pulled in by name.
    Q_INIT_RESOURCE(icons);
    const auto icon = [](const char *themeName, const char *own) {
        return QIcon::fromTheme(QLatin1String(themeName), QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(own))));
    };
    recordingAction->setIcon(icon("media-record", "record"));
    switchChannelAction->setIcon(icon("network-wired", "channel"));
    reconnectAction->setIcon(icon("view-refresh", "reconnect"));
    chartAction->setIcon(icon("utilities-system-monitor", "chart"));
    ui->mainToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ui->mainToolBar->addActions({recordingAction, switchChannelAction, reconnectAction, chartAction});
}
