#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/deviceprotocol.h"

#include <QStatusBar>

// The touchpad's raw matrix, fetched four bytes at a time. Unanswered
// requests are resent every 50 ms (copy) or 30 ms (data) until an answer
// comes, or for 2 s: a device that stays silent so long is given up on, and
// asked again after a pause while the box is ticked, so that the download
// picks up when it comes back.
namespace {
constexpr int copyResendMs = 50;
constexpr int dataResendMs = 30;
constexpr int giveUpMs = 2000;
constexpr int restartPauseMs = 1000;
// The title follows the position, but a fast device must not cost a repaint
// of the group box for every reply.
constexpr int titleIntervalMs = 100;
} // namespace

void MainWindow::on_readTPraw_clicked()
{
    if (ui->readTPraw->isChecked()) {
        if (tpRawState == TPRawIdle)
            startTPRaw();
        return;
    }
    // Without an answer to the copy request there is nothing to finish: stop
    // asking. A download already running still runs to its end.
    if (tpRawState == TPRawInit) {
        tpRawTimer.stop();
        tpRawState = TPRawIdle;
        updateTPRawTitle();
    }
}

void MainWindow::startTPRaw()
{
    tpRawState = TPRawInit;
    // The progress title's clock runs on over the automatic restarts: a
    // download shorter than its interval would otherwise never show one.
    tpRawAnswered.start();
    requestTPRawCopy();
    tpRawTimer.start(copyResendMs);
    updateTPRawTitle();
}

// The pause after a download given up has passed.
void MainWindow::restartTPRaw()
{
    if (ui->readTPraw->isChecked() && tpRawState == TPRawIdle)
        startTPRaw();
}

void MainWindow::giveUpTPRaw()
{
    tpRawState = TPRawIdle;
    tpRawTimer.stop();
    updateTPRawTitle();
    const bool again = ui->readTPraw->isChecked();
    if (again)
        tpRawRestartTimer.start(restartPauseMs);
    QString text = tr("Touchpad-Download abgebrochen: keine Antwort seit %1 s").arg(giveUpMs / 1000);
    if (again)
        text += tr(", neuer Versuch in %1 s").arg(restartPauseMs / 1000);
    ui->statusBar->showMessage(text, 10000);
}

void MainWindow::requestTPRawCopy()
{
    sendDeviceRequest(protocol::touchpadHeader);
}

void MainWindow::requestTPRawDownload()
{
    sendDeviceRequest(protocol::touchpadData, quint8(tpRawRow), quint8(tpRawCol));
}

void MainWindow::handleTPRawHeader(const quint8 *data)
{
    tpRawRows = data[2];
    tpRawCols = data[3];
    tpRawData.resize(tpRawRows * tpRawCols);
    tpRawRow = 0;
    tpRawCol = 0;
    tpRawState = TPRawDownload;
    tpRawAnswered.start();
    tpRawTimer.start(dataResendMs);
    requestTPRawDownload();
}

// Completion shows only when a byte would land past the end, so a matrix that
// ends on a frame's last byte takes one more exchange, for position (rows, 0).
void MainWindow::handleTPRawData(const quint8 *data)
{
    for (int i = 4; i < 8; ++i) {
        if (tpRawRow >= tpRawRows || tpRawCol >= tpRawCols) {
            finishTPRaw();
            return;
        }
        tpRawData[tpRawRow * tpRawCols + tpRawCol] = char(data[i]);
        if (++tpRawCol == tpRawCols) {
            ++tpRawRow;
            tpRawCol = 0;
        }
    }
    tpRawAnswered.start();
    if (tpRawTitled.hasExpired(titleIntervalMs)) {
        tpRawTitled.start();
        updateTPRawTitle();
    }
    tpRawTimer.start(dataResendMs);
    requestTPRawDownload();
}

void MainWindow::finishTPRaw()
{
    tpRawState = TPRawIdle;
    tpRawTimer.stop();
    ui->touchview->setData(tpRawRows, tpRawCols, tpRawData);
    updateTPRawTitle();
    if (ui->readTPraw->isChecked())
        startTPRaw();
}

void MainWindow::advanceTPRaw()
{
    if (tpRawState != TPRawIdle && tpRawAnswered.hasExpired(giveUpMs)) {
        giveUpTPRaw();
        return;
    }
    switch (tpRawState) {
    case TPRawInit:
        requestTPRawCopy();
        break;
    case TPRawDownload:
        requestTPRawDownload();
        break;
    default:
        tpRawTimer.stop();
        break;
    }
    updateTPRawTitle();
}

void MainWindow::updateTPRawTitle()
{
    switch (tpRawState) {
    case TPRawIdle:
        ui->readTPraw->setTitle(tr("Touchpad - Rohdaten"));
        break;
    case TPRawInit:
        ui->readTPraw->setTitle(tr("Touchpad - Rohdaten (init)"));
        break;
    case TPRawDownload: {
        // An empty matrix has nothing left to fetch, and the closing exchange
        // for position (rows, 0) must not read above 100 %.
        const int percent = tpRawRows == 0 ? 100 : qMin(100, 100 * (tpRawRow + 1) / tpRawRows);
        ui->readTPraw->setTitle(tr("Touchpad - Rohdaten (%1%)").arg(percent));
        break;
    }
    default:
        break;
    }
}
