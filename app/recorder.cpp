#include "app/recorder.h"

#include <QLoggingCategory>
#include <QRegularExpression>

#include <sys/stat.h>

#include <algorithm>

Q_LOGGING_CATEGORY(lcRecorder, "korvel.app.recorder")

namespace app {

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
    buffer.resize(bufferSize + size_t(xl::candump::maxLineLength(int(interfaceName.size()))));
}

bool Recorder::start(const QString &path, QString *error)
{
    stop();
    file.setFileName(path);
    // Unbuffered: the buffer here is the only one, so a write error shows
    // when it is written, not at some later flush of Qt's.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    buffer.resize(bufferSize + size_t(xl::candump::maxLineLength(int(interfaceName.size()))));
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
    if (file.isOpen()) {
        file.close();
        qCInfo(lcRecorder) << "recorded" << count << "frames to" << file.fileName();
    }
}

void Recorder::record(const VectorCAN::Message &msg, qint64 micros)
{
    if (!isRecording())
        return;
    xl::candump::Frame frame;
    frame.micros = micros;
    frame.id = msg.id;
    frame.extended = msg.extended;
    frame.dlc = quint8(std::clamp(msg.dlc, 0, 15));
    std::copy(std::begin(msg.data), std::end(msg.data), frame.data);
    frame.tx = msg.tx;
    used = size_t(xl::candump::writeLine(buffer.data() + used, frame, interfaceName) - buffer.data());
    ++count;
    if (used >= bufferSize)
        flush();
}

void Recorder::flush()
{
    if (!isRecording())
        return;
    if (used > 0 && file.write(buffer.data(), qint64(used)) != qint64(used)) {
        fail(file.errorString());
        return;
    }
    used = 0;
    // A file removed while open takes every write and keeps none of it.
    struct stat status = {};
    if (::fstat(file.handle(), &status) == 0 && status.st_nlink == 0)
        fail(tr("die Datei wurde entfernt"));
}

void Recorder::fail(const QString &reason)
{
    qCWarning(lcRecorder) << "recording to" << file.fileName() << "stopped:" << reason;
    used = 0;
    flushTimer.stop();
    file.close();
    emit failed(file.fileName(), reason);
}

} // namespace app
