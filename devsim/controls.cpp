#include "devsim/controls.h"

#include "sim/korveldevice.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace devsim {

namespace {
// More than a finger presses; the sensors' model holds well beyond.
constexpr double mostNewtons = 20;
// A line longer than this is no control; what a runaway writer sends must
// not grow without end.
constexpr qsizetype longestLine = 256;
} // namespace

Controls::Controls(sim::KorvelDevice &device, QObject *parent)
    : QObject(parent)
    , device(device)
    , notifier(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&notifier, &QSocketNotifier::activated, this, &Controls::read);
}

void Controls::read()
{
    char chunk[1024];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
        // Ended: the device goes on as it was last told.
        notifier.setEnabled(false);
        return;
    }
    pending.append(chunk, qsizetype(std::max<ssize_t>(n, 0)));
    for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
        const QString why = apply(pending.left(end));
        pending.remove(0, end + 1);
        if (!why.isEmpty())
            emit refused(why);
    }
    if (pending.size() > longestLine) {
        pending.clear();
        emit refused(QStringLiteral("a control line of more than %1 bytes skipped").arg(longestLine));
    }
}

QString Controls::apply(const QByteArray &line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() == 1 && words.constFirst() == "cycle") {
        device.runForceCycle();
        emit obeyed(QStringLiteral("force cycle running"));
        return {};
    }
    if (words.size() == 2 && words.constFirst() == "force") {
        bool valid = false;
        const double newtons = words.at(1).toDouble(&valid);
        if (valid && newtons >= 0 && newtons <= mostNewtons) {
            device.holdForce(newtons);
            emit obeyed(QStringLiteral("force %1 N held").arg(newtons));
            return {};
        }
    }
    return QStringLiteral("control \"%1\" not understood: \"force N\" (0 to %2) or \"cycle\"")
        .arg(QString::fromUtf8(line.simplified()))
        .arg(mostNewtons);
}

} // namespace devsim
