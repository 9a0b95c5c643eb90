#include "app/calibrationrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcCalibrationRecord, "korvel.app.calibrationrecord")

namespace app {

namespace {

// Channel names are the only free text; a comma or quote in one must not
// shift the columns.
QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

const char header[] = "Zeit,Kanal,Aktion,Roh1 unbelastet,Roh2 unbelastet,Roh1 belastet,Roh2 belastet,"
                      "sens1Mul,sens1Div,calMul,calDiv,Bytes,Ergebnis\n";

} // namespace

CalibrationRecord::CalibrationRecord(const QString &path, QObject *parent)
    : QObject(parent)
    , filePath(path)
{
}

CalibrationRecord::~CalibrationRecord()
{
    for (const Entry &entry : std::as_const(waiting))
        write(entry, tr("ausstehend"));
}

QString CalibrationRecord::standardPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("kalibrierprotokoll.csv"));
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
    QStringList fields{entry.time.toString(Qt::ISODate), field(entry.channel), entry.action};
    for (quint16 value : entry.snapshots)
        fields << QString::number(value);
    for (quint16 value : entry.factors)
        fields << QString::number(value);
    fields << QString::fromLatin1(entry.message.toHex(' ').toUpper()) << outcome;
    const QByteArray line = fields.join(QLatin1Char(',')).toUtf8() + '\n';

    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QFile file(filePath);
    const bool fresh = !file.exists() || file.size() == 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)
        || (fresh && file.write(header) != qint64(sizeof header - 1)) || file.write(line) != line.size()
        || !file.flush()) {
        qCWarning(lcCalibrationRecord, "%s not written: %s", qPrintable(filePath), qPrintable(file.errorString()));
        return file.errorString();
    }
    return {};
}

} // namespace app
