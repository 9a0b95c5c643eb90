#pragma once

#include <QtGlobal>

// The identifiers and fixed frames the console and the device exchange; all
// identifiers are 29-bit.
namespace protocol {

constexpr quint32 nmhId = 0x1B000073;
constexpr quint32 requestId = 0x1BFF8300;   // console to device
constexpr quint32 responseId = 0x1BFF8301;  // device to console
constexpr quint32 isoTpTxId = 0x17F873F0;
constexpr quint32 isoTpFlowControlId = 0x17FAF073;

// Byte 0 of every request and reply; byte 1 is one of the sub-commands.
constexpr quint8 service = 0x20;
constexpr quint8 pressureValues = 0x01;
constexpr quint8 touchpadHeader = 0x02;
constexpr quint8 touchpadData = 0x03;

} // namespace protocol
