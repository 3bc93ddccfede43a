#include "Notification.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace garrisond {

namespace {

// Discord would format a player's "*name*", and link "[text](address)"; one line only.
QString escapeMarkdown(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n') {
            escaped += u' ';
            continue;
        }
        if (QStringView(u"\\*_~`|[]").contains(c)) {
            escaped += u'\\';
        }
        escaped += c;
    }
    return escaped;
}

} // namespace

Notification::Priority Notification::priorityOf(const QString& event)
{
    if (event == QLatin1String("alert") || event == QLatin1String("report")) {
        return Priority::Game;
    }
    if (event == QLatin1String("kick") || event == QLatin1String("ban")) {
        return Priority::Moderation;
    }
    return Priority::Urgent;
}

QByteArray Notification::discordPayload(const QString& server) const
{
    QString content = QStringLiteral("**%1** %2").arg(escapeMarkdown(server), escapeMarkdown(text));
    if (content.size() > kDiscordLimit) {
        content.truncate(kDiscordLimit - 1);
        // A cut must not leave an escaping backslash or half a surrogate pair at the end.
        while (!content.isEmpty() &&
               (content.back() == u'\\' || content.back().isHighSurrogate())) {
            content.chop(1);
        }
        content += u'\u2026';
    }
    const QJsonObject payload{
        {QStringLiteral("content"), content},
        {QStringLiteral("allowed_mentions"), QJsonObject{{QStringLiteral("parse"), QJsonArray()}}}};
    return QJsonDocument(payload).toJson(QJsonDocument::Compact);
}

QByteArray Notification::jsonPayload(const QString& server) const
{
    QJsonObject payload = fields;
    payload.insert(QStringLiteral("event"), event);
    payload.insert(QStringLiteral("time"), time.toUTC().toString(Qt::ISODate));
    payload.insert(QStringLiteral("server"), server);
    payload.insert(QStringLiteral("text"), text);
    return QJsonDocument(payload).toJson(QJsonDocument::Compact);
}

} // namespace garrisond
