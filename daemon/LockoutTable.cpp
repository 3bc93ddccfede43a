#include "LockoutTable.h"

namespace garrisond {

namespace {

// The tables are pruned only when they grow past this, so that a stream of failures from many
// addresses cannot grow them without bound.
constexpr qsizetype kPruneAbove = 1024;

} // namespace

LockoutTable::LockoutTable(Limits limits) : m_limits(limits) {}

QString LockoutTable::pairKey(const QString& key, const QString& account)
{
    return key + QLatin1Char('\n') + account;
}

bool LockoutTable::locked(const QHash<QString, Count>& table, const QString& key,
                          const QDateTime& now) const
{
    const auto it = table.constFind(key);
    return it != table.cend() && it->lockedUntil.isValid() && now < it->lockedUntil;
}

bool LockoutTable::isLocked(const QString& key, const QString& account, const QDateTime& now) const
{
    if (locked(m_addresses, key, now)) {
        return true;
    }
    return !account.isEmpty() && locked(m_accounts, account, now) &&
           !m_knownGood.contains(pairKey(key, account));
}

bool LockoutTable::fail(Count& count, int limit, const QDateTime& now) const
{
    if (count.lastFailure.isValid() &&
        count.lastFailure.addSecs(m_limits.duration.count()) <= now) {
        count.failures = 0;
    }
    count.lastFailure = now;
    if (++count.failures < limit) {
        return false;
    }
    count.failures = 0;
    count.lockedUntil = now.addSecs(m_limits.duration.count());
    return true;
}

bool LockoutTable::recordFailure(const QString& key, const QString& account, const QDateTime& now)
{
    prune(now);
    Count& pair = m_pairs[pairKey(key, account)];
    fail(pair, INT_MAX, now);
    bool lockedNow = fail(m_addresses[key], m_limits.addressFailures, now);
    if (!account.isEmpty()) {
        lockedNow = fail(m_accounts[account], m_limits.accountFailures, now) || lockedNow;
    }
    return lockedNow;
}

void LockoutTable::recordSuccess(const QString& key, const QString& account, const QDateTime& now)
{
    prune(now);
    const Count pair = m_pairs.take(pairKey(key, account));
    for (auto [table, name] : {std::pair{&m_addresses, key}, std::pair{&m_accounts, account}}) {
        const auto it = table->find(name);
        if (it != table->end()) {
            it->failures = std::max(0, it->failures - pair.failures);
        }
    }
    m_knownGood.insert(pairKey(key, account), now);
}

void LockoutTable::prune(const QDateTime& now)
{
    const qint64 duration = m_limits.duration.count();
    for (QHash<QString, Count>* table : {&m_addresses, &m_accounts, &m_pairs}) {
        if (table->size() > kPruneAbove) {
            table->removeIf([&](const auto& item) {
                const Count& count = item.value();
                return !(count.lockedUntil.isValid() && now < count.lockedUntil) &&
                       count.lastFailure.addSecs(duration) <= now;
            });
        }
    }
    if (m_knownGood.size() > kPruneAbove) {
        // Forget the oldest half: a trusted place that is forgotten only loses its exemption.
        QList<QDateTime> times = m_knownGood.values();
        std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
        const QDateTime median = times.at(times.size() / 2);
        m_knownGood.removeIf([&](const auto& item) { return item.value() < median; });
    }
}

} // namespace garrisond
