#pragma once

#include <QDateTime>
#include <QList>
#include <chrono>
#include <optional>

namespace garrisond {

// The restarts after crashes and hangs: each waits twice as long as the one before it (from 1
// s up to restart_backoff_max), counted over the last ten minutes, so that a server that has run
// well for ten minutes starts again at once. One more than restart_limit within those ten minutes
// and the watch gives up: a server that cannot stay up needs its administrator.
class CrashRestarts {
public:
    static constexpr std::chrono::seconds kWindow{600};
    static constexpr std::chrono::seconds kFirstWait{1};

    void configure(int limit, std::chrono::seconds longestWait);
    // The wait before the restart that a crash at `now` calls for, which is then counted; nothing
    // when the limit is reached.
    std::optional<std::chrono::seconds> restartAfterCrash(const QDateTime& now);
    // The ones counted within the ten minutes before `now`.
    int recent(const QDateTime& now) const;
    void forget() { m_restarts.clear(); }

private:
    int m_limit = 5;
    std::chrono::seconds m_longestWait{60};
    QList<QDateTime> m_restarts;
};

} // namespace garrisond
