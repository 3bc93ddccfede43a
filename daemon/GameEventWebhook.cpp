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
    Repeats repeats;
    if (event.kind == GameEvent::Kind::Alert && !admitAlert(event, &repeats)) {
        return std::nullopt;
    }
    Repeats folded;
    if (!admitPlayer(event, &folded)) {
        return std::nullopt;
    }
    if (folded.folded > 0) {
        text += QStringLiteral(" (%1 more from this player folded since %2)")
                    .arg(folded.folded)
                    .arg(folded.posted.toLocalTime().toString(QStringLiteral("HH:mm")));
        fields.insert(QStringLiteral("folded"), folded.folded);
        fields.insert(QStringLiteral("folded_since"), folded.posted.toUTC().toString(Qt::ISODate));
    }
    if (event.kind == GameEvent::Kind::Alert) {
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

QString GameEventWebhook::playerKey(const GameEvent& event)
{
    return event.player.guid.isEmpty() ? GameEvents::withoutColours(event.player.name).toLower()
                                       : event.player.guid;
}

void GameEventWebhook::forgetOld(QHash<QString, Repeats>& table, const QDateTime& now) const
{
    if (table.size() >= kMaxRemembered) {
        const qint64 window = m_window.count();
        table.removeIf([&now, window](const QHash<QString, Repeats>::iterator it) {
            return it->posted.secsTo(now) >= window;
        });
    }
}

bool GameEventWebhook::admitPlayer(const GameEvent& event, Repeats* folded)
{
    if (m_window.count() <= 0) {
        return true;
    }
    forgetOld(m_players, event.at);
    // Here `posted` is when the window began, and `folded` counts the posts in it first.
    Repeats& player = m_players[playerKey(event)];
    const qint64 since = player.posted.isValid() ? player.posted.secsTo(event.at) : -1;
    if (since < 0 || since >= m_window.count()) {
        *folded = {player.posted, std::max(0, player.folded - kPostsPerPlayer)};
        player = {event.at, 1};
        return true;
    }
    return ++player.folded <= kPostsPerPlayer;
}

bool GameEventWebhook::admitAlert(const GameEvent& event, Repeats* reported)
{
    if (m_window.count() <= 0) {
        return true;
    }
    forgetOld(m_alerts, event.at);
    Repeats& repeats = m_alerts[event.word + QLatin1Char('\n') + playerKey(event)];
    const qint64 since = repeats.posted.isValid() ? repeats.posted.secsTo(event.at) : -1;
    if (since >= 0 && since < m_window.count()) {
        ++repeats.folded;
        return false;
    }
    *reported = repeats;
    repeats = {event.at, 0};
    return true;
}

} // namespace garrisond
