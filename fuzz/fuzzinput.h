#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// A fuzzer's input read as a script: every read past the end gives zeros, so
// that any input, however short, is a complete script.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size)
        : data(data)
        , size(size)
    {
    }

    bool atEnd() const { return pos >= size; }

    template <typename T>
    T take()
    {
        T value{};
        const size_t n = std::min(sizeof value, size - pos);
        std::memcpy(&value, data + pos, n);
        pos += n;
        return value;
    }

    // Up to n bytes, fewer at the end of the input.
    QByteArray bytes(size_t n)
    {
        n = std::min(n, size - pos);
        const QByteArray taken(reinterpret_cast<const char *>(data + pos), int(n));
        pos += n;
        return taken;
    }

    // Up to n bytes into to, fewer at the end of the input; the rest of to
    // stays as it was.
    void copyTo(void *to, size_t n)
    {
        n = std::min(n, size - pos);
        std::memcpy(to, data + pos, n);
        pos += n;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
};
