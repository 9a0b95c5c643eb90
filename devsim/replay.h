#pragma once

#include "canlog/candumplog.h"
#include "virtualbus/virtualcanwire.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace devsim {

// Plays a log in the can-utils text format (canlog/candumplog.h) with the
// timing of its stamps, or that many times faster, read as it plays in chunks
// of a fixed size, so that neither a long recording nor a line without end
// costs memory. Reads files, FIFOs, pipes and standard input alike, the
// latter three only when they have bytes, so that the event loop never waits
// on them. Lines that are no classic data frame are skipped and counted; an
// input with a NUL byte is no text log and is refused.
class Replay : public QObject
{
    Q_OBJECT

public:
    using Send = std::function<void(const bus::Frame &)>;
    static constexpr int reportedLines = 5;  // line numbers kept of the skipped ones

    explicit Replay(Send send, QObject *parent = nullptr);
    ~Replay() override;

    // False, and the message why, when the input cannot be opened; "-" is
    // standard input.
    bool open(const QString &path, double speed, QString *error);
    // Plays from now: the first frame as soon as it is read, the others at
    // their distance.
    void start();

    // The input as messages name it.
    const QString &name() const { return source; }
    quint64 played() const { return frames; }
    qint64 skipped() const { return malformed; }
    // The numbers of the first skipped lines, counted from 1.
    const QList<qint64> &skippedLines() const { return firstMalformed; }

signals:
    void finished();
    // The input could not be read on, or is no text log; nothing more is played.
    void failed(const QString &message);

private:
    void playDue();
    void readChunk();
    void takeLines();
    void take(QByteArrayView line);
    void skipLine();
    void fail(const QString &message);

    Send send;
    QString source;
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;  // for anything but a regular file
    bool readable = false;                      // the notifier fired since the last read
    std::vector<char> chunk;
    std::string_view unread;  // of chunk
    virtualbus::wire::LineSplitter splitter;
    bool midLine = false;     // the last byte read was no newline
    bool ended = false;       // no more input
    bool stopped = false;     // failed
    double speed = 1;
    std::optional<canlog::Record> next;
    qint64 firstMicros = 0;
    qint64 lineNumber = 0;    // of the lines complete
    quint64 frames = 0;
    qint64 malformed = 0;
    QList<qint64> firstMalformed;
    QElapsedTimer clock;
    QTimer timer;
};

} // namespace devsim
