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
    {
        clear();
        previous = qInstallMessageHandler(collect);
    }
    ~TraceCapture() { qInstallMessageHandler(previous); }
    TraceCapture(const TraceCapture &) = delete;
    TraceCapture &operator=(const TraceCapture &) = delete;

    QStringList lines() const
    {
        const QMutexLocker locker(&lock());
        return collected();
    }
    void clear()
    {
        const QMutexLocker locker(&lock());
        collected().clear();
    }

private:
    static void collect(QtMsgType, const QMessageLogContext &, const QString &line)
    {
        const QMutexLocker locker(&lock());
        collected().append(line);
    }
    static QMutex &lock()
    {
        static QMutex mutex;
        return mutex;
    }
    static QStringList &collected()
    {
        static QStringList lines;
        return lines;
    }

    QtMessageHandler previous = nullptr;
};

} // namespace tests
