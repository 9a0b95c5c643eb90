#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>

/*
 * What the console and the Korvel device say to each other; every identifier
 * is 29-bit and every frame carries 8 bytes.
 *
 * Requests on requestId, replies on responseId. Byte 0 is 0x20 both ways,
 * byte 1 the sub-command; values are big-endian.
 *
 *   01 pressure  request 20 01 00 00 00 00 00 00
 *                reply   20 01 cal.hi cal.lo raw1.hi raw1.lo raw2.hi raw2.lo
 *   02 copy      request 20 02 00 00 00 00 00 00   (copies the matrix)
 *                reply   20 02 rows cols 00 00 00 00
 *   03 data      request 20 03 row col 00 00 00 00
 *                reply   20 03 row col b0 b1 b2 b3
 *
 * b0..b3 are the copy's bytes from row * cols + col on, row-major, and 00 past
 * its end; the data reply echoes the position it was asked for. Other
 * sub-commands get no reply.
 *
 * ISO-TP messages go to the device on isoTpTxId, its flow control comes back
 * on isoTpFlowControlId. The device acts on three:
 *
 *   C8 01 11 04 20 20               activate TP diagnosis
 *   C8 02 11 10 32 1E m1 d1 cm cd   write sens1Mul, sens1Div, calMul, calDiv
 *   C8 02 11 10 FF 00 01 01 01 01   reset the factors to neutral
 *
 * The NMH frame goes out on nmhId, for whoever on the bus listens.
 */
namespace protocol {

// The device's bus, in bit/s.
constexpr unsigned bitRate = 500000;

constexpr quint32 nmhId = 0x1B000073;
constexpr quint32 requestId = 0x1BFF8300;   // console to device
constexpr quint32 responseId = 0x1BFF8301;  // device to console
constexpr quint32 isoTpTxId = 0x17F873F0;
constexpr quint32 isoTpFlowControlId = 0x17FAF073;
// Fills every ISO-TP frame up to 8 bytes, both ways.
constexpr quint8 isoTpPadding = 0xAA;

// Byte 0 of every request and reply; byte 1 is one of the sub-commands.
constexpr quint8 service = 0x20;
constexpr quint8 pressureValues = 0x01;
constexpr quint8 touchpadHeader = 0x02;
constexpr quint8 touchpadData = 0x03;

constexpr std::array<quint8, 8> nmhFrame{0x73, 0x00, 0x04, 0x01, 0x08, 0x00, 0x01, 0x00};

constexpr std::array<char, 6> activation{char(0xC8), 0x01, 0x11, 0x04, 0x20, 0x20};
constexpr std::array<char, 10> calibrationReset{char(0xC8), 0x02, 0x11, 0x10, char(0xFF), 0x00, 0x01, 0x01, 0x01, 0x01};
// The calibration message is this head and the four factors.
constexpr std::array<char, 6> calibrationHead{char(0xC8), 0x02, 0x11, 0x10, 0x32, 0x1E};
constexpr int calibrationSize = int(calibrationHead.size()) + 4;

// A fixed message as bytes, to send or to compare with.
template <size_t N>
constexpr QByteArrayView bytes(const std::array<char, N> &message)
{
    return QByteArrayView(message.data(), qsizetype(N));
}

} // namespace protocol
