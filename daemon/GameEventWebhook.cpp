#include "GameEventWebhook.h"

#include "GameEvents.h"
#include "Webhook.h"

#include <QJsonObject>

namespace garrisond {

void GameEventWebhook::takeEvent(const GameEvent& event)
{
    if (!m_webhook.isEnabled() ||
        (event.kind != GameEvent::Kind::Alert && event.kind != GameEvent::Kind::Report)) {
        return;
    }
    QJsonObject fields{{QStringLiteral("player"), event.player.name},
                       {QStringLiteral("guid"), event.player.guid},
                       {QStringLiteral("text"), event.text}};
    if (event.kind == GameEvent::Kind::Alert) {
        fields.insert(QStringLiteral("word"), event.word);
    } else {
        fields.insert(QStringLiteral("reported"), event.other.name);
        fields.insert(QStringLiteral("reported_guid"), event.other.guid);
        fields.insert(QStringLiteral("id"), event.id);
    }
    m_webhook.send(Notification{GameEvent::kindName(event.kind), event.at,
                                GameEvents::withoutColours(event.describe()), fields});
}

} // namespace garrisond
