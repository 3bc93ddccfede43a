#pragma once

#include <QDateTime>
#include <QList>
#include <QTime>
#include <chrono>
#include <optional>

namespace garrisond {

// The daily restarts (restart_times, local time) and the warnings before each one
// (restart_warnings). Pure reckoning: the caller asks what fell due between two moments and
// says or does it. A skipped restart has no warnings either; it is forgotten once its time has
// passed.
class RestartSchedule {
public:
    struct Due {
        enum class Kind { Nothing, Warning, Restart };
        Kind kind = Kind::Nothing;
        QDateTime restartAt;
        std::chrono::seconds left{0}; // a warning's time before the restart
    };

    // "04:00, 16:00": the times in the day; nothing when one is not hh:mm.
    static std::optional<QList<QTime>> parseTimes(const QString& text);

    void configure(const QList<QTime>& times, const QList<std::chrono::seconds>& warnings);
    bool isEmpty() const { return m_times.isEmpty(); }
    // The smallest warning: what a restart on request waits after saying it (0 without one).
    std::chrono::seconds lastWarning() const;

    // The first restart after `after` that is not skipped; invalid when none is scheduled.
    QDateTime nextRestart(const QDateTime& after) const;
    // Skips the first restart after `now` that is not skipped yet, and returns it.
    QDateTime skipNext(const QDateTime& now);
    const QList<QDateTime>& skipped() const { return m_skipped; }
    // Skips as a daemon before this one left them; those not after `now` are dropped.
    void restoreSkipped(const QList<QDateTime>& skipped, const QDateTime& now);

    // What fell due in (from, to]: the restart when its time came, otherwise the latest
    // warning whose time came (the earlier ones are stale). Forgets the skipped restarts that
    // are over by `to`.
    Due take(const QDateTime& from, const QDateTime& to);
    // The next moment after `now` at which take() has something to do; invalid when none.
    QDateTime nextStep(const QDateTime& now) const;

private:
    QList<QTime> m_times;
    QList<std::chrono::seconds> m_warnings; // longest first
    QList<QDateTime> m_skipped;
};

} // namespace garrisond
