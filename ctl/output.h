#pragma once

#include <QJsonObject>
#include <QString>

namespace ctl {

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
