#pragma once

#include "bus/frame.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>

namespace virtualbus::wire {

// Why a line was dropped. Every kind is counted on its own.
enum class Fault {
    None,
    TooLong,     // longer than maxLineLength; the rest up to the newline went too
    Malformed,   // not of the form below (an empty line, a missing '#', …)
    BadId,       // not a decimal number, or too large for its format
    BadFlags,    // a letter that is no flag, or one twice
    BadData,     // odd or non-hex digits, more than 8 bytes for a classic frame,
                 // a length no CAN FD frame has
    UnknownBus,  // a bus other than can0 and can1
    Unread,      // a frame for a client that has not read the ones before
};
constexpr int faultKinds = int(Fault::Unread) + 1;
const char *faultName(Fault fault);

// The longest line a sane peer sends: "can1:" + 10 digits + '#' + 6 flags
// + '#' + 128 hex digits, with room to spare for blanks.
constexpr int maxLineLength = 256;

// "<id>#<flags>#<data>" into frame, or the reason it is not one. Blanks and a
// carriage return around the line are allowed, as Qt's own peers trim them.
Fault parseFrame(QByteArrayView line, bus::Frame *frame);
// The line that carries frame to the bus: "can<bus>:<id>#<flags>#<data>\n".
// Only the frame's first min(length, 64) bytes are written.
void appendFrameLine(QByteArray &out, int bus, const bus::Frame &frame);
// "connect:can<bus>\n" and "disconnect:can<bus>\n".
QByteArray connectLine(int bus);
QByteArray disconnectLine(int bus);

// What a client says to the hub.
struct Command
{
    enum Kind { Connect, Disconnect, Send } kind = Send;
    int bus = 0;
    QByteArrayView frameText;  // Send: "<id>#<flags>#<data>", checked by parseFrame
};
Fault parseCommand(QByteArrayView line, Command *command);

// Cuts a byte stream into lines of at most limit bytes. A longer line
// is given up at once and everything up to its newline is skipped without
// being kept, so a peer that never sends one cannot grow the buffer.
class LineSplitter
{
public:
    explicit LineSplitter(qsizetype limit = maxLineLength)
        : limit(limit)
    {
    }

    // Calls onLine(QByteArrayView line) for every complete line of bytes (without
    // its '\n') and onTooLong() for every line given up.
    template<typename OnLine, typename OnTooLong>
    void feed(const char *bytes, qsizetype size, OnLine &&onLine, OnTooLong &&onTooLong)
    {
        const char *end = bytes + size;
        while (bytes < end) {
            const char *newline = static_cast<const char *>(std::memchr(bytes, '\n', size_t(end - bytes)));
            const char *stop = newline ? newline : end;
            if (skipping) {
                skipping = !newline;
            } else if (partial.isEmpty() && newline && stop - bytes <= limit) {
                onLine(QByteArrayView(bytes, stop - bytes));  // the common case: no copy
            } else if (partial.size() + (stop - bytes) > limit) {
                partial.clear();
                skipping = !newline;
                onTooLong();
            } else {
                partial.append(bytes, stop - bytes);
                if (newline) {
                    onLine(QByteArrayView(partial));
                    partial.clear();
                }
            }
            bytes = newline ? newline + 1 : end;
        }
    }

private:
    qsizetype limit;
    QByteArray partial;
    bool skipping = false;
};

} // namespace virtualbus::wire
