#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/statusfield.h"
#include "device/dialogue.h"

// The touchpad's raw matrix, paced by the window's timer: requests that go
// unanswered are resent, and a device silent for too long is given up on and
// asked again after a pause while the box is ticked, so that the download
// picks up when it comes back.
namespace {
using Download = device::TouchpadDownload;
// The title follows the position, but a fast device must not cost a repaint
// of the group box for every reply.
constexpr int titleIntervalMs = 100;
} // namespace

void MainWindow::on_readTPraw_clicked()
{
    if (ui->readTPraw->isChecked()) {
        if (tpRaw.state() == Download::Idle)
            startTPRaw();
        return;
    }
    // Without an answer to the copy request there is nothing to finish: stop
    // asking. A download already running still runs to its end.
    if (tpRaw.stopAsking()) {
        tpRawTimer.stop();
        updateTPRawTitle();
    }
}

void MainWindow::startTPRaw()
{
    // The progress title's clock is not restarted: running on over the
    // automatic restarts, it lets a download shorter than its interval show
    // its progress too.
    tpRaw.start(clock.elapsed());
    requestTPRawCopy();
    tpRawTimer.start(tpRaw.resendIntervalMs());
    updateTPRawTitle();
}

// The pause after a download given up has passed.
void MainWindow::restartTPRaw()
{
    if (ui->readTPraw->isChecked() && tpRaw.state() == Download::Idle)
        startTPRaw();
}

void MainWindow::giveUpTPRaw()
{
    tpRawTimer.stop();
    updateTPRawTitle();
    const bool again = ui->readTPraw->isChecked();
    if (again)
        tpRawRestartTimer.start(Download::restartPauseMs);
    QString text = tr("Touchpad-Download abgebrochen: keine Antwort seit %1 s").arg(Download::giveUpMs / 1000);
    if (again)
        text += tr(", neuer Versuch in %1 s").arg(Download::restartPauseMs / 1000);
    app::warn(*ui->statusBar, text);
}

void MainWindow::requestTPRawCopy()
{
    sendDeviceRequest(tpRaw.request());
}

void MainWindow::requestTPRawDownload()
{
    sendDeviceRequest(tpRaw.request());
}

void MainWindow::handleTPRawReply(const VectorCAN::Message &msg)
{
    switch (tpRaw.accept(msg, clock.elapsed())) {
    case Download::Answer::Ignored:
        return;
    case Download::Answer::Finished:
        finishTPRaw();
        return;
    case Download::Answer::DataTaken:
        if (tpRawTitled.hasExpired(titleIntervalMs)) {
            tpRawTitled.start();
            updateTPRawTitle();
        }
        break;
    case Download::Answer::HeaderTaken:
        break;
    }
    tpRawTimer.start(tpRaw.resendIntervalMs());
    requestTPRawDownload();
}

void MainWindow::finishTPRaw()
{
    tpRawTimer.stop();
    ui->touchview->setData(tpRaw.rows(), tpRaw.columns(), tpRaw.matrix());
    updateTPRawTitle();
    if (ui->readTPraw->isChecked())
        startTPRaw();
}

void MainWindow::advanceTPRaw()
{
    switch (tpRaw.advance(clock.elapsed())) {
    case Download::Tick::GaveUp:
        giveUpTPRaw();
        return;
    case Download::Tick::Resend:
        sendDeviceRequest(tpRaw.request());
        break;
    case Download::Tick::NotRunning:
        tpRawTimer.stop();
        break;
    }
    updateTPRawTitle();
}

void MainWindow::updateTPRawTitle()
{
    switch (tpRaw.state()) {
    case Download::Idle:
        ui->readTPraw->setTitle(tr("Touchpad - Rohdaten"));
        break;
    case Download::Init:
        ui->readTPraw->setTitle(tr("Touchpad - Rohdaten (init)"));
        break;
    case Download::Download:
        ui->readTPraw->setTitle(tr("Touchpad - Rohdaten (%1%)").arg(tpRaw.percent()));
        break;
    }
}
