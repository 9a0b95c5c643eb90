#pragma once

#include "app/mainwindow.h"
#include "scripteddriver.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QString>
#include <QToolBar>

#include <memory>

class CANWindow;
class Touchview;

namespace sim {
class FaultyLink;
class KorvelDevice;
} // namespace sim

namespace tests {

// Answers the modal window up now, if any: a channel dialog with the button,
// after picking the row named channel if one is named (none found: no row,
// which OK cannot open); a message box with that button clicked, else
// accepted, noted as "<title>|<text>".
void answerModal(QDialogButtonBox::StandardButton answer, QString *messageBox = nullptr, const QString &channel = {});

// Starts the console as the user would: every modal window answered so, the
// window shown.
std::unique_ptr<MainWindow> startConsole(QDialogButtonBox::StandardButton answer, QString *messageBox = nullptr,
                                         const QString &channel = {});

// A click on a checkable group box's check box, into the given state.
void toggle(QGroupBox *box, bool on);

// The window's form as the user finds it, each widget by its name.
struct Form
{
    explicit Form(const MainWindow &window);

    QPushButton *showCANView, *sendNMH, *activateTPDiag;
    QGroupBox *readTPraw, *readPressureSensors;
    Touchview *touchview;
    QLabel *pressure0, *pressure1, *pressure2, *pressure3, *pressure4, *pressure5, *pressure6;
    QPushButton *pressureReset, *pressureUnstressed, *pressureStressed, *pressureCalibSave;
    QStatusBar *statusBar;
    QToolBar *mainToolBar;
    // The menu entry of that text, "&" included.
    QAction *action(const QString &text) const;

private:
    const MainWindow &window;
};

// The activity window while one is open.
CANWindow *activityWindow();

// The console on a scripted driver whose channels are named in the list, the
// first CAN-capable one its bus; a name ending in "(no CAN)" is a channel that
// is not CAN-capable. Or on the one channel given, its bus.
struct ScriptedConsole
{
    explicit ScriptedConsole(const QStringList &channels = {QStringLiteral("CAN 1")},
                             QDialogButtonBox::StandardButton answer = QDialogButtonBox::Ok);
    explicit ScriptedConsole(std::unique_ptr<ScriptedChannel> channel);
    ~ScriptedConsole() { if (window) window->close(); }

    // The console's own timers stay out of it, however slow the machine: the
    // tests fire them by calling their slots.
    void receive(const XlEvent &event);
    // Data in hex, from the device's reply identifier unless another is given.
    void receive(const QString &hex, quint32 id = 0x1BFF8301, bool extended = true, quint16 flags = 0);
    // The frames put on the bus since the last call, as "<id>: <data>", a
    // standard identifier marked "<id> (11 bit)".
    QStringList sent();

    ScriptedDriver driver;
    ScriptedChannel *bus = nullptr;
    QList<ScriptedChannel *> buses;  // every CAN-capable channel, in order
    QString messageBox;
    std::unique_ptr<MainWindow> window;
};

// The console on simulated devices without noise, one per channel, the first
// picked.
struct SimulatedConsole
{
    explicit SimulatedConsole(int channels = 1);
    ~SimulatedConsole() { window->close(); }

    xl::Driver driver;
    QList<sim::KorvelDevice *> devices;
    QList<sim::FaultyLink *> links;  // each device's way onto its bus
    std::unique_ptr<MainWindow> window;
};

} // namespace tests
