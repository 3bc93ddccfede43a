#include "GameEventWebhook.h"

#include "GameEvents.h"
#include "Webhook.h"

#include <QJsonObject>

namespace garrisond {

void GameEventWebhook::takeEvent(const GameEvent& event)
{
    if (!m_webhook.isEnabled()) {
        return;
    }
    if (const std::optional<Notification> notification = notificationFor(event)) {
        m_webhook.send(*notification);
    }
}

std::optional<Notification> GameEventWebhook::notificationFor(const GameEvent& event)
{
    if (event.kind != GameEvent::Kind::Alert && event.kind != GameEvent::Kind::Report) {
        return std::nullopt;
    }
    QString text = GameEvents::withoutColours(event.describe());
    QJsonObject fields{{QStringLiteral("player"), event.player.name},
                       {QStringLiteral("guid"), event.player.guid},
                       {QStringLiteral("text"), event.text}};
    if (event.kind == GameEvent::Kind::Alert) {
        Repeats repeats;
        if (!admitAlert(event, &repeats)) {
            return std::nullopt;
        }
        fields.insert(QStringLiteral("word"), event.word);
        if (repeats.folded > 0) {
            text += QStringLiteral(" (and %1 more since %2)")
                        .arg(repeats.folded)
                        .arg(repeats.posted.toLocalTime().toString(QStringLiteral("HH:mm")));
            fields.insert(QStringLiteral("repeats"), repeats.folded);
            fields.insert(QStringLiteral("repeats_since"),
                          repeats.posted.toUTC().toString(Qt::ISODate));
        }
    } else {
        fields.insert(QStringLiteral("reported"), event.other.name);
        fields.insert(QStringLiteral("reported_guid"), event.other.guid);
        fields.insert(QStringLiteral("id"), event.id);
    }
    return Notification{GameEvent::kindName(event.kind), event.at, text, fields};
}

bool GameEventWebhook::admitAlert(const GameEvent& event, Repeats* reported)
{
    if (m_window.count() <= 0) {
        return true;
    }
    const qint64 window = m_window.count();
    if (m_alerts.size() >= kMaxRemembered) {
        m_alerts.removeIf([&event, window](const QHash<QString, Repeats>::iterator it) {
            return it->posted.secsTo(event.at) >= window;
        });
    }
    const QString player = event.player.guid.isEmpty()
                               ? GameEvents::withoutColours(event.player.name).toLower()
                               : event.player.guid;
    Repeats& repeats = m_alerts[event.word + QLatin1Char('\n') + player];
    const qint64 since = repeats.posted.isValid() ? repeats.posted.secsTo(event.at) : -1;
    if (since >= 0 && since < window) {
        ++repeats.folded;
        return false;
    }
    *reported = repeats;
    repeats = {event.at, 0};
    return true;
}

} // namespace garrisond
