#pragma once

#include "bus/frame.h"

#include <QtGlobal>

#include <optional>
#include <string_view>

namespace canlog {

// One classic CAN data frame of a log in the text format of the Linux
// can-utils, as candump -l writes it and canplayer reads it.
struct Record
{
    qint64 micros = 0;  // wall-clock time stamp, microseconds since the epoch, not negative
    bus::Frame frame;   // its length is the DLC, 0 … 15; data holds the first min(length, 8) bytes
    bool tx = false;    // the recording program's own transmission
};

// The longest line writeLine() gives for an interface name of that length,
// newline included.
constexpr int maxLineLength(int interfaceLength)
{
    // "(" seconds "." micros ") " interface " " id "#" data "_X" " R" newline
    return 1 + 20 + 1 + 6 + 2 + interfaceLength + 1 + 8 + 1 + 16 + 2 + 2 + 1;
}

// Writes the line of the record, newline included, at out, which has room for
// maxLineLength(interface.size()) characters, and returns the end of it. The
// interface name must hold no white space.
char *writeLine(char *out, const Record &record, std::string_view interface);

// The record of one line, without its newline; nothing for a line that is not
// a classic data frame of the format (remote and CAN FD frames included).
std::optional<Record> parseLine(std::string_view line);

} // namespace canlog
