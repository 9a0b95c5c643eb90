#pragma once

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

namespace tests {

// Collects every trace line, from whichever thread, while it lives, and puts
// the handler before it back when it goes. One at a time.
class TraceCapture
{
public:
    TraceCapture()
        : previous(qInstallMessageHandler(collect))
    {
    }
    ~TraceCapture()
    {
        qInstallMessageHandler(previous);
        const QMutexLocker locker(&lock);
        collected.clear();
    }

    QStringList lines() const
    {
        const QMutexLocker locker(&lock);
        return collected;
    }

private:
    static void collect(QtMsgType, const QMessageLogContext &, const QString &line)
    {
        const QMutexLocker locker(&lock);
        collected.append(line);
    }

    static inline QMutex lock;
    static inline QStringList collected;
    QtMessageHandler previous;
};

} // namespace tests
