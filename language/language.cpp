#include "language/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace language {

std::optional<Language> choose(const QString &asked, const QStringList &systemLanguages)
{
    if (asked == QLatin1String("de"))
        return Language::German;
    if (asked == QLatin1String("en"))
        return Language::English;
    if (!asked.isEmpty())
        return std::nullopt;
    const QString first = systemLanguages.value(0);
    const bool english = first == QLatin1String("en") || first.startsWith(QLatin1String("en-"))
                         || first.startsWith(QLatin1String("en_"));
    return english ? Language::English : Language::German;
}

QStringList systemLanguages()
{
    return QLocale::system().uiLanguages();
}

QString use(Language language)
{
    const QLocale::Language spoken = language == Language::English ? QLocale::English : QLocale::German;
    if (QLocale::system().language() != spoken)
        QLocale::setDefault(QLocale(spoken));
    // German is the source of the program's texts, English of Qt's: each
    // language needs the other's translation. The application holds them by
    // pointer, for the run.
    if (language == Language::English) {
        static QTranslator ownTexts;
        if (!ownTexts.load(QStringLiteral(":/translations/korvel_en.qm")))
            return QStringLiteral("the program's English texts are missing from it");
        QCoreApplication::installTranslator(&ownTexts);
        return {};
    }
    static QTranslator qtTexts;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return QStringLiteral("no qtbase_de.qm in %1").arg(folder);
    QCoreApplication::installTranslator(&qtTexts);
    return {};
}

QCommandLineOption option()
{
    return {QStringLiteral("language"),
            QStringLiteral("The language of the texts shown, de or en; the system's otherwise: English under an "
                           "English locale, German under any other."),
            QStringLiteral("de|en")};
}

QString refusal(const QString &asked)
{
    return QStringLiteral("--language takes de or en, not \"%1\"").arg(asked);
}

} // namespace language
