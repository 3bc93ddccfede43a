#include "LockoutTable.h"

namespace garrisond {

namespace {

// Entries are pruned only when the table grows past this, so that a stream of failures from
// many addresses cannot grow it without bound.
constexpr qsizetype kPruneAbove = 1024;

} // namespace

LockoutTable::LockoutTable(int maxFailures, std::chrono::seconds duration)
    : m_maxFailures(maxFailures), m_duration(duration)
{}

void LockoutTable::configure(int maxFailures, std::chrono::seconds duration)
{
    m_maxFailures = maxFailures;
    m_duration = duration;
}

bool LockoutTable::isLocked(const QString& address, const QDateTime& now) const
{
    const auto it = m_entries.constFind(address);
    return it != m_entries.cend() && it->lockedUntil.isValid() && now < it->lockedUntil;
}

bool LockoutTable::recordFailure(const QString& address, const QDateTime& now)
{
    if (m_entries.size() > kPruneAbove) {
        forgetExpired(now);
    }
    Entry& entry = m_entries[address];
    if (entry.lastFailure.isValid() && entry.lastFailure.addSecs(m_duration.count()) <= now) {
        entry.failures = 0;
    }
    entry.lastFailure = now;
    if (++entry.failures < m_maxFailures) {
        return false;
    }
    entry.failures = 0;
    entry.lockedUntil = now.addSecs(m_duration.count());
    return true;
}

void LockoutTable::recordSuccess(const QString& address)
{
    m_entries.remove(address);
}

void LockoutTable::forgetExpired(const QDateTime& now)
{
    m_entries.removeIf([&](const auto& item) {
        const Entry& entry = item.value();
        return !isLocked(item.key(), now) && entry.lastFailure.addSecs(m_duration.count()) <= now;
    });
}

} // namespace garrisond
