#include "app/transferreport.h"

namespace app {

TransferReport::TransferReport(ISOTPTX &tx, QObject *parent)
    : QObject(parent)
    , transmitter(tx)
{
    connect(&transmitter, &ISOTPTX::transferSent, this, [this](const QByteArray &message) {
        settle(message, tr("übertragen"));
    });
    connect(&transmitter, &ISOTPTX::transferAbandoned, this, [this](const QByteArray &message, const QString &reason) {
        settle(message, tr("abgebrochen: %1").arg(reason));
    });
}

// A short message goes out, and is settled, inside the transmitter's send().
void TransferReport::send(const QByteArray &message, const QString &what)
{
    waiting.append({message, what});
    emit report(what);
    transmitter.send(message);  // the console's messages are all far below the limit
}

void TransferReport::settle(const QByteArray &message, const QString &outcome)
{
    for (auto it = waiting.begin(); it != waiting.end(); ++it) {
        if (it->first == message) {
            emit report(QStringLiteral("%1: %2").arg(it->second, outcome));
            waiting.erase(it);
            return;
        }
    }
}

} // namespace app
