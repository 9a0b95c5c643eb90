#include "virtualbus/virtualcanwire.h"

#include "bus/hexdigit.h"

#include <cstring>

namespace virtualbus::wire {

/*
 * The virtual bus: a hub listening on TCP, and clients that join one of its
 * two buses, can0 or can1. Everything is ASCII, one message a line, each
 * line ended by '\n'. Qt's virtualcan plugin speaks the same, so its programs
 * and ours meet on one bus whichever of them runs the hub.
 *
 *   client to hub   connect:can0                  join bus can0
 *                   disconnect:can0               leave it (the hub then closes)
 *                   can0:<id>#<flags>#<data>      a frame for every other client on can0
 *   hub to client   <id>#<flags>#<data>           a frame from another client
 *
 *   <id>     the identifier in decimal: at most 2047, or 536870911 with X
 *   <flags>  any of R remote request, X 29-bit identifier, F CAN FD,
 *            B bit rate switch, E error state indicator, L local echo
 *   <data>   the payload in hex, two digits a byte: at most 8 bytes, or with F
 *            0 … 8, 12, 16, 20, 24, 32, 48 or 64
 *
 *   can0:460255232#X#2001000000000000     request 0x1BFF8300, 8 bytes
 *   1015#R#                               remote request for 0x3F7
 */

namespace {

constexpr char flagLetters[] = "RXFBEL";  // in the order of bus::Frame::Flag's bits

QByteArrayView trimmed(QByteArrayView text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!text.isEmpty() && blank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    return text;
}

bool isFdLength(qsizetype bytes)
{
    return bytes <= 8 || bytes == 12 || bytes == 16 || bytes == 20 || bytes == 24 || bytes == 32 || bytes == 48
        || bytes == 64;
}

// "can0" or "can1".
bool parseBus(QByteArrayView text, int *bus)
{
    if (text.size() != 4 || !text.startsWith("can"))
        return false;
    if (text[3] != '0' && text[3] != '1')
        return false;
    *bus = text[3] - '0';
    return true;
}

} // namespace

const char *faultName(Fault fault)
{
    // In the order of Fault.
    static constexpr const char *names[faultKinds] = {
        "none", "too long", "malformed", "bad identifier", "bad flags", "bad data", "unknown bus", "not read by a client",
    };
    return names[int(fault)];
}

Fault parseFrame(QByteArrayView line, bus::Frame *frame)
{
    line = trimmed(line);
    const qsizetype firstHash = line.indexOf('#');
    if (firstHash < 0)
        return Fault::Malformed;
    const QByteArrayView rest = line.sliced(firstHash + 1);
    const qsizetype secondHash = rest.indexOf('#');
    if (secondHash < 0)
        return Fault::Malformed;
    const QByteArrayView idText = line.first(firstHash);
    const QByteArrayView flagText = rest.first(secondHash);
    const QByteArrayView dataText = rest.sliced(secondHash + 1);

    bus::Frame parsed;
    for (char c : flagText) {
        const char *letter = std::strchr(flagLetters, c);
        if (c == '\0' || !letter || parsed.flags & (1u << (letter - flagLetters)))
            return Fault::BadFlags;
        parsed.flags |= quint8(1u << (letter - flagLetters));
    }

    if (idText.isEmpty() || idText.size() > 10)
        return Fault::BadId;
    quint64 id = 0;
    for (char c : idText) {
        if (c < '0' || c > '9')
            return Fault::BadId;
        id = id * 10 + quint64(c - '0');
    }
    if (id > bus::maxId(parsed.has(bus::Frame::Extended)))
        return Fault::BadId;
    parsed.id = quint32(id);

    const qsizetype bytes = dataText.size() / 2;
    if (dataText.size() % 2 != 0 || (parsed.has(bus::Frame::FlexibleDataRate) ? !isFdLength(bytes) : bytes > 8))
        return Fault::BadData;
    for (qsizetype i = 0; i < bytes; ++i) {
        const int high = bus::hexDigit(dataText[2 * i]);
        const int low = bus::hexDigit(dataText[2 * i + 1]);
        if (high < 0 || low < 0)
            return Fault::BadData;
        parsed.data[size_t(i)] = quint8(high << 4 | low);
    }
    parsed.length = quint8(bytes);
    *frame = parsed;
    return Fault::None;
}

void appendFrameLine(QByteArray &out, int bus, const bus::Frame &frame)
{
    using bus::lowerHexDigits;
    char line[maxLineLength];
    char *at = line;
    std::memcpy(at, "can", 3);
    at[3] = char('0' + bus);
    at[4] = ':';
    at += 5;
    char decimal[10];
    int count = 0;
    quint32 id = frame.id;
    do {
        decimal[count++] = char('0' + id % 10);
        id /= 10;
    } while (id != 0);
    while (count > 0)
        *at++ = decimal[--count];
    *at++ = '#';
    for (int bit = 0; flagLetters[bit]; ++bit) {
        if (frame.flags & (1u << bit))
            *at++ = flagLetters[bit];
    }
    *at++ = '#';
    const int length = qMin<int>(frame.length, int(frame.data.size()));
    for (int i = 0; i < length; ++i) {
        *at++ = lowerHexDigits[frame.data[size_t(i)] >> 4];
        *at++ = lowerHexDigits[frame.data[size_t(i)] & 0xF];
    }
    *at++ = '\n';
    out.append(line, at - line);
}

QByteArray connectLine(int bus)
{
    return QByteArrayLiteral("connect:can") + char('0' + bus) + '\n';
}

QByteArray disconnectLine(int bus)
{
    return QByteArrayLiteral("disconnect:can") + char('0' + bus) + '\n';
}

Fault parseCommand(QByteArrayView line, Command *command)
{
    line = trimmed(line);
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return Fault::Malformed;
    const QByteArrayView head = line.first(colon);
    const QByteArrayView tail = line.sliced(colon + 1);
    Command parsed;
    if (head == "connect" || head == "disconnect") {
        parsed.kind = head == "connect" ? Command::Connect : Command::Disconnect;
        if (!parseBus(tail, &parsed.bus))
            return Fault::UnknownBus;
    } else {
        if (!parseBus(head, &parsed.bus))
            return line.startsWith("can") ? Fault::UnknownBus : Fault::Malformed;
        bus::Frame frame;
        if (const Fault fault = parseFrame(tail, &frame); fault != Fault::None)
            return fault;
        parsed.frameText = trimmed(tail);
    }
    *command = parsed;
    return Fault::None;
}

} // namespace virtualbus::wire
