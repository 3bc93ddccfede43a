#include "CrashRestarts.h"

#include <algorithm>

namespace garrisond {

void CrashRestarts::configure(int limit, std::chrono::seconds longestWait)
{
    m_limit = limit;
    m_longestWait = longestWait;
}

int CrashRestarts::recent(const QDateTime& now) const
{
    const QDateTime since = now.addSecs(-kWindow.count());
    return static_cast<int>(std::count_if(m_restarts.cbegin(), m_restarts.cend(),
                                          [&since](const QDateTime& at) { return at > since; }));
}

std::optional<std::chrono::seconds> CrashRestarts::restartAfterCrash(const QDateTime& now)
{
    const QDateTime since = now.addSecs(-kWindow.count());
    m_restarts.removeIf([&since](const QDateTime& at) { return at <= since; });
    const auto count = static_cast<int>(m_restarts.size());
    if (count >= m_limit) {
        return std::nullopt;
    }
    m_restarts.append(now);
    // 2^count seconds, without overflow for any limit
    std::chrono::seconds wait = kFirstWait;
    for (int n = 0; n < count && wait < m_longestWait; ++n) {
        wait *= 2;
    }
    return std::min(wait, std::max(m_longestWait, kFirstWait));
}

} // namespace garrisond
