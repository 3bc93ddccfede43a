#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <chrono>

namespace garrisond {

// Counts failed logins per address. After maxFailures failures, each within `duration` of the
// one before, the address is locked out for `duration`. Time is always passed in, so that a
// caller (or a test) decides what "now" is.
class LockoutTable {
public:
    LockoutTable(int maxFailures, std::chrono::seconds duration);

    void configure(int maxFailures, std::chrono::seconds duration);
    bool isLocked(const QString& address, const QDateTime& now) const;
    // True when this failure locks the address out.
    bool recordFailure(const QString& address, const QDateTime& now);
    void recordSuccess(const QString& address);

private:
    struct Entry {
        int failures = 0;
        QDateTime lastFailure;
        QDateTime lockedUntil;
    };
    void forgetExpired(const QDateTime& now);

    int m_maxFailures;
    std::chrono::seconds m_duration;
    QHash<QString, Entry> m_entries;
};

} // namespace garrisond
