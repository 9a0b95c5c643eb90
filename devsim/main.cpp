#include "devsim/devsim.h"
#include "devsim/devsimoptions.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvel-devsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));
    const std::optional<DevSimOptions> options = parseDevSimOptions(QCoreApplication::arguments());
    if (!options)
        return 1;
    DevSim devsim(*options);
    devsim.start();
    return app.exec();
}
