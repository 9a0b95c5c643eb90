#pragma once

#include "can/vectorcan.h"
#include "tests/support/scripteddriver.h"

#include <cstdlib>

// An adapter open on a channel that records what goes out and takes any
// event record as if from the bus.
struct FuzzBus
{
    FuzzBus()
        : bus(driver.addScriptedChannel(QStringLiteral("CAN 1")))
    {
        if (!can.open(0, 500000, QStringLiteral("fuzz")))
            abort();
    }

    tests::ScriptedDriver driver;
    tests::ScriptedChannel *bus;
    VectorCAN can;
};
