#include "canlog/candumplog.h"

#include "bus/hexdigit.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace canlog {

namespace {

using bus::upperHexDigits;

char *writeDecimal(char *out, quint64 value, int minDigits)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < minDigits)
        digits[n++] = '0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

char *writeHex(char *out, quint32 value, int digits)
{
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        *out++ = upperHexDigits[(value >> shift) & 0xF];
    return out;
}

bool parseHex(std::string_view text, quint32 *value)
{
    *value = 0;
    for (const char c : text) {
        const int digit = bus::hexDigit(c);
        if (digit < 0)
            return false;
        *value = *value << 4 | quint32(digit);
    }
    return !text.empty();
}

bool parseDecimal(std::string_view text, qint64 *value)
{
    *value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || *value > (std::numeric_limits<qint64>::max() - 9) / 10)
            return false;
        *value = *value * 10 + (c - '0');
    }
    return !text.empty();
}

// The next field separated by blanks, taken off the front of text.
std::string_view nextField(std::string_view &text)
{
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    text.remove_prefix(start);
    const size_t end = std::min(text.find_first_of(" \t"), text.size());
    const std::string_view field = text.substr(0, end);
    text.remove_prefix(end);
    return field;
}

} // namespace

/*
 * One frame a line, the fields separated by one blank:
 *
 *   (1733580000.123456) can0 1BFF8300#2001000000000000 R
 *
 * - the time stamp in parentheses: seconds since the epoch, at least ten
 *   digits, a dot and six digits of microseconds;
 * - the interface the frame was seen on;
 * - the identifier in upper-case hex, three digits for an 11-bit and eight for
 *   a 29-bit one, '#', then the data bytes in upper-case hex, none for DLC 0;
 *   a classic frame with a DLC of 9 to 15 carries 8 bytes and '_' with the
 *   DLC as one hex digit after them;
 * - the direction: R for a frame received, T for the recording program's own
 *   transmission. Readers that know only the first three fields skip it.
 */
char *writeLine(char *out, const Record &record, std::string_view interface)
{
    const bus::Frame &frame = record.frame;
    *out++ = '(';
    out = writeDecimal(out, quint64(record.micros / 1000000), 10);
    *out++ = '.';
    out = writeDecimal(out, quint64(record.micros % 1000000), 6);
    *out++ = ')';
    *out++ = ' ';
    std::memcpy(out, interface.data(), interface.size());
    out += interface.size();
    *out++ = ' ';
    const bool extended = frame.has(bus::Frame::Extended);
    out = writeHex(out, frame.id & bus::maxId(extended), extended ? 8 : 3);
    *out++ = '#';
    const int length = std::min<int>(frame.length, 8);
    for (int i = 0; i < length; ++i) {
        *out++ = upperHexDigits[frame.data[i] >> 4];
        *out++ = upperHexDigits[frame.data[i] & 0xF];
    }
    if (frame.length > 8 && frame.length <= 15) {
        *out++ = '_';
        *out++ = upperHexDigits[frame.length];
    }
    *out++ = ' ';
    *out++ = record.tx ? 'T' : 'R';
    *out++ = '\n';
    return out;
}

std::optional<Record> parseLine(std::string_view line)
{
    Record record;
    bus::Frame &frame = record.frame;
    const std::string_view stamp = nextField(line);
    const std::string_view interface = nextField(line);
    const std::string_view body = nextField(line);
    const std::string_view direction = nextField(line);
    if (!nextField(line).empty() || body.empty() || interface.empty())
        return std::nullopt;

    // "(seconds.micros)", six digits of microseconds.
    const size_t dot = stamp.find('.');
    qint64 seconds = 0;
    qint64 micros = 0;
    if (stamp.size() < 4 || stamp.front() != '(' || stamp.back() != ')' || dot == std::string_view::npos
        || stamp.size() - dot - 2 != 6 || !parseDecimal(stamp.substr(1, dot - 1), &seconds)
        || !parseDecimal(stamp.substr(dot + 1, 6), &micros) || seconds > std::numeric_limits<qint64>::max() / 1000000 - 1)
        return std::nullopt;
    record.micros = seconds * 1000000 + micros;

    if (direction == "T")
        record.tx = true;
    else if (!direction.empty() && direction != "R")
        return std::nullopt;

    const size_t hash = body.find('#');
    if (hash != 3 && hash != 8)
        return std::nullopt;
    const bool extended = hash == 8;
    frame.flags = extended ? bus::Frame::Extended : 0;
    if (!parseHex(body.substr(0, hash), &frame.id) || frame.id > bus::maxId(extended))
        return std::nullopt;

    std::string_view data = body.substr(hash + 1);
    // Eight bytes, '_' and a DLC of 9 to F.
    if (data.size() == 18 && data[16] == '_') {
        const int dlc = bus::hexDigit(data[17]);
        if (dlc < 9)
            return std::nullopt;
        frame.length = quint8(dlc);
        data = data.substr(0, 16);
    } else {
        frame.length = quint8(data.size() / 2);
    }
    if (data.size() % 2 != 0 || data.size() > 16)
        return std::nullopt;
    for (size_t i = 0; i < data.size(); i += 2) {
        const int high = bus::hexDigit(data[i]);
        const int low = bus::hexDigit(data[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        frame.data[i / 2] = quint8(high << 4 | low);
    }
    return record;
}

} // namespace canlog
