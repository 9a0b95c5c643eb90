#pragma once

#include "virtualbus/virtualcanaddress.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace devsim {

// What korvel-devsim was asked for on its command line.
struct DevSimOptions
{
    QString plugin = virtualbus::virtualCanPlugin;
    QString device = QStringLiteral("can0");
    QString interface;  // the device as the plugin takes it
    int rows = 14;
    int columns = 24;
    int blockSize = 0;
    int stMin = 0;      // the flow control's STmin byte
    int latencyMs = 0;
    double dropRate = 0;
    double duplicateRate = 0;
    int seed = 1;
    bool showMatrix = false;  // each copy's bytes after its line
    QString replayFile;       // a log to play onto the bus, "-" for standard input
    double speed = 1;         // of the replay, times the original
    bool noDevice = false;    // the replay alone, the device silent
    bool controls = false;    // the device's controls read from standard input
};

// --help, --version and unknown options end the program as QCommandLineParser
// does; a value out of range is reported on stderr and gives no options.
std::optional<DevSimOptions> parseDevSimOptions(const QStringList &arguments);

} // namespace devsim
