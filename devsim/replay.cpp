#include "devsim/replay.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include <fcntl.h>
#include <net/if.h>
#include <sys/stat.h>
#include <unistd.h>

namespace devsim {

namespace {

// Frames due at once go out in batches, so that a log played far faster than
// the bus can carry still lets the event loop turn.
constexpr int batch = 1024;

// Read at a time, at most one read a turn of the event loop: all a replay
// holds of its input but a line's start.
constexpr size_t chunkSize = 64 * 1024;

// The longest line a classic frame can come in: candump -l's, as writeLine()
// gives it, for the longest interface name Linux has; the newline it counts
// makes room for a carriage return. A longer line is skipped as it comes,
// never held whole.
constexpr qsizetype longestLine = canlog::maxLineLength(IFNAMSIZ - 1);

} // namespace

Replay::Replay(Send sender, QObject *parent)
    : QObject(parent)
    , send(std::move(sender))
    , splitter(longestLine)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &Replay::playDue);
}

Replay::~Replay()
{
    notifier.reset();  // before its descriptor goes
    if (fd > STDIN_FILENO)
        ::close(fd);
}

bool Replay::open(const QString &path, double factor, QString *error)
{
    speed = factor;
    const bool standardInput = path == QLatin1String("-");
    source = standardInput ? QStringLiteral("standard input") : path;
    // Without O_NONBLOCK a FIFO would hold open() until a writer comes, and
    // with it the program, deaf to SIGINT. Standard input keeps its flags,
    // which it shares with the shell: it is read only when it has bytes.
    fd = standardInput ? STDIN_FILENO : ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status = {};
    int reason = 0;
    if (fd < 0 || ::fstat(fd, &status) != 0)
        reason = errno;
    else if (S_ISDIR(status.st_mode))
        reason = EISDIR;
    if (reason != 0) {
        *error = QStringLiteral("cannot read %1: %2").arg(source, qt_error_string(reason));
        return false;
    }
    // A regular file always has its next bytes at hand; anything else
    // (pipe, FIFO, terminal, device) is read once the notifier says so.
    if (!S_ISREG(status.st_mode)) {
        notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        notifier->setEnabled(false);
        connect(notifier.get(), &QSocketNotifier::activated, this, [this] {
            notifier->setEnabled(false);
            readable = true;
            playDue();
        });
    }
    chunk.resize(chunkSize);
    return true;
}

void Replay::start()
{
    playDue();
}

void Replay::playDue()
{
    bool readThisTurn = false;
    for (int sent = 0; sent < batch;) {
        takeLines();
        if (stopped)
            return;
        if (!next) {
            if (ended) {
                emit finished();
            } else if (notifier && !readable) {
                notifier->setEnabled(true);
            } else if (readThisTurn) {
                timer.start(0);  // a chunk of skipped lines: the event loop first
            } else {
                readChunk();
                readThisTurn = true;
                continue;
            }
            return;
        }
        if (!clock.isValid()) {
            firstMicros = next->micros;
            clock.start();
        }
        const qint64 dueNs = qint64(std::llround(double(next->micros - firstMicros) * 1000 / speed));
        const qint64 waitNs = dueNs - clock.nsecsElapsed();
        if (waitNs > 0) {
            timer.start(int((waitNs + 999999) / 1000000));
            return;
        }
        // A classic DLC beyond 8 still carries 8 bytes.
        bus::Frame frame = next->frame;
        frame.length = std::min<quint8>(frame.length, 8);
        send(frame);
        ++frames;
        ++sent;
        next.reset();
    }
    timer.start(0);
}

void Replay::readChunk()
{
    readable = false;
    const ssize_t count = ::read(fd, chunk.data(), chunk.size());
    if (count < 0) {
        // Nothing there after all, or a signal came first: the notifier again.
        if (errno != EAGAIN && errno != EINTR)
            fail(QStringLiteral("cannot read %1: %2").arg(source, qt_error_string(errno)));
        return;
    }
    unread = std::string_view(chunk.data(), size_t(count));
    if (count == 0) {
        ended = true;
        // The last line, when no newline ends it, ends here.
        if (midLine)
            unread = "\n";
    } else {
        midLine = unread.back() != '\n';
    }
}

void Replay::takeLines()
{
    while (!next && !stopped && !unread.empty()) {
        // One line, or the part of it read, at a time, to count the lines.
        const size_t newline = unread.find('\n');
        const std::string_view piece = unread.substr(0, newline == std::string_view::npos ? newline : newline + 1);
        unread.remove_prefix(piece.size());
        // No text has a NUL. Without this, /dev/zero would be read for ever
        // as one endless line.
        if (piece.find('\0') != std::string_view::npos) {
            fail(QStringLiteral("%1 is no can-utils text log: binary data in line %2").arg(source).arg(lineNumber + 1));
            return;
        }
        splitter.feed(
            piece.data(), qsizetype(piece.size()), [this](QByteArrayView line) { take(line); },
            [this] { skipLine(); });
        if (newline != std::string_view::npos)
            ++lineNumber;
    }
}

void Replay::take(QByteArrayView line)
{
    while (line.endsWith('\r'))
        line.chop(1);
    if (line.trimmed().isEmpty())
        return;
    next = canlog::parseLine(std::string_view(line.data(), size_t(line.size())));
    if (!next)
        skipLine();
}

void Replay::skipLine()
{
    if (++malformed <= reportedLines)
        firstMalformed << lineNumber + 1;
}

void Replay::fail(const QString &message)
{
    stopped = true;
    timer.stop();
    if (notifier)
        notifier->setEnabled(false);
    emit failed(message);
}

} // namespace devsim
