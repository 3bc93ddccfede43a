#include "LoginQueue.h"

namespace garrisond {

namespace {
constexpr qint64 kRateWindowMs = 1000;
} // namespace

LoginQueue::LoginQueue(QObject* parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
    m_clock.start();
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, &LoginQueue::dispatch);
}

LoginQueue::~LoginQueue()
{
    m_waiting.clear();
    m_pool.waitForDone();
}

bool LoginQueue::enqueue(quint64 id, const PasswordHash& hash, const QString& password)
{
    if (m_waiting.size() >= kMaxWaiting) {
        return false;
    }
    m_waiting.append(Job{id, hash, password});
    dispatch();
    return true;
}

void LoginQueue::recordFailure()
{
    const qint64 now = m_clock.elapsed();
    m_failures.removeIf([now](qint64 when) { return now - when >= kRateWindowMs; });
    m_failures.append(now);
}

void LoginQueue::dispatch()
{
    if (m_busy || m_waiting.isEmpty() || m_delay.isActive()) {
        return;
    }
    const qint64 now = m_clock.elapsed();
    m_failures.removeIf([now](qint64 when) { return now - when >= kRateWindowMs; });
    if (m_failures.size() >= m_failuresPerSecond) {
        m_delay.start(std::chrono::milliseconds(m_failures.constFirst() + kRateWindowMs - now));
        return;
    }
    m_busy = true;
    Job job = m_waiting.takeFirst();
    m_pool.start([this, job = std::move(job)] {
        const bool matches = job.hash.matches(job.password);
        // Delivered on the daemon's thread; dropped if the queue is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, id = job.id, matches] {
                m_busy = false;
                Q_EMIT checked(id, matches);
                dispatch();
            },
            Qt::QueuedConnection);
    });
}

} // namespace garrisond
