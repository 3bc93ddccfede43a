#include "AuditTrail.h"

#include "ConnectionAdmission.h"
#include "DaemonConfig.h"
#include "LockoutTable.h"

namespace garrisond {

namespace {
constexpr int kSummaryCheckMs = 5000;
} // namespace

AuditTrail::AuditTrail(const DaemonConfig& config, Clock clock, QObject* parent)
    : QObject(parent), m_clock(std::move(clock)),
      m_log(config.auditLogPath, config.auditLogMaxBytes, config.auditLogFiles)
{
    m_summaryTimer.setInterval(kSummaryCheckMs);
    connect(&m_summaryTimer, &QTimer::timeout, this, [this] {
        writeSummaries();
        reportLoss(false);
    });
}

void AuditTrail::finish()
{
    writeSummaries(true);
    m_lossReported = QDateTime();
    reportLoss(false);
}

void AuditTrail::configure(const DaemonConfig& config)
{
    m_log.configure(config.auditLogPath, config.auditLogMaxBytes, config.auditLogFiles);
}

void AuditTrail::record(const QString& address, const QString& who, const QString& event,
                        const QString& detail)
{
    if (address == QLatin1String("-")) {
        write(address, who, event, detail);
        return;
    }
    writeSummaries();
    bool full = false;
    const QDateTime now = m_clock();
    if (who != QLatin1String("-")) {
        // who is "account/level", and account names may hold a slash.
        full = m_activity.admit(who.left(who.lastIndexOf(QLatin1Char('/'))), who, address,
                                ActivitySummary::kindOf(event, detail), now);
    } else {
        const bool notable = event != QLatin1String("connected") &&
                             event != QLatin1String("disconnected") &&
                             event != QLatin1String("closed");
        full = m_refusals.admit(ConnectionAdmission::addressKey(address), event, now, notable);
    }
    if (full) {
        write(address, who, event, detail);
    }
    if (!m_summaryTimer.isActive()) {
        m_summaryTimer.start();
    }
}

void AuditTrail::writeSummaries(bool all)
{
    for (const RefusalSummary::Summary& summary : m_refusals.takeEnded(m_clock(), all)) {
        write(summary.address, QStringLiteral("-"), QStringLiteral("summary"), summary.detail);
    }
    for (const ActivitySummary::Summary& summary : m_activity.takeEnded(m_clock(), all)) {
        write(summary.address, summary.who, QStringLiteral("summary"), summary.detail);
    }
    if (m_refusals.isEmpty() && m_activity.isEmpty() && m_lost == 0) {
        m_summaryTimer.stop();
    }
}

void AuditTrail::write(const QString& address, const QString& who, const QString& event,
                       const QString& detail)
{
    const bool written = m_log.record(m_clock(), address, who, event, detail);
    if (!written) {
        ++m_lost;
        m_lossReason = m_log.errorString();
        if (!m_summaryTimer.isActive()) {
            m_summaryTimer.start();
        }
    }
    reportLoss(written);
}

void AuditTrail::reportLoss(bool writtenAgain)
{
    // A full disk fails every line: the operator hears of it at once, then once a minute.
    const QDateTime at = m_clock();
    if (m_lost == 0 || (m_lossReported.isValid() && m_lossReported.secsTo(at) < 60)) {
        return;
    }
    const QString lost =
        m_lost == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(m_lost);
    Q_EMIT warning(writtenAgain ? QStringLiteral("the audit log is written again; %1 could not "
                                                 "be written before: %2")
                                      .arg(lost, m_lossReason)
                                : QStringLiteral("the audit log lost %1 (reported at most once a "
                                                 "minute): %2")
                                      .arg(lost, m_lossReason));
    m_lost = 0;
    m_lossReported = at;
}

} // namespace garrisond
