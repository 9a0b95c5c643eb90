#pragma once

#include <QSettings>
#include <QString>

class QWidget;

namespace app {

// What the console keeps from one run to the next: where its windows were
// and how large, which of them were open, and the folders last used. None
// of it is needed: a file that cannot be read, or holds what no longer
// fits, gives the defaults, and the console starts all the same.
class KeptSettings
{
public:
    enum class Window { Main, Activity, Chart };
    enum class Folder { Recordings, Exports };

    // The user's settings file, or the one named.
    KeptSettings();
    explicit KeptSettings(const QString &path);

    // Why the file was not read or cannot be written; empty when all is well.
    QString problem() const;

    // False, and the window left as it is, when nothing fitting was kept. A
    // window kept on a screen that is gone comes back on one that is there.
    bool restore(QWidget &window, Window which) const;
    void keep(const QWidget &window, Window which);
    bool wasOpen(Window which) const;
    void keepOpen(Window which, bool open);
    // The folder of the file last used so; empty when none was kept, or it is gone.
    QString folder(Folder which) const;
    void keepFolderOf(Folder which, const QString &filePath);
    // Written at once; it is written when the object goes too.
    void write();

private:
    QSettings settings;
};

} // namespace app
