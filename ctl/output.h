#pragma once

#include <QCoreApplication>
#include <QJsonObject>
#include <QString>

namespace ctl {

// What korvelctl says to the person at the bench, in the language it speaks;
// its JSON stays as it is, for the scripts that read it.
class Texts
{
    Q_DECLARE_TR_FUNCTIONS(korvelctl)

public:
    // A transfer's outcome as the JSON gives it, "gesendet" or "abgebrochen".
    static QString outcome(const QString &word);
};

// Where korvelctl says what it found: each result on stdout, as a line for
// a person or as one JSON object a line for a program; prompts, progress and
// failures on stderr. Flushed at once, as a bench reads while the job runs.
class Output
{
public:
    explicit Output(bool json) : json(json) {}

    bool isJson() const { return json; }
    // The result in the form asked for.
    void result(const QJsonObject &object, const QString &line) const;
    // A line on stdout as it is, whatever the form.
    void raw(const QByteArray &bytes) const;
    void note(const QString &line) const;
    // "korvelctl: <why>" on stderr.
    void failure(const QString &why) const;

private:
    bool json;
};

} // namespace ctl
