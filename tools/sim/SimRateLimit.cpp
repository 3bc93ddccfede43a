#include "SimRateLimit.h"

namespace garrison::sim {

namespace {
// Beyond this many addresses the idle ones are forgotten, so that a flood of forged senders
// cannot grow the table without end.
constexpr qsizetype kMaxBuckets = 4096;
} // namespace

bool SimRateLimit::allow(const QHostAddress& address, qint64 nowMs)
{
    if (m_burst <= 0) {
        return true;
    }
    if (m_buckets.size() >= kMaxBuckets) {
        m_buckets.removeIf([&](const auto& item) {
            return nowMs - item.value().last > qint64(m_burst) * m_periodMs;
        });
    }
    auto at = m_buckets.find(address);
    if (at == m_buckets.end()) {
        at = m_buckets.insert(address, Bucket{0, nowMs});
    }
    Bucket& bucket = *at;
    const qint64 elapsed = std::max<qint64>(nowMs - bucket.last, 0);
    const qint64 drained = m_periodMs > 0 ? elapsed / m_periodMs : m_burst;
    if (drained >= bucket.level) {
        bucket.level = 0;
        bucket.last = nowMs;
    } else {
        bucket.level -= static_cast<int>(drained);
        bucket.last += drained * m_periodMs;
    }
    if (bucket.level >= m_burst) {
        return false;
    }
    ++bucket.level;
    return true;
}

} // namespace garrison::sim
