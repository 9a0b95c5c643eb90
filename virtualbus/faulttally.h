#pragma once

#include "virtualbus/virtualcanwire.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

#include <array>
#include <atomic>

Q_DECLARE_LOGGING_CATEGORY(lcVirtualCan)

namespace virtualbus {

// Counts the lines a peer of the virtual bus sent that were dropped, by kind,
// and traces them at most once a second: a peer that sends nothing but
// garbage must not flood the log, nor put its payload into it.
//
// Counted in the thread the tally lives in; the totals may be read from any.
class FaultTally : public QObject
{
public:
    // who names the peer in the trace: "virtualcan can0", "hub on port 35468".
    explicit FaultTally(QString who, QObject *parent = nullptr);

    void count(wire::Fault fault);
    // Traces what is still pending now; for a tally about to go.
    void flush();
    quint64 total(wire::Fault fault) const { return totals[size_t(fault)].load(std::memory_order_relaxed); }

private:
    void report();

    QString who;
    std::array<std::atomic<quint64>, wire::faultKinds> totals{};
    std::array<quint64, wire::faultKinds> pending{};
    QElapsedTimer sinceReport;
    QTimer deferred{this};  // a child, so that it moves to the tally's thread with it
};

} // namespace virtualbus
