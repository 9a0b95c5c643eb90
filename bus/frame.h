#pragma once

#include <QtGlobal>

#include <array>

namespace bus {

// The largest identifier of its format: 11 bits, or 29 for an extended one.
// Every check of an identifier, from a line read or a frame to send, is this.
constexpr quint32 maxId(bool extended)
{
    return extended ? 0x1FFFFFFFu : 0x7FFu;
}

// One frame as it travels on a bus, with room for a CAN FD payload.
struct Frame
{
    enum Flag : quint8 {
        RemoteRequest = 0x01,
        Extended = 0x02,
        FlexibleDataRate = 0x04,
        BitrateSwitch = 0x08,
        ErrorState = 0x10,
        LocalEcho = 0x20,
    };

    quint32 id = 0;
    quint8 flags = 0;
    quint8 length = 0;
    std::array<quint8, 64> data{};

    bool has(Flag flag) const { return flags & flag; }
    // What the console and the device take, as on Qt SerialBus
    // (bus::SerialBusLink): no remote request, no CAN FD, no error state.
    bool isClassicData() const { return !(flags & (RemoteRequest | FlexibleDataRate | ErrorState)); }
};

} // namespace bus
