#include "xl/notifier.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace xl {

std::unique_ptr<Notifier> Notifier::create(QString *error)
{
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<Notifier>(new Notifier(fd));
}

Notifier::~Notifier()
{
    ::close(fd);
}

// The eventfd's counter is 1 while raised and 0 while lowered; a write or read
// that fails leaves the state as it was, to be tried again on the next change.
void Notifier::setRaised(bool on)
{
    if (on == raised)
        return;
    quint64 value = 1;
    const ssize_t done = on ? ::write(fd, &value, sizeof value) : ::read(fd, &value, sizeof value);
    if (done == sizeof value)
        raised = on;
}

} // namespace xl
