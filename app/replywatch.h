#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace app {

// Tells when the device has left the console's requests unanswered for a
// second, and when it answers again: a device that stops answering must not
// look like one whose values merely stay the same.
class ReplyWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int silenceMs = 1000;
    // Often enough to say so within a quarter of a second of the limit.
    static constexpr int checkIntervalMs = 250;

    explicit ReplyWatch(QObject *parent = nullptr);

    void requestSent();
    void replyReceived();
    // Another device: nothing asked of it yet, and nothing to say.
    void reset();
    bool isSilent() const { return silent; }

public slots:
    void check();

signals:
    void silenceChanged(bool silent);

private:
    QTimer checkTimer;
    QElapsedTimer clock;
    qint64 unansweredSince = -1;  // ms on clock of the first request since the last reply
    qint64 lastRequest = -1;
    bool silent = false;
};

} // namespace app
