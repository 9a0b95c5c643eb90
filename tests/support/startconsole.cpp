#include "startconsole.h"

#include "service/calibrationrecord.h"
#include "monitor/canwindow.h"
#include "sim/simulatorchannel.h"
#include "touchview/touchview.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstddef>

namespace tests {

void answerModal(QDialogButtonBox::StandardButton answer, QString *messageBox, const QString &channel)
{
    QWidget *modal = QApplication::activeModalWidget();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        if (messageBox)
            *messageBox = box->windowTitle() + QLatin1Char('|') + box->text();
        if (QAbstractButton *button = box->button(QMessageBox::StandardButton(answer)))
            button->click();
        else
            box->accept();
    } else if (modal) {
        if (!channel.isEmpty()) {
            auto *rows = modal->findChild<QListWidget *>(QStringLiteral("channels"));
            rows->setCurrentItem(rows->findItems(channel, Qt::MatchExactly).value(0));
        }
        modal->findChild<QDialogButtonBox *>()->button(answer)->click();
    }
}

std::unique_ptr<MainWindow> startConsole(QDialogButtonBox::StandardButton answer, QString *messageBox,
                                         const QString &channel)
{
    // The calibration record goes to a folder of the tests' own, not there
    // yet as on a fresh machine: runs do not pile lines up. The record's
    // folder is the console's whatever program writes it, so each suite has a
    // home of its own: suites run side by side must not clear each other's.
    const QString home = QDir::temp().filePath(QStringLiteral("korvel-tests-") + QCoreApplication::applicationName());
    QDir().mkpath(home);
    qputenv("HOME", QFile::encodeName(home));
    QStandardPaths::setTestModeEnabled(true);
    QDir(QFileInfo(service::CalibrationRecord::standardPath()).absolutePath()).removeRecursively();
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] { answerModal(answer, messageBox, channel); });
    answering.start(1);
    auto window = std::make_unique<MainWindow>();
    window->show();
    return window;
}

void toggle(QGroupBox *box, bool on)
{
    box->setChecked(on);
    emit box->clicked(on);
}

QAction *Form::action(const QString &text) const
{
    const QList<QAction *> actions = window.findChildren<QAction *>();
    const auto found = std::find_if(actions.begin(), actions.end(), [&](const QAction *a) { return a->text() == text; });
    return found == actions.end() ? nullptr : *found;
}

CANWindow *activityWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *activity = qobject_cast<CANWindow *>(window))
            return activity;
    }
    return nullptr;
}

ScriptedConsole::ScriptedConsole(std::unique_ptr<ScriptedChannel> channel)
    : bus(channel.get())
{
    driver.addChannel(std::move(channel));
    buses << bus;
    window = startConsole(QDialogButtonBox::Ok, &messageBox);
}

ScriptedConsole::ScriptedConsole(const QStringList &channels, QDialogButtonBox::StandardButton answer)
{
    for (const QString &name : channels) {
        const bool can = !name.endsWith(QLatin1String("(no CAN)"));
        ScriptedChannel *channel = driver.addScriptedChannel(name, can);
        if (can)
            buses << channel;
    }
    bus = buses.value(0);
    window = startConsole(answer, &messageBox);
}

void ScriptedConsole::receive(const XlEvent &event)
{
    bus->inject(event);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
}

void ScriptedConsole::receive(const QString &hex, quint32 id, bool extended, quint16 flags)
{
    receive(xl::receivedEvent(id, extended, QByteArray::fromHex(hex.toLatin1()), flags));
}

QStringList ScriptedConsole::measure(const QString &unloaded, const QString &loaded)
{
    const Form form(*window);
    if (!unloaded.isEmpty())
        receive("20010000" + unloaded);
    form.pressureUnstressed->click();
    receive("20010000" + loaded);
    form.pressureStressed->click();
    return {form.pressure3->text(), form.pressure4->text(), form.pressure5->text(), form.pressure6->text()};
}

QStringList ScriptedConsole::sent()
{
    QStringList frames;
    for (const QByteArray &written : std::as_const(bus->written)) {
        const auto &frame = *reinterpret_cast<const XlEvent *>(written.constData());
        frames << QStringLiteral("%1%2: %3").arg(frame.id & 0x1FFFFFFF, 0, 16)
                      .arg(frame.id & XL_CAN_EXT_MSG_ID ? "" : " (11 bit)")
                      .arg(QString::fromLatin1(written.mid(offsetof(XlEvent, data), frame.dlc).toHex()));
    }
    bus->written.clear();
    return frames;
}

SimulatedConsole::SimulatedConsole(int channels)
{
    for (int i = 0; i < channels; ++i) {
        auto channel = std::make_unique<sim::SimulatorChannel>();
        devices << &channel->device();
        links << &channel->link();
        devices.last()->setNoise(false);
        driver.addChannel(std::move(channel));
    }
    xl::Driver::install(&driver);
    window = startConsole(QDialogButtonBox::Ok);
}

} // namespace tests
