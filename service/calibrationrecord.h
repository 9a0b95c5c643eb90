#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <array>

namespace service {

// The bench's trace of every calibration written into a device: one CSV line
// for each, appended once the transmitter has sent it or given it up, or
// when the record ends with it still on its way.
class CalibrationRecord : public QObject
{
    Q_OBJECT

public:
    // The record is read by people and scripts alike: its words stay German
    // whatever language the program speaks.
    enum class Action { Save, Reset };  // "speichern", "zurücksetzen"

    struct Entry
    {
        QDateTime time;
        QString channel;
        Action action;
        std::array<quint16, 4> snapshots;  // raw1, raw2 unloaded, then loaded
        std::array<quint16, 4> factors;    // sens1Mul, sens1Div, calMul, calDiv
        QByteArray message;                // as handed to the transmitter
        QString serial;                    // the device's, where a bench gives it
    };

    explicit CalibrationRecord(const QString &path, QObject *parent = nullptr);
    // Writes the entries still waiting as "ausstehend".
    ~CalibrationRecord() override;

    // In the console's data folder, for korvelctl too: one record a bench.
    static QString standardPath();
    QString path() const { return filePath; }

    // Waits for the transmitter's word on the message.
    void add(const Entry &entry);
    // The transmitter works its messages off in order, so the first entry
    // waiting with these bytes is the one they were sent for.
    void sent(const QByteArray &message) { settle(message, QStringLiteral("gesendet")); }
    void abandoned(const QByteArray &message) { settle(message, QStringLiteral("abgebrochen")); }

signals:
    void writeFailed(const QString &path, const QString &reason);

private:
    void settle(const QByteArray &message, const QString &outcome);
    // Empty, or why the line could not be written.
    QString write(const Entry &entry, const QString &outcome);

    QString filePath;
    QList<Entry> waiting;
};

} // namespace service
