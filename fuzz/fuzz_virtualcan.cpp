#include "virtualbus/virtualcanwire.h"

#include <cstdint>
#include <cstdlib>

/*
 * Any bytes from a peer of the virtual bus, cut into lines as the client and
 * the hub cut them, each line read as a frame (as the client does) and as a
 * command (as the hub does). Every frame read must write back to a line that
 * reads as the same frame.
 */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace virtualbus::wire;
    LineSplitter splitter;
    // Fed in two pieces, so that lines across reads are taken apart too.
    const size_t half = size / 2;
    const auto onLine = [](QByteArrayView line) {
        bus::Frame frame;
        if (parseFrame(line, &frame) == Fault::None) {
            QByteArray written;
            appendFrameLine(written, 1, frame);
            Command command;
            if (parseCommand(QByteArrayView(written).chopped(1), &command) != Fault::None || command.bus != 1)
                std::abort();
            bus::Frame again;
            if (parseFrame(command.frameText, &again) != Fault::None || again.id != frame.id
                || again.flags != frame.flags || again.length != frame.length || again.data != frame.data)
                std::abort();
        }
        Command command;
        parseCommand(line, &command);
    };
    const auto onTooLong = [] {};
    splitter.feed(reinterpret_cast<const char *>(data), qsizetype(half), onLine, onTooLong);
    splitter.feed(reinterpret_cast<const char *>(data) + half, qsizetype(size - half), onLine, onTooLong);
    return 0;
}
