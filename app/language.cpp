#include "app/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace app {

QString useGerman()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // One for the program's run: the application holds it by pointer.
    static QTranslator qtTexts;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return QStringLiteral("no qtbase_de.qm in %1").arg(folder);
    QCoreApplication::installTranslator(&qtTexts);
    return {};
}

} // namespace app
