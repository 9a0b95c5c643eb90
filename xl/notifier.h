#pragma once

#include "xl/xlapi.h"

#include <QString>

#include <memory>

namespace xl {

// The handle xlSetNotification gives out: readable, for poll() or a
// QSocketNotifier, while it is raised. The one call into the system the driver
// makes, so that a port to another one changes this file alone.
class Notifier
{
public:
    // nullptr, and why in *error, when the system has no handle to give.
    static std::unique_ptr<Notifier> create(QString *error);
    ~Notifier();
    Q_DISABLE_COPY_MOVE(Notifier)

    XlHandle handle() const { return fd; }
    // Raised or lowered once, however often it is asked to be.
    void setRaised(bool on);

private:
    explicit Notifier(XlHandle fd)
        : fd(fd)
    {
    }

    XlHandle fd;
    bool raised = false;
};

} // namespace xl
