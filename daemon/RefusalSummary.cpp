#include "RefusalSummary.h"

namespace garrisond {

bool RefusalSummary::admit(const QString& address, const QString& event, const QDateTime& now,
                           bool notable)
{
    if (!m_budgetStart.isValid() || m_budgetStart.addSecs(kWindow.count()) <= now) {
        m_budgetStart = now;
        m_budgetUsed = 0;
    }
    const QString key = m_addresses.contains(address) || m_addresses.size() < kMaxAddresses
                            ? address
                            : kOtherAddresses;
    Window& window = m_addresses[key];
    if (!window.start.isValid()) {
        window.start = now;
    }
    if (notable && key != kOtherAddresses && window.full < kFullPerAddress &&
        m_budgetUsed < kFullPerWindow) {
        ++window.full;
        ++m_budgetUsed;
        return true;
    }
    ++window.counted[event];
    return false;
}

QList<RefusalSummary::Summary> RefusalSummary::takeEnded(const QDateTime& now, bool everything)
{
    QList<Summary> summaries;
    for (auto it = m_addresses.begin(); it != m_addresses.end();) {
        const Window& window = it.value();
        if (!everything && window.start.addSecs(kWindow.count()) > now) {
            ++it;
            continue;
        }
        if (!window.counted.isEmpty()) {
            int total = 0;
            QStringList parts;
            for (auto count = window.counted.cbegin(); count != window.counted.cend(); ++count) {
                total += count.value();
                parts.append(count.key() + QLatin1Char(' ') + QString::number(count.value()));
            }
            summaries.append({it.key(), QStringLiteral("%1 more in %2 s: %3")
                                            .arg(total)
                                            .arg(window.start.secsTo(now))
                                            .arg(parts.join(QStringLiteral(", ")))});
        }
        it = m_addresses.erase(it);
    }
    return summaries;
}

} // namespace garrisond
