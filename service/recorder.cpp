#include "service/recorder.h"

#include "service/appendlines.h"

#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

Q_LOGGING_CATEGORY(lcRecorder, "korvel.service.recorder")

namespace service {

namespace {

// About a quarter of a second of a full bus; a write of it takes well under
// a millisecond on a local disk.
constexpr size_t bufferSize = 64 * 1024;

} // namespace

Recorder::Recorder(QObject *parent)
    : QObject(parent)
{
    connect(&flushTimer, &QTimer::timeout, this, &Recorder::flush);
}

Recorder::~Recorder()
{
    stop();
}

void Recorder::setInterface(const QString &channelName)
{
    const QStringList words = channelName.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    interfaceName = words.isEmpty() ? std::string("can0") : words.constLast().toStdString();
    buffer.resize(bufferSize + size_t(canlog::maxLineLength(int(interfaceName.size()))));
}

bool Recorder::start(const QString &path, QString *error)
{
    stop();
    filePath = path;
    // The file itself, without a buffer of Qt's: the buffer here is the only
    // one, and a write that fails tells why, and how much it took.
    fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = qt_error_string(errno);
        return false;
    }
    buffer.resize(bufferSize + size_t(canlog::maxLineLength(int(interfaceName.size()))));
    used = 0;
    count = 0;
    flushTimer.start(flushIntervalMs);
    qCInfo(lcRecorder) << "recording to" << path;
    return true;
}

void Recorder::stop()
{
    if (!isRecording())
        return;
    flush();
    flushTimer.stop();
    if (isRecording()) {
        close();
        qCInfo(lcRecorder) << "recorded" << count << "frames to" << filePath;
    }
}

void Recorder::record(const VectorCAN::Message &msg, qint64 micros)
{
    if (!isRecording())
        return;
    canlog::Record record;
    record.micros = micros;
    record.frame.id = msg.id;
    record.frame.flags = msg.extended ? bus::Frame::Extended : 0;
    record.frame.length = quint8(std::clamp(msg.dlc, 0, 15));
    std::copy(std::begin(msg.data), std::end(msg.data), record.frame.data.begin());
    record.tx = msg.tx;
    used = size_t(canlog::writeLine(buffer.data() + used, record, interfaceName) - buffer.data());
    ++count;
    if (used >= bufferSize)
        flush();
}

void Recorder::flush()
{
    if (!isRecording())
        return;
    if (const QString reason = appendLines(fd, std::string_view(buffer.data(), used)); !reason.isEmpty()) {
        fail(reason);
        return;
    }
    used = 0;
    // A file removed while open takes every write and keeps none of it.
    struct stat status = {};
    if (::fstat(fd, &status) == 0 && status.st_nlink == 0)
        fail(tr("die Datei wurde entfernt"));
}

void Recorder::fail(const QString &reason)
{
    qCWarning(lcRecorder) << "recording to" << filePath << "stopped:" << reason;
    used = 0;
    flushTimer.stop();
    close();
    emit failed(filePath, reason);
}

void Recorder::close()
{
    ::close(fd);
    fd = -1;
}

} // namespace service
