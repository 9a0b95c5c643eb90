#pragma once

#include "app/mainwindow.h"
#include "scripteddriver.h"
#include "touchview/touchview.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QString>
#include <QToolBar>

#include <memory>

class CANWindow;

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
    explicit Form(const MainWindow &window) : window(window) {}

    // The menu entry of that text, "&" included.
    QAction *action(const QString &text) const;

private:
    const MainWindow &window;
    template <class T>
    T *named(const char *name) const { return window.findChild<T *>(QLatin1String(name)); }

public:
    QPushButton *showCANView = named<QPushButton>("showCANView"), *sendNMH = named<QPushButton>("sendNMH"),
                *activateTPDiag = named<QPushButton>("activateTPDiag");
    QGroupBox *readTPraw = named<QGroupBox>("readTPraw"), *readPressureSensors = named<QGroupBox>("readPressureSensors");
    Touchview *touchview = named<Touchview>("touchview");
    QLabel *pressure0 = named<QLabel>("pressure0"), *pressure1 = named<QLabel>("pressure1"),
           *pressure2 = named<QLabel>("pressure2"), *pressure3 = named<QLabel>("pressure3"),
           *pressure4 = named<QLabel>("pressure4"), *pressure5 = named<QLabel>("pressure5"),
           *pressure6 = named<QLabel>("pressure6");
    QPushButton *pressureReset = named<QPushButton>("pressureReset"),
                *pressureUnstressed = named<QPushButton>("pressureUnstressed"),
                *pressureStressed = named<QPushButton>("pressureStressed"),
                *pressureCalibSave = named<QPushButton>("pressureCalibSave");
    QStatusBar *statusBar = named<QStatusBar>("statusBar");
    QToolBar *mainToolBar = named<QToolBar>("mainToolBar");
};

// The activity window while one is open.
CANWindow *activityWindow();

// The console on a scripted driver whose channels are named in the list, the
// first CAN-capable one its bus; a name ending in "(no CAN)" is a channel that
// is not CAN-capable.
struct ScriptedConsole
{
    explicit ScriptedConsole(const QStringList &channels = {QStringLiteral("CAN 1")},
                             QDialogButtonBox::StandardButton answer = QDialogButtonBox::Ok);
    // The console on a channel of the caller's, its bus (the fuzz target's).
    explicit ScriptedConsole(std::unique_ptr<ScriptedChannel> channel);
    ~ScriptedConsole() { if (window) window->close(); }

    // The console's own timers stay out of it, however slow the machine: the
    // tests fire them by calling their slots.
    void receive(const XlEvent &event);
    // Data in hex, from the device's reply identifier unless another is given.
    void receive(const QString &hex, quint32 id = 0x1BFF8301, bool extended = true, quint16 flags = 0);
    // The snapshots "unbelastet" and "belastet mit 5N" taken of pressure
    // replies with these raw values in hex, the first before any reply if
    // none is given, while reading is on: the factors then shown.
    QStringList measure(const QString &unloaded, const QString &loaded);
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
