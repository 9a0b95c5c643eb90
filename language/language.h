#pragma once

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <optional>

namespace language {

enum class Language { German, English };

// The language a program speaks: the one asked for on its command line ("de"
// or "en"), else the system's first user interface language: English under
// an English locale, German under a German one or any other, the C locale
// among them. None for anything else asked for.
std::optional<Language> choose(const QString &asked, const QStringList &systemLanguages);

// The system's user interface languages, first the one preferred.
QStringList systemLanguages();

// Installs the program's texts and Qt's own in that language for the rest of
// the run; numbers and dates are written its way where the system's locale
// speaks another. An empty result, or why Qt's texts could not be loaded:
// the program runs on with its own texts all the same.
QString use(Language language);

// --language, the same in every program, and why a value of it is refused.
QCommandLineOption option();
QString refusal(const QString &asked);

} // namespace language
