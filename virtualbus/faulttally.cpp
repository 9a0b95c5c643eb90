#include "virtualbus/faulttally.h"

Q_LOGGING_CATEGORY(lcVirtualCan, "korvel.xl.virtualcan")

namespace virtualbus {

namespace {
constexpr int reportIntervalMs = 1000;
} // namespace

FaultTally::FaultTally(QString who, QObject *parent)
    : QObject(parent)
    , who(std::move(who))
{
    deferred.setSingleShot(true);
    connect(&deferred, &QTimer::timeout, this, &FaultTally::report);
}

void FaultTally::count(wire::Fault fault)
{
    totals[size_t(fault)].fetch_add(1, std::memory_order_relaxed);
    ++pending[size_t(fault)];
    if (deferred.isActive())
        return;
    if (!sinceReport.isValid() || sinceReport.elapsed() >= reportIntervalMs)
        report();
    else
        deferred.start(int(reportIntervalMs - sinceReport.elapsed()));
}

void FaultTally::flush()
{
    deferred.stop();
    report();
}

// "virtualcan can0 dropped 3 lines: 2 malformed, 1 too long"
void FaultTally::report()
{
    quint64 lines = 0;
    QStringList kinds;
    for (int kind = 0; kind < wire::faultKinds; ++kind) {
        if (pending[size_t(kind)] == 0)
            continue;
        lines += pending[size_t(kind)];
        kinds << QStringLiteral("%1 %2").arg(pending[size_t(kind)]).arg(QLatin1String(wire::faultName(wire::Fault(kind))));
        pending[size_t(kind)] = 0;
    }
    if (lines == 0)
        return;
    sinceReport.start();
    qCWarning(lcVirtualCan).noquote() << who << "dropped" << lines << (lines == 1 ? "line:" : "lines:")
                                      << kinds.join(QStringLiteral(", "));
}

} // namespace virtualbus
