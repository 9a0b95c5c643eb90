#include "service/calibrationrecord.h"

#include "service/appendlines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

Q_LOGGING_CATEGORY(lcCalibrationRecord, "korvel.service.calibrationrecord")

namespace service {

namespace {

// Channel names and serial numbers are the only free text; a comma, quote or
// line break in one must not shift the columns.
QString field(const QString &text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return QStringView(u",\"\r\n").contains(c); }))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

const char header[] = "Zeit,Kanal,Aktion,Roh1 unbelastet,Roh2 unbelastet,Roh1 belastet,Roh2 belastet,"
                      "sens1Mul,sens1Div,calMul,calDiv,Bytes,Ergebnis,Seriennummer\n";

// The folder and those above it, as mkdir -p makes them: QDir::mkpath keeps
// the system's reason to itself, and the open after it would blame a missing
// folder. Empty, or the reason.
QString makeFolders(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    for (qsizetype slash = native.indexOf('/', 1);; slash = native.indexOf('/', slash + 1)) {
        if (::mkdir(native.left(slash < 0 ? native.size() : slash).constData(), 0777) != 0 && errno != EEXIST)
            return qt_error_string(errno);
        if (slash < 0)
            return {};
    }
}

// The line appended to the file, after the header if the file is new or
// empty; empty, or the system's reason.
QString append(const QString &path, const QByteArray &line)
{
    if (const QString reason = makeFolders(QFileInfo(path).absolutePath()); !reason.isEmpty())
        return reason;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return qt_error_string(errno);
    struct stat status = {};
    const QByteArray lines = ::fstat(fd, &status) == 0 && status.st_size == 0 ? header + line : line;
    QString reason = appendLines(fd, std::string_view(lines.constData(), size_t(lines.size())));
    // Where a file system on the network says the write did not reach it.
    if (::close(fd) != 0 && reason.isEmpty())
        reason = qt_error_string(errno);
    return reason;
}

} // namespace

CalibrationRecord::CalibrationRecord(const QString &path, QObject *parent)
    : QObject(parent)
    , filePath(path)
{
}

CalibrationRecord::~CalibrationRecord()
{
    for (const Entry &entry : std::as_const(waiting))
        write(entry, QStringLiteral("ausstehend"));
}

QString CalibrationRecord::standardPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("korvel-console/kalibrierprotokoll.csv"));
}

void CalibrationRecord::add(const Entry &entry)
{
    waiting.append(entry);
}

void CalibrationRecord::settle(const QByteArray &message, const QString &outcome)
{
    for (auto entry = waiting.begin(); entry != waiting.end(); ++entry) {
        if (entry->message == message) {
            const Entry settled = *entry;
            waiting.erase(entry);
            const QString error = write(settled, outcome);
            if (!error.isEmpty())
                emit writeFailed(filePath, error);
            return;
        }
    }
}

QString CalibrationRecord::write(const Entry &entry, const QString &outcome)
{
    const QString action = entry.action == Action::Save ? QStringLiteral("speichern") : QStringLiteral("zurücksetzen");
    QStringList fields{entry.time.toString(Qt::ISODate), field(entry.channel), action};
    for (quint16 value : entry.snapshots)
        fields << QString::number(value);
    for (quint16 value : entry.factors)
        fields << QString::number(value);
    fields << QString::fromLatin1(entry.message.toHex(' ').toUpper()) << outcome << field(entry.serial);
    const QString reason = append(filePath, fields.join(QLatin1Char(',')).toUtf8() + '\n');
    if (!reason.isEmpty())
        qCWarning(lcCalibrationRecord, "%s not written: %s", qPrintable(filePath), qPrintable(reason));
    return reason;
}

} // namespace service
