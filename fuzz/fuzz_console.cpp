#include "service/calibrationrecord.h"
#include "fuzz/fuzzinput.h"
#include "monitor/canwindow.h"
#include "protocol/deviceprotocol.h"
#include "tests/support/startconsole.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QStatusBar>

#include <cstring>

/*
 * The console with the activity window open, pressure reading and the
 * touchpad download on. Each step of the input is one of:
 *
 *   0       a frame of any kind: flags, identifier, DLC (any 16 bits), 8 data bytes
 *   1       a device reply: sub-command, 6 payload bytes, to reach past the dispatch
 *   2 3 4   a tick of the download resend, the pressure poll, the NMH timer
 *   5       a click on one of the buttons
 *   6       a click on the check box of the pressure reading or the download
 *
 * Building the window is most of what a fresh console per input would cost,
 * so one console serves all inputs and is brought back to the same state
 * before each.
 */
namespace {

XlEvent deviceReply(quint8 subCommand, quint8 row = 0, quint8 column = 0)
{
    const char data[8] = {char(protocol::service), char(subCommand), char(row), char(column)};
    return xl::receivedEvent(protocol::responseId, true, QByteArray(data, sizeof data));
}

// The bus; while answering, also the device at its end, which answers every
// request for touchpad data with zeros.
class DeviceChannel : public tests::ScriptedChannel
{
public:
    using tests::ScriptedChannel::ScriptedChannel;

    XlStatus write(const XlEvent &frame) override
    {
        if (answering && frame.id == (protocol::requestId | XL_CAN_EXT_MSG_ID)
            && frame.data[1] == protocol::touchpadData)
            inject(deviceReply(protocol::touchpadData, frame.data[2], frame.data[3]));
        return tests::ScriptedChannel::write(frame);
    }

    bool answering = false;
};

struct Console : tests::ScriptedConsole
{
    Console() : ScriptedConsole(std::make_unique<DeviceChannel>(QStringLiteral("CAN 1")))
    {
        // A folder where the calibration record would be: its lines fail at
        // once, instead of piling up a line for each save the inputs click.
        QDir().mkpath(service::CalibrationRecord::standardPath());
    }

    DeviceChannel &device() const { return static_cast<DeviceChannel &>(*bus); }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QLatin1String(name)); }
    QGroupBox *box(const char *name) const { return window->findChild<QGroupBox *>(QLatin1String(name)); }

    // Whatever the inputs before left, one state: NMH off, the transmitter
    // idle, an empty matrix downloaded and the next copy asked for, the
    // pressure snapshots taken of zero readings and reading on, the activity
    // window open and empty, nothing recorded. So a finding fails alone as it
    // did after other inputs.
    void reset()
    {
        QApplication::processEvents();  // the receipts of the last steps' frames
        if (button("sendNMH")->isChecked())
            button("sendNMH")->click();
        idleTransmitter();
        downloadEmptyMatrix();

        // Unchecked, the group box disables the buttons in it.
        tests::toggle(box("readPressureSensors"), true);
        receive(deviceReply(protocol::pressureValues));
        button("pressureUnstressed")->click();
        button("pressureStressed")->click();
        tests::toggle(box("readPressureSensors"), false);
        tests::toggle(box("readPressureSensors"), true);

        window->statusBar()->clearMessage();
        openEmptyActivityWindow();
        bus->written.clear();
        driver.calls.clear();
    }

    // Emptied, which is cheaper than building it anew.
    void openEmptyActivityWindow()
    {
        if (!button("showCANView")->isChecked())
            button("showCANView")->click();
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<CANWindow *>(widget))
                widget->findChild<QPushButton *>(QStringLiteral("clear"))->click();
        }
    }

    // A short message goes out at once only from an idle transmitter; else it
    // waits behind the others and goes out when they are done.
    bool transmitterIdle()
    {
        bus->written.clear();
        button("activateTPDiag")->click();
        return !bus->written.isEmpty();
    }

    // A transfer waiting for a flow control is given up by an overflow. One
    // sending its consecutive frames cannot be hurried: the console's messages
    // end within two ticks of up to 127 ms each.
    void idleTransmitter()
    {
        static const char overflow[8] = {0x32};
        const XlEvent abandon = xl::receivedEvent(protocol::isoTpFlowControlId, true, QByteArray(overflow, 8));
        while (!transmitterIdle()) {
            window->statusBar()->clearMessage();
            receive(abandon);
            if (window->statusBar()->currentMessage().isEmpty())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    // Switched off, the download forgets a copy request not yet answered, but
    // one under way runs to its end: asked for the position due, the device
    // answers it and every one after, all within one pass of the event loop.
    // Switched on again, it gets an empty matrix.
    void downloadEmptyMatrix()
    {
        device().answering = true;
        tests::toggle(box("readTPraw"), false);
        QMetaObject::invokeMethod(window.get(), "advanceTPRaw");
        QApplication::processEvents();
        tests::toggle(box("readTPraw"), true);
        receive(deviceReply(protocol::touchpadHeader));
        device().answering = false;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Console console;
    console.reset();
    FuzzInput input(data, size);

    const char *const buttons[] = {"showCANView", "sendNMH", "activateTPDiag", "pressureReset",
                                   "pressureUnstressed", "pressureStressed", "pressureCalibSave"};
    const char *const ticks[] = {"advanceTPRaw", "requestPressureSensorRawData", "sendNMH"};
    while (!input.atEnd()) {
        const quint8 step = input.take<quint8>() % 7;
        XlEvent event{};
        switch (step) {
        case 0:
            event.tag = XL_RECEIVE_MSG;
            event.flags = input.take<quint8>() & 1 ? XL_CAN_MSG_FLAG_TX_COMPLETED : 0;
            event.id = input.take<quint32>();
            event.dlc = input.take<quint16>();
            input.copyTo(event.data, 8);
            break;
        case 1:
            event = deviceReply(input.take<quint8>() % 4);
            input.copyTo(event.data + 2, 6);
            break;
        case 2:
        case 3:
        case 4:
            QMetaObject::invokeMethod(console.window.get(), ticks[step - 2]);
            continue;
        case 5:
            console.button(buttons[input.take<quint8>() % 7])->click();
            continue;
        case 6: {
            QGroupBox *target = console.box(input.take<quint8>() & 1 ? "readTPraw" : "readPressureSensors");
            tests::toggle(target, !target->isChecked());
            continue;
        }
        }
        console.receive(event);
    }
    return 0;
}
