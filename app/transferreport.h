#pragma once

#include "isotp/isotptx.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <utility>

namespace app {

// Hands messages to the transmitter and says what became of each, in the
// words the console sent it with: "<what>" at once, then "<what>: übertragen"
// once its last frame went out, or "<what>: abgebrochen: <reason>". The
// transmitter works its messages off in order, so the first one waiting with
// the bytes it reports is the one it means.
class TransferReport : public QObject
{
    Q_OBJECT

public:
    explicit TransferReport(ISOTPTX &transmitter, QObject *parent = nullptr);

    void send(const QByteArray &message, const QString &what);

signals:
    void report(const QString &text);

private:
    void settle(const QByteArray &message, const QString &outcome);

    ISOTPTX &transmitter;
    QList<std::pair<QByteArray, QString>> waiting;
};

} // namespace app
