#include "app/keptsettings.h"

#include <QDataStream>
#include <QFileInfo>
#include <QRect>
#include <QWidget>

namespace app {

namespace {

QString windowKey(KeptSettings::Window which)
{
    switch (which) {
    case KeptSettings::Window::Main:
        return QStringLiteral("console");
    case KeptSettings::Window::Activity:
        return QStringLiteral("activity");
    case KeptSettings::Window::Chart:
        return QStringLiteral("chart");
    }
    return {};
}

// Qt restores a geometry cut short as if whole, the missing numbers zero:
// the window would come up in a corner at its smallest. What Qt writes is
// read back here to the end, and kept only when all of it is there.
bool isWholeGeometry(const QByteArray &geometry)
{
    QDataStream stream(geometry);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    QRect frame;
    QRect normal;
    qint32 screen = 0;
    quint8 maximized = 0;
    quint8 fullScreen = 0;
    qint32 screenWidth = 0;
    QRect screenGeometry;
    stream >> magic >> major >> minor >> frame >> normal >> screen >> maximized >> fullScreen >> screenWidth;
    if (major >= 3)
        stream >> screenGeometry;
    return stream.status() == QDataStream::Ok && magic == 0x1D9D0CB && !normal.isEmpty();
}

QString folderKey(KeptSettings::Folder which)
{
    return which == KeptSettings::Folder::Recordings ? QStringLiteral("folders/recordings")
                                                     : QStringLiteral("folders/exports");
}

} // namespace

// An INI file, ~/.config/korvel/korvel-console.ini, that a user can read and mend.
KeptSettings::KeptSettings()
    : settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("korvel"), QStringLiteral("korvel-console"))
{
}

KeptSettings::KeptSettings(const QString &path)
    : settings(path, QSettings::IniFormat)
{
}

QString KeptSettings::problem() const
{
    switch (settings.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("%1 cannot be read or written").arg(settings.fileName());
    case QSettings::FormatError:
        return QStringLiteral("%1 is no settings file").arg(settings.fileName());
    }
    return {};
}

bool KeptSettings::restore(QWidget &window, Window which) const
{
    const QVariant geometry = settings.value(windowKey(which) + QStringLiteral("/geometry"));
    return geometry.typeId() == QMetaType::QByteArray && isWholeGeometry(geometry.toByteArray())
        && window.restoreGeometry(geometry.toByteArray());
}

void KeptSettings::keep(const QWidget &window, Window which)
{
    settings.setValue(windowKey(which) + QStringLiteral("/geometry"), window.saveGeometry());
}

bool KeptSettings::wasOpen(Window which) const
{
    return settings.value(windowKey(which) + QStringLiteral("/open")).toString() == QLatin1String("true");
}

void KeptSettings::keepOpen(Window which, bool open)
{
    settings.setValue(windowKey(which) + QStringLiteral("/open"), open);
}

QString KeptSettings::folder(Folder which) const
{
    const QString folder = settings.value(folderKey(which)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void KeptSettings::keepFolderOf(Folder which, const QString &filePath)
{
    settings.setValue(folderKey(which), QFileInfo(filePath).absolutePath());
}

void KeptSettings::write()
{
    settings.sync();
}

} // namespace app
