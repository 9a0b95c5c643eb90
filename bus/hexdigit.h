#pragma once

namespace bus {

// The digits of a nibble, for the formats that write hex in upper case (the
// can-utils log) and those in lower case (the virtual bus, the activity window).
inline constexpr char upperHexDigits[] = "0123456789ABCDEF";
inline constexpr char lowerHexDigits[] = "0123456789abcdef";

// The value of a hex digit of either case; -1 for any other character.
constexpr int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace bus
