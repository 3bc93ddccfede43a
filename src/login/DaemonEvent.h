#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringView>
#include <optional>

namespace garrison {

// One line of the daemon's event stream: "EVENT ", the kind, then tab-separated "key=value"
// fields whose values escape backslash, tab, CR and LF. The daemon sends them after
// "getevents": first "stream" (the kinds this level receives) or "refused" (and why), then the
// game log's chat, joins, quits, kills, maps, alerts and reports as they happen, and "lost"
// when the client was too slow to take some. Admin and poweradmin sessions also get "server":
// the daemon's watch over the game server changed its state ("event" crash, hang, recovered,
// gave-up, restart, server-started, server-stopped; "state" as "serverstate" names it; "text").
struct DaemonEvent {
    enum class Kind {
        Stream,
        Refused,
        Lost,
        Chat,
        Join,
        Quit,
        Kill,
        Map,
        Alert,
        Report,
        Server,
        Other
    };

    static inline const QString kPrefix = QStringLiteral("EVENT ");

    Kind kind = Kind::Other;
    QString kindName;
    QHash<QString, QString> fields;

    // A field's value; empty when absent.
    QString value(const QString& key) const { return fields.value(key); }
    // When the daemon read the line; invalid when the daemon did not say.
    QDateTime at() const;
    // Team chat (sayteam) rather than chat to all.
    bool teamChat() const { return value(QStringLiteral("scope")) == QLatin1String("team"); }

    // Nothing when the line is no event line.
    static std::optional<DaemonEvent> parse(QStringView line);
};

} // namespace garrison
