#include "fuzz/fuzzinput.h"
#include "monitor/canviewer.h"

// A viewer whose clock the input sets.
class ScriptedClockViewer : public CanViewer
{
public:
    qint64 time = 0;

protected:
    qint64 now() const override { return time; }
};

/*
 * Each step of the input is a frame (any identifier, length, DLC, data,
 * direction), a refresh, a clear, or a jump of the clock forward by up to
 * 2^32 ms or back by up to 2^16 ms.
 */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    ScriptedClockViewer viewer;
    while (!input.atEnd()) {
        switch (input.take<quint8>() % 5) {
        case 0: {
            VectorCAN::Message msg;
            const quint8 flags = input.take<quint8>();
            msg.tx = flags & 1;
            msg.extended = flags & 2;
            msg.id = input.take<quint32>() & (msg.extended ? 0x1FFFFFFF : 0x7FF);
            msg.dlc = input.take<quint16>();
            input.copyTo(msg.data, sizeof msg.data);
            viewer.handleMsg(msg);
            break;
        }
        case 1:
            QMetaObject::invokeMethod(&viewer, "updateList");
            break;
        case 2:
            viewer.clear();
            break;
        case 3:
            viewer.time += input.take<quint32>();
            break;
        case 4:
            viewer.time -= input.take<quint16>();
            break;
        }
    }
    return 0;
}
