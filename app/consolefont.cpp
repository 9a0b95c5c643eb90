#include "consolefont.h"

#include <QFontDatabase>
#include <QResource>

void registerConsoleFont()
{
    // The resources live in a static library, so they are pulled in by name.
    Q_INIT_RESOURCE(resources);
    const QResource font(QStringLiteral(":/SmoothTTF.ttf"));
    QFontDatabase::addApplicationFontFromData(font.uncompressedData());
}
