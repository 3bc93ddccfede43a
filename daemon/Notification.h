#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace garrisond {

// One thing that happened, as a webhook tells it: the event's name (crash, hang, restart,
// gave-up, login, refused, kick, ban), when, a sentence for people and the event's own fields.
struct Notification {
    static constexpr qsizetype kDiscordLimit = 2000;

    // Which notifications go first when many wait: the game server's state and the logins
    // (so that no flood from the game can hide a lock-out), then kicks and bans, then the
    // game's alerts and reports.
    enum class Priority { Urgent, Moderation, Game };
    static Priority priorityOf(const QString& event);

    QString event;
    QDateTime time;
    QString text;
    QJsonObject fields;

    // {"content": "**server** text"}, cut to Discord's 2000 characters, with markdown escaped
    // and mentions switched off: a player named "@everyone" in a kick must not call the channel.
    QByteArray discordPayload(const QString& server) const;
    // {"event", "time" (UTC), "server", "text"} and the event's fields, which cannot replace
    // those four.
    QByteArray jsonPayload(const QString& server) const;
};

} // namespace garrisond
