#pragma once

#include "PasswordHash.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

namespace garrisond {

// Checks login passwords on a worker thread, one at a time and in the order they came, so that
// the daemon goes on answering its logged-in clients while PBKDF2 runs. While more than
// `failuresPerSecond` logins failed in the last second, the next check waits: a flood of
// guesses slows every login before any hashing, rather than queueing work.
class LoginQueue : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxWaiting = 32;

    explicit LoginQueue(QObject* parent = nullptr);
    ~LoginQueue() override;

    void setFailuresPerSecond(int limit) { m_failuresPerSecond = limit; }
    // False when kMaxWaiting checks are already waiting.
    bool enqueue(quint64 id, const PasswordHash& hash, const QString& password);
    void recordFailure();
    int waiting() const { return static_cast<int>(m_waiting.size()); }

Q_SIGNALS:
    void checked(quint64 id, bool matches);

private:
    struct Job {
        quint64 id;
        PasswordHash hash;
        QString password;
    };
    void dispatch();

    QThreadPool m_pool;
    QList<Job> m_waiting;
    bool m_busy = false;
    int m_failuresPerSecond = 5;
    QElapsedTimer m_clock;
    QList<qint64> m_failures; // m_clock times of the failures in the last second
    QTimer m_delay;
};

} // namespace garrisond
