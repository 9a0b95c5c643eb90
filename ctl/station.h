#pragma once

#include "ctl/options.h"
#include "isotp/isotptx.h"
#include "platform/stopsignals.h"
#include "service/recorder.h"
#include "service/systemdriver.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace ctl {

// One job's way to the device: the machine's channels, the port onto one of
// them, the ISO-TP transmitter and the recording, as the console has them.
// A job runs as a sequence of steps, each waiting in the event loop until it
// is done, the device has been silent for the timeout, the bus is lost, a
// stop signal came or stdin ended; what ends a wait is the job's exit code.
class Station : public QObject
{
    Q_OBJECT

public:
    explicit Station(int timeoutMs);
    ~Station() override;

    // The channels, as the console lists them.
    QStringList channels();
    // The channel of that name, or the first; Usage when there is none of
    // that name, BusLost when it does not open.
    Exit open(const QString &name);
    const QString &channelName() const { return channel; }

    // Each frame from the bus, after the transmitter and the recording saw it.
    void onFrame(std::function<void(const VectorCAN::Message &)> handler) { frameHandler = std::move(handler); }
    bool transmit(const VectorCAN::Message &msg) { return can.transmit(msg); }
    // The request, repeated every 50 ms like the console's polling, until
    // accept() takes a reply.
    Exit ask(const VectorCAN::Message &request, const std::function<bool(const VectorCAN::Message &)> &accept);
    // The ISO-TP message; Done once its last frame went out, Refused when
    // the transmitter gave it up. *outcome says which, as the calibration
    // record does, and why.
    Exit transfer(const QByteArray &message, QString *outcome);

    // Runs until done() holds. Where an answer is awaited, a device that
    // sends nothing on its identifiers for the timeout ends it.
    Exit waitUntil(const std::function<bool()> &done, bool awaitingAnswer);
    // Runs until the clock reaches the time or stop() holds, awaiting nothing.
    Exit waitUntilTime(qint64 ms, const std::function<bool()> &stop = {});
    // The next line on stdin; Aborted when it ends first.
    Exit readLine();

    // Milliseconds since the station was made.
    qint64 now() const { return clock.elapsed(); }
    // Why the last step did not end Done, for the user.
    const QString &failure() const { return why; }
    // The job's own reason to end with the code.
    Exit fail(Exit exit, const QString &reason)
    {
        why = reason;
        return exit;
    }
    int timeout() const { return timeoutMs; }

    ISOTPTX &transmitter() { return isotp; }
    service::Recorder &recorder() { return recording; }

signals:
    void waitEnded();

private:
    void readFrames();
    // The wait's end, once there is one.
    void check();

    const int timeoutMs;
    QElapsedTimer clock;
    service::SystemDriver driver;  // before the port, which opens on it
    VectorCAN can;
    ISOTPTX isotp;
    service::Recorder recording;
    platform::StopSignals stopSignals;
    QString channel;
    std::function<void(const VectorCAN::Message &)> frameHandler;

    // The wait in progress.
    std::function<bool()> waitDone;
    bool awaiting = false;
    qint64 lastSign = 0;  // the device's last frame, or the wait's start
    Exit ended = Exit::Done;
    bool waiting = false;
    QTimer watch;      // the bus's state and the device's silence
    QTimer deadline;   // waitUntilTime's end
    QString why;
    bool stopped = false;

    std::unique_ptr<QSocketNotifier> input;  // stdin, once read
    QByteArray inputBuffer;
    bool inputEnded = false;
};

} // namespace ctl
