#pragma once

#include <QHash>
#include <QHostAddress>

namespace garrison::sim {

// The leaky bucket by which servers of this family guard their connectionless answers, one per
// source address (whatever the port): up to `burst` requests at once, then one more each
// `periodMs`. A burst of 0 lets everything through.
class SimRateLimit {
public:
    SimRateLimit(int burst, int periodMs) : m_burst(burst), m_periodMs(periodMs) {}

    // Counts the request when it is let through.
    bool allow(const QHostAddress& address, qint64 nowMs);

private:
    struct Bucket {
        int level = 0;
        qint64 last = 0;
    };

    int m_burst;
    int m_periodMs;
    QHash<QHostAddress, Bucket> m_buckets;
};

} // namespace garrison::sim
