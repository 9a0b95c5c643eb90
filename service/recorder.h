#pragma once

#include "can/vectorcan.h"
#include "canlog/candumplog.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <string>
#include <vector>

namespace service {

// Records the frames it is given into a file in the text log format of the
// Linux can-utils (canlog/candumplog.h), each stamped with the wall-clock time it
// is given. The lines gather in a buffer that goes to the file when it is
// full, at least once a second and on stop, so that a busy bus costs a write
// now and then and never one per frame.
//
// A write that fails, or a file removed meanwhile, stops the recording:
// failed() gives the system's reason, and the file keeps the whole lines
// written before (service/appendlines.h).
class Recorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int flushIntervalMs = 1000;

    explicit Recorder(QObject *parent = nullptr);
    ~Recorder() override;

    // Starts a new file, replacing one of that name; false, and why, when it cannot.
    bool start(const QString &path, QString *error);
    // The interface the lines name from now on: the last word of the channel's
    // name, its device ("can0" of "virtualcan can0"), as readers split the
    // line at white space; "can0" unless set.
    void setInterface(const QString &channelName);
    void stop();
    bool isRecording() const { return fd >= 0; }
    QString path() const { return filePath; }
    // Frames recorded since the start.
    quint64 frames() const { return count; }

    void record(const VectorCAN::Message &msg)
    {
        if (!isRecording())
            return;
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        record(msg, std::chrono::duration_cast<std::chrono::microseconds>(now).count());
    }
    void record(const VectorCAN::Message &msg, qint64 micros);

public slots:
    void flush();

signals:
    void failed(const QString &path, const QString &reason);

private:
    void fail(const QString &reason);
    void close();

    QString filePath;
    int fd = -1;
    std::string interfaceName = "can0";
    std::vector<char> buffer;
    size_t used = 0;
    quint64 count = 0;
    QTimer flushTimer;
};

} // namespace service
