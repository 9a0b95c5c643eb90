#pragma once

#include "language/language.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ctl {

// What korvelctl ends with; scripts at a bench branch on it.
enum class Exit : int {
    Done = 0,
    Refused = 1,   // the device refused, the transfer was given up, or the calibration looks wrong
    Usage = 2,     // unknown command, bad option or value, a file that cannot be written
    BusLost = 3,   // the channel cannot be opened, or the bus was lost during the job
    NoAnswer = 4,  // the device did not answer within --timeout
    Aborted = 5,   // stdin closed before a step, or SIGINT/SIGTERM
};

enum class Command { ListChannels, Check, Pressure, Matrix, Calibrate, ResetCalibration, TpDiag, Nmh, Record };

// What korvelctl was asked for on its command line.
struct Options
{
    Command command = Command::Check;
    QString channel;  // empty: the console's first channel
    int timeoutMs = 1000;
    bool json = false;
    QString serial;
    int count = 1;         // pressure
    QString out;           // matrix; empty: stdout
    QString report;        // calibrate
    bool force = false;    // calibrate
    double seconds = 0;    // nmh, record
    QString file;          // record
    language::Language language = language::Language::German;
};

// The options, or nothing and what to print: the help or version text (exit
// code Done, for stdout) or why the command line is wrong (Usage, for stderr).
struct Parsed
{
    std::optional<Options> options;
    Exit exit = Exit::Done;
    QString text;
};
Parsed parseOptions(const QStringList &arguments);

} // namespace ctl
