#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace platform {

// SIGINT and SIGTERM, turned into a signal of the event loop for as long as
// the object lives, so that a program stopped from a terminal or by a test
// bench ends as after a normal quit: files closed, ports closed, exit code 0.
// One at a time in a process.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // Empty once the signals are watched, else why they are not.
    const QString &error() const { return failure; }

signals:
    void stopRequested();

private:
    QSocketNotifier notifier{QSocketNotifier::Read};
    QString failure;
};

} // namespace platform
