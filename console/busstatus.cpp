#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "bus/busloss.h"

#include <QLabel>
#include <QLocale>

namespace {
constexpr int busStatusIntervalMs = 1000;

// The reasons the driver knows, in the console's words; any other as the system gave it.
QString lossText(const QString &reason)
{
    if (reason == QLatin1String(bus::busloss::closed))
        return MainWindow::tr("Verbindung vom Bus getrennt");
    if (reason == QLatin1String(bus::busloss::unreachable))
        return MainWindow::tr("Bus nicht erreichbar");
    if (reason == QLatin1String(bus::busloss::adapterGone))
        return MainWindow::tr("CAN-Adapter getrennt");
    return reason;
}

} // namespace

// A field of its own, framed, so that neighbouring texts never run together.
QLabel *MainWindow::addStatusField(const QString &name, const QString &text)
{
    auto *field = new QLabel(text, this);
    field->setObjectName(name);
    field->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    field->setContentsMargins(4, 0, 4, 0);
    ui->statusBar->addPermanentWidget(field);
    return field;
}

// Permanent fields at the right of the status bar, beside the passing
// messages: a device that does not answer and factors that look wrong, each
// while it is so; what the port could not take, hidden while it took
// everything; and the channel with its state, so that a lost bus is never
// silent.
void MainWindow::setUpBusStatus()
{
    // A device that stops answering looks otherwise like one whose values stay.
    deviceLabel = addStatusField(QStringLiteral("deviceState"), tr("Gerät antwortet nicht"));
    deviceLabel->hide();
    connect(&replyWatch, &app::ReplyWatch::silenceChanged, this, [this](bool silent) {
        deviceLabel->setVisible(silent);
        if (!silent)
            confirm(tr("Gerät antwortet"));
    });
    // Beside the factors it is about, as far as the status bar goes.
    calibrationWarning = addStatusField(QStringLiteral("calibrationWarning"), tr("Achtung: Last hat die Sensorwerte nicht erhöht"));
    calibrationWarning->hide();

    lostLabel = addStatusField(QStringLiteral("lostFrames"));
    busLabel = addStatusField(QStringLiteral("busState"));
    lostLabel->hide();
    connect(&busStatusTimer, &QTimer::timeout, this, &MainWindow::updateBusStatus);
    busStatusTimer.start(busStatusIntervalMs);
}

// Once a second at most: a flood that loses thousands of frames a second
// must not cost a repaint for each.
void MainWindow::updateBusStatus()
{
    quint64 lost = 0;
    QString offBusReason;
    const bool open = can.portState(&lost, &offBusReason);
    const QLocale locale;
    lostLabel->setText(tr("%1 Frames verworfen").arg(locale.toString(lost)));
    lostLabel->setVisible(open && lost > 0);
    if (!open)
        busLabel->setText(tr("kein Kanal"));
    else if (offBusReason.isEmpty())
        busLabel->setText(tr("%1 · verbunden").arg(channelName));
    else
        busLabel->setText(tr("%1 · getrennt: %2").arg(channelName, lossText(offBusReason)));
    recordingLabel->setText(tr("Aufzeichnung: %1 Frames").arg(locale.toString(recorder.frames())));
    recordingLabel->setVisible(recorder.isRecording());
}
