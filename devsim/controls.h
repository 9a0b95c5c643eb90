#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

namespace sim {
class KorvelDevice;
}

namespace devsim {

// The simulated device's controls for a script or a test bench driving
// korvel-devsim, one a line on standard input: "force N" holds the force at
// N newtons (0 to 20), "cycle" runs the force cycle again. Each is answered
// on stdout, once in force, so that the script knows when the device reads
// the new load; anything else is refused on stderr.
class Controls : public QObject
{
    Q_OBJECT

public:
    explicit Controls(sim::KorvelDevice &device, QObject *parent = nullptr);

    // Empty when the line was obeyed, else why not.
    QString apply(const QByteArray &line);

signals:
    void obeyed(const QString &what);
    void refused(const QString &why);

private:
    void read();

    sim::KorvelDevice &device;
    QSocketNotifier notifier;
    QByteArray pending;
};

} // namespace devsim
