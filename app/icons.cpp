#include "app/icons.h"

#include <QString>

// Outside any namespace, as the resource's initialiser is.
static void initIcons()
{
    // The icons live in a static library, so they are pulled in by name.
    Q_INIT_RESOURCE(icons);
}

namespace app {

QIcon themedIcon(const char *themeName, const char *own)
{
    initIcons();
    return QIcon::fromTheme(QLatin1String(themeName), QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(own))));
}

} // namespace app
