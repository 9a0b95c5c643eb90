#include "fuzz/fuzzbus.h"
#include "fuzz/fuzzinput.h"
#include "isotp/isotptx.h"

/*
 * The transmitter on an open channel. Each step of the input is a send of
 * any length (filled with input bytes, the rest zeros), a frame on the flow
 * control identifier with any DLC and content, or a tick of its timer.
 */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr quint32 txId = 0x17F873F0;
    constexpr quint32 rxId = 0x17FAF073;
    FuzzInput input(data, size);
    FuzzBus port;
    ISOTPTX isotp(&port.can, txId, true, rxId, true);

    while (!input.atEnd()) {
        switch (input.take<quint8>() % 3) {
        case 0: {
            const int length = input.take<quint16>() % 4200 - 50;
            QByteArray message = input.bytes(size_t(qMax(0, qMin(length, 16))));
            message.resize(qMax(0, length));
            const bool accepted = length < 0 ? isotp.send(message.constData(), length) : isotp.send(message);
            if (accepted != (length >= 0 && length <= ISOTPTX::maxLength))
                abort();
            break;
        }
        case 1: {
            VectorCAN::Message msg;
            msg.id = input.take<quint8>() & 1 ? rxId : input.take<quint32>() & 0x1FFFFFFF;
            msg.extended = input.take<quint8>() & 1;
            msg.dlc = input.take<quint8>() % 17;
            input.copyTo(msg.data, sizeof msg.data);
            isotp.handleFlowControl(msg);
            break;
        }
        case 2:
            QMetaObject::invokeMethod(&isotp, "tick");
            break;
        }
    }
    // The transmitter puts nothing on the bus but whole 8-byte frames on its identifier.
    for (const QByteArray &frame : std::as_const(port.bus->written)) {
        const auto *event = reinterpret_cast<const XlEvent *>(frame.constData());
        if (event->id != (txId | XL_CAN_EXT_MSG_ID) || event->dlc != 8)
            abort();
    }
    return 0;
}
