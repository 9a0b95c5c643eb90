#include "fuzz/fuzzbus.h"
#include "fuzz/fuzzinput.h"

#include <QCoreApplication>

/*
 * Event records of any content arrive from the bus at an open port; each
 * step of the input is one record of 48 bytes, a read by the adapter, or a
 * turn of the event loop. Whatever the adapter hands on is a received frame
 * that came in.
 */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    FuzzBus port;
    int received = 0;
    int taken = 0;
    while (!input.atEnd()) {
        switch (input.take<quint8>() % 3) {
        case 0: {
            XlEvent event{};
            input.copyTo(&event, sizeof event);
            received += event.tag == XL_RECEIVE_MSG;
            port.bus->inject(event);
            break;
        }
        case 1:
            port.can.readMessages();
            break;
        case 2:
            QCoreApplication::processEvents();
            break;
        }
        VectorCAN::Message msg;
        while (port.can.takeMessage(&msg))
            ++taken;
        if (taken > received)
            abort();
    }
    return 0;
}
