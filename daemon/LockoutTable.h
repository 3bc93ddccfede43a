#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <chrono>

namespace garrisond {

// Counts failed logins per address and per account. An address is locked out after
// `addressFailures` failures (whatever accounts they tried), an account after
// `accountFailures` failures from anywhere; each failure must come within `duration` of the one
// before, and a lock lasts `duration`. A success clears only what that account failed from that
// address, so that logging in to one's own account does not reset guesses at another. An
// account lock does not apply where that account has logged in before, so that guessing from
// elsewhere cannot shut its owner out. Addresses are keys from ConnectionAdmission::addressKey():
// IPv6 clients count per network, since each of them may use any address in it. Time is passed
// in.
class LockoutTable {
public:
    struct Limits {
        int addressFailures = 5;
        int accountFailures = 20;
        std::chrono::seconds duration{300};
    };

    explicit LockoutTable(Limits limits);

    void configure(Limits limits) { m_limits = limits; }
    // `account` is empty for a name with no account.
    bool isLocked(const QString& key, const QString& account, const QDateTime& now) const;
    // True when this failure locks the address or the account out.
    bool recordFailure(const QString& key, const QString& account, const QDateTime& now);
    void recordSuccess(const QString& key, const QString& account, const QDateTime& now);

private:
    struct Count {
        int failures = 0;
        QDateTime lastFailure;
        QDateTime lockedUntil;
    };
    static QString pairKey(const QString& key, const QString& account);
    bool locked(const QHash<QString, Count>& table, const QString& key, const QDateTime& now) const;
    bool fail(Count& count, int limit, const QDateTime& now) const;
    void prune(const QDateTime& now);

    Limits m_limits;
    QHash<QString, Count> m_addresses;
    QHash<QString, Count> m_accounts;
    QHash<QString, Count> m_pairs;
    QHash<QString, QDateTime> m_knownGood; // pairKey -> last successful login
};

} // namespace garrisond
