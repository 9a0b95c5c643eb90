#include "devsim/devsim.h"
#include "devsim/devsimoptions.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvel-devsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));
    const std::optional<devsim::DevSimOptions> options = devsim::parseDevSimOptions(QCoreApplication::arguments());
    if (!options)
        return 1;
    devsim::DevSim devsim(*options);
    devsim.start();
    return app.exec();
}
