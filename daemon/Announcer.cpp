#include "Announcer.h"

#include "DurationText.h"

namespace garrisond {

Announcer::Announcer(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Announcer::sayNext);
}

std::optional<Announcer::Announcement> Announcer::parse(const QString& value)
{
    const QString trimmed = value.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    if (blank < 0) {
        return std::nullopt;
    }
    const std::optional<std::chrono::seconds> interval = DurationText::parse(trimmed.left(blank));
    const QString text = trimmed.mid(blank + 1).trimmed();
    if (!interval || interval->count() < 1 || text.isEmpty()) {
        return std::nullopt;
    }
    return Announcement{*interval, text};
}

void Announcer::configure(const QList<Announcement>& announcements)
{
    if (announcements == m_announcements) {
        return;
    }
    const bool running = m_timer.isActive();
    m_announcements = announcements;
    stop();
    if (running) {
        start();
    }
}

void Announcer::start()
{
    m_next = 0;
    if (!m_announcements.isEmpty()) {
        m_timer.start(m_announcements.constFirst().interval);
    }
}

void Announcer::stop()
{
    m_timer.stop();
}

void Announcer::sayNext()
{
    if (m_announcements.isEmpty()) {
        return;
    }
    const QString text = m_announcements.at(m_next % m_announcements.size()).text;
    m_next = (m_next + 1) % m_announcements.size();
    m_timer.start(m_announcements.at(m_next).interval);
    Q_EMIT due(text);
}

} // namespace garrisond
