#include "ctl/output.h"

#include <QJsonDocument>

#include <cstdio>

namespace ctl {

namespace {
void print(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

QString Texts::outcome(const QString &word)
{
    return word == QLatin1String("gesendet") ? tr("gesendet") : tr("abgebrochen");
}

void Output::result(const QJsonObject &object, const QString &line) const
{
    print(stdout, json ? QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n' : line.toUtf8() + '\n');
}

void Output::raw(const QByteArray &bytes) const
{
    print(stdout, bytes);
}

void Output::note(const QString &line) const
{
    print(stderr, line.toUtf8() + '\n');
}

void Output::failure(const QString &why) const
{
    note(QStringLiteral("korvelctl: ") + why);
}

} // namespace ctl
