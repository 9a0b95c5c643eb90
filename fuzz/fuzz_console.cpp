#include "console/protocol.h"
#include "fuzz/fuzzinput.h"
#include "tests/support/scripteddriver.h"
#include "tests/support/startconsole.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QPushButton>

/*
 * The console with the activity window open, pressure reading and the
 * touchpad download on. Each step of the input is one of:
 *
 *   0       a frame of any kind: flags, identifier, DLC (any 16 bits), 8 data bytes
 *   1       a device reply: sub-command, 6 payload bytes, to reach past the dispatch
 *   2 3 4   a tick of the download resend, the pressure poll, the NMH timer
 *   5       a click on one of the buttons
 */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    ScriptedDriver driver;
    ScriptedChannel *bus = driver.addScriptedChannel(QStringLiteral("CAN 1"));
    std::unique_ptr<MainWindow> window = startConsole(QDialogButtonBox::Ok);
    const auto box = [&](const char *name) { return window->findChild<QGroupBox *>(QLatin1String(name)); };
    window->findChild<QPushButton *>(QStringLiteral("showCANView"))->click();
    toggle(box("readPressureSensors"), true);
    toggle(box("readTPraw"), true);

    const char *const buttons[] = {"showCANView", "sendNMH", "activateTPDiag", "pressureReset",
                                   "pressureUnstressed", "pressureStressed", "pressureCalibSave"};
    const char *const ticks[] = {"advanceTPRaw", "requestPressureSensorRawData", "sendNMH"};
    while (!input.atEnd()) {
        const quint8 step = input.take<quint8>() % 7;
        XlEvent event{};
        event.tag = XL_RECEIVE_MSG;
        switch (step) {
        case 0:
            event.flags = input.take<quint8>() & 1 ? XL_CAN_MSG_FLAG_TX_COMPLETED : 0;
            event.id = input.take<quint32>();
            event.dlc = input.take<quint16>();
            break;
        case 1:
            event.id = protocol::responseId | XL_CAN_EXT_MSG_ID;
            event.dlc = 8;
            event.data[0] = protocol::service;
            event.data[1] = input.take<quint8>() % 4;
            break;
        case 2:
        case 3:
        case 4:
            QMetaObject::invokeMethod(window.get(), ticks[step - 2]);
            continue;
        case 5:
            window->findChild<QPushButton *>(QLatin1String(buttons[input.take<quint8>() % 7]))->click();
            continue;
        case 6: {
            QGroupBox *target = box(input.take<quint8>() & 1 ? "readTPraw" : "readPressureSensors");
            toggle(target, !target->isChecked());
            continue;
        }
        }
        input.copyTo(event.data + (step == 0 ? 0 : 2), step == 0 ? 8 : 6);
        bus->inject(event);
        QCoreApplication::processEvents();
    }
    window->close();
    return 0;
}
