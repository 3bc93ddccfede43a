#include "RestartSchedule.h"

#include <QStringList>
#include <algorithm>

namespace garrisond {

std::optional<QList<QTime>> RestartSchedule::parseTimes(const QString& text)
{
    QList<QTime> times;
    if (text.trimmed().isEmpty()) {
        return times;
    }
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QString trimmed = part.trimmed();
        const QTime time = QTime::fromString(trimmed, QStringLiteral("H:mm"));
        if (!time.isValid() || trimmed.size() > 5) {
            return std::nullopt;
        }
        if (!times.contains(time)) {
            times.append(time);
        }
    }
    std::sort(times.begin(), times.end());
    return times;
}

void RestartSchedule::configure(const QList<QTime>& times,
                                const QList<std::chrono::seconds>& warnings)
{
    m_times = times;
    m_warnings = warnings;
    std::sort(m_warnings.begin(), m_warnings.end(), std::greater<>());
    m_warnings.erase(std::unique(m_warnings.begin(), m_warnings.end()), m_warnings.end());
    m_warnings.removeAll(std::chrono::seconds(0));
}

std::chrono::seconds RestartSchedule::lastWarning() const
{
    return m_warnings.isEmpty() ? std::chrono::seconds(0) : m_warnings.constLast();
}

QDateTime RestartSchedule::nextRestart(const QDateTime& after) const
{
    if (m_times.isEmpty()) {
        return {};
    }
    const QDateTime local = after.toLocalTime();
    // Skipping every restart of a day still leaves the next day's; a week covers any number of
    // skips that an administrator can click in between.
    for (int day = -1; day < 8; ++day) {
        const QDate date = local.date().addDays(day);
        for (const QTime& time : m_times) {
            const QDateTime at(date, time); // local time; a time lost to a clock change moves on
            if (at > local && !m_skipped.contains(at)) {
                return at;
            }
        }
    }
    return {};
}

QDateTime RestartSchedule::skipNext(const QDateTime& now)
{
    const QDateTime next = nextRestart(now);
    if (next.isValid()) {
        m_skipped.append(next);
    }
    return next;
}

void RestartSchedule::restoreSkipped(const QList<QDateTime>& skipped, const QDateTime& now)
{
    for (const QDateTime& at : skipped) {
        // Compared in local time, as nextRestart() makes them.
        const QDateTime local = at.toLocalTime();
        if (local > now && !m_skipped.contains(local)) {
            m_skipped.append(local);
        }
    }
}

RestartSchedule::Due RestartSchedule::take(const QDateTime& from, const QDateTime& to)
{
    Due due;
    const QDateTime restart = nextRestart(from);
    m_skipped.removeIf([&to](const QDateTime& skipped) { return skipped <= to; });
    if (!restart.isValid()) {
        return due;
    }
    due.restartAt = restart;
    if (restart <= to) {
        due.kind = Due::Kind::Restart;
        return due;
    }
    for (auto warning = m_warnings.crbegin(); warning != m_warnings.crend(); ++warning) {
        const QDateTime at = restart.addSecs(-warning->count());
        if (at > from && at <= to) {
            due.kind = Due::Kind::Warning;
            due.left = *warning;
            return due;
        }
    }
    return due;
}

QDateTime RestartSchedule::nextStep(const QDateTime& now) const
{
    const QDateTime restart = nextRestart(now);
    QDateTime step = restart;
    for (const std::chrono::seconds warning : m_warnings) {
        const QDateTime at = restart.addSecs(-warning.count());
        if (at > now && at < step) {
            step = at;
        }
    }
    for (const QDateTime& skipped : m_skipped) {
        if (skipped > now && (!step.isValid() || skipped < step)) {
            step = skipped;
        }
    }
    return step;
}

} // namespace garrisond
