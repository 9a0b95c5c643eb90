#include "service/appendlines.h"

#include <QLoggingCategory>

#include <unistd.h>

#include <cerrno>

Q_LOGGING_CATEGORY(lcAppendLines, "korvel.service.appendlines")

namespace service {

QString appendLines(int fd, std::string_view lines)
{
    // Where the lines begin, to cut back to; a device says 0 or fails.
    const off_t start = ::lseek(fd, 0, SEEK_END);
    size_t done = 0;
    while (done < lines.size()) {
        const ssize_t written = ::write(fd, lines.data() + done, lines.size() - done);
        if (written > 0) {
            done += size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        // A write the system cuts short says only how much it took; this one,
        // the next, says why.
        const QString reason = qt_error_string(errno);
        if (done > 0 && start >= 0) {
            const size_t newline = lines.rfind('\n', done - 1);
            const off_t whole = newline == std::string_view::npos ? 0 : off_t(newline + 1);
            if (::ftruncate(fd, start + whole) != 0)
                qCWarning(lcAppendLines, "torn line not cut off: %s", qPrintable(qt_error_string(errno)));
        }
        return reason;
    }
    return {};
}

} // namespace service
