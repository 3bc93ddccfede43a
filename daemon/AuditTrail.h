#pragma once

#include "ActivitySummary.h"
#include "AuditLog.h"
#include "RefusalSummary.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace garrisond {

struct DaemonConfig;

// What goes into the audit log, and how much: the daemon's own events in full, those of clients
// through the refusal summary before a login ("-") and the activity summary after, so that no
// client grows the log faster than a fixed amount per minute. Lines that cannot be written are
// counted and reported, at once and then once a minute.
class AuditTrail : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    AuditTrail(const DaemonConfig& config, Clock clock, QObject* parent = nullptr);

    // At the end: writes every summary still open and reports lost lines once more.
    void finish();

    void configure(const DaemonConfig& config);
    // The next record opens the file anew.
    void reopen() { m_log.reopen(); }

    // `address` "-" for the daemon's own events; `who` "account/level", or "-" before a login.
    void record(const QString& address, const QString& who, const QString& event,
                const QString& detail = QString());
    // Writes the summaries of counted events whose minute is over (all of them with `all`).
    void writeSummaries(bool all = false);

Q_SIGNALS:
    // For the operator: lines were lost, or are written again.
    void warning(const QString& text);

private:
    void write(const QString& address, const QString& who, const QString& event,
               const QString& detail);
    void reportLoss(bool writtenAgain);

    Clock m_clock;
    AuditLog m_log;
    RefusalSummary m_refusals;
    ActivitySummary m_activity;
    QTimer m_summaryTimer; // also while lost lines wait to be reported
    int m_lost = 0;
    QString m_lossReason;
    QDateTime m_lossReported;
};

} // namespace garrisond
