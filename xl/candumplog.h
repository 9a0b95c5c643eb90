#pragma once

#include <QtGlobal>

#include <optional>
#include <string_view>

namespace xl::candump {

// One classic CAN data frame of a log in the text format of the Linux
// can-utils, as candump -l writes it and canplayer reads it.
struct Frame
{
    qint64 micros = 0;  // wall-clock time stamp, microseconds since the epoch, not negative
    quint32 id = 0;
    bool extended = false;
    quint8 dlc = 0;     // 0 … 15; data holds the first min(dlc, 8) bytes
    quint8 data[8] = {};
    bool tx = false;    // the recording program's own transmission
};

// The longest line writeLine() gives for an interface name of that length,
// newline included.
constexpr int maxLineLength(int interfaceLength)
{
    // "(" seconds "." micros ") " interface " " id "#" data "_X" " R" newline
    return 1 + 20 + 1 + 6 + 2 + interfaceLength + 1 + 8 + 1 + 16 + 2 + 2 + 1;
}

// Writes the line of the frame, newline included, at out, which has room for
// maxLineLength(interface.size()) characters, and returns the end of it. The
// interface name must hold no white space.
char *writeLine(char *out, const Frame &frame, std::string_view interface);

// The frame of one line, without its newline; nothing for a line that is not
// a classic data frame of the format (remote and CAN FD frames included).
std::optional<Frame> parseLine(std::string_view line);

} // namespace xl::candump
