#pragma once

#include "devsim/controls.h"
#include "devsim/devsimoptions.h"
#include "devsim/replay.h"
#include "platform/stopsignals.h"
#include "sim/busnode.h"

#include <QObject>

#include <memory>

namespace devsim {

// The program korvel-devsim: the simulated device on the bus its options name,
// with one line on stdout for every ISO-TP message and matrix copy the device
// takes, so that the user sees what the console wrote; beside it or alone, a
// log played onto the bus. It ends with 0 on SIGINT or SIGTERM, or at the end
// of a replay without the device, and with 1 when it cannot read the log or
// refuses it as no text log, cannot get on the bus or loses it.
class DevSim : public QObject
{
    Q_OBJECT

public:
    explicit DevSim(const DevSimOptions &chosen, QObject *parent = nullptr);
    ~DevSim() override;

    // Puts the device on the bus; everything after happens in the event loop.
    void start();

private:
    // On stderr, naming the program and the bus.
    void report(const QString &message) const;
    // Never on the bus, or off it for good: the program ends with 1.
    void leaveBus(const QString &reason);

    DevSimOptions options;
    sim::BusNode node;
    bool onBus = false;
    std::unique_ptr<platform::StopSignals> stopSignals;  // once started
    Replay replay;
    std::unique_ptr<Controls> controls;  // with --controls
};

} // namespace devsim
