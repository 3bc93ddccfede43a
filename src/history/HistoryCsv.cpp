#include "HistoryCsv.h"

#include "platform/CsvText.h"
#include "players/GameColours.h"

#include <QDateTime>
#include <QStringList>

namespace garrison::HistoryCsv {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

QString line(const QStringList& fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& text : fields) {
        quoted.append(CsvText::field(text));
    }
    return quoted.join(QLatin1Char(',')) + kLineEnd;
}

// Names and host names as the game shows them; commands keep their codes, as they were sent.
QString shown(const QString& text)
{
    return GameColours::shownText(text);
}

QString playerTitle(const PlayerRecord& record)
{
    return record.names.isEmpty() ? record.guid : shown(record.names.constFirst().text);
}

} // namespace

QString time(HistoryTime at)
{
    return QDateTime::fromSecsSinceEpoch(at, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString searchResult(const QList<SearchHit>& hits)
{
    QString text = line({QStringLiteral("Name"), QStringLiteral("Guid"), QStringLiteral("Server"),
                         QStringLiteral("Last seen (UTC)")});
    for (const SearchHit& hit : hits) {
        text += line({shown(hit.name), hit.guid, hit.serverKey, time(hit.lastSeen)});
    }
    return text;
}

QString record(const PlayerRecord& record)
{
    QString text = line({QStringLiteral("Player"), QStringLiteral("Guid"),
                         QStringLiteral("First seen (UTC)"), QStringLiteral("Notes")});
    text += line({playerTitle(record), record.guid, time(record.firstSeen), record.notes});
    const auto seen = [&text](const QString& title, const QList<SeenText>& entries,
                              const auto& shownText) {
        text +=
            kLineEnd + line({title, QStringLiteral("Server"), QStringLiteral("First seen (UTC)"),
                             QStringLiteral("Last seen (UTC)")});
        for (const SeenText& entry : entries) {
            text += line({shownText(entry.text), entry.serverKey, time(entry.firstSeen),
                          time(entry.lastSeen)});
        }
    };
    seen(QStringLiteral("Name"), record.names, shown);
    seen(QStringLiteral("Address"), record.addresses, [](const QString& text) { return text; });
    text += kLineEnd + line({QStringLiteral("Session server"), QStringLiteral("Host name"),
                             QStringLiteral("Started (UTC)"), QStringLiteral("Ended (UTC)"),
                             QStringLiteral("Score")});
    for (const SessionEntry& session : record.sessions) {
        text += line({session.serverKey, shown(session.hostName), time(session.started),
                      time(session.ended), session.score});
    }
    text += kLineEnd +
            line({QStringLiteral("Action time (UTC)"), QStringLiteral("Server"),
                  QStringLiteral("By"), QStringLiteral("Command"), QStringLiteral("Name"),
                  QStringLiteral("Slot"), QStringLiteral("Address"), QStringLiteral("Reason")});
    for (const PlayerAction& action : record.actions) {
        text += line({time(action.at), action.serverKey, action.actor, action.command,
                      shown(action.name), action.slot, action.address, action.reason});
    }
    return text;
}

} // namespace garrison::HistoryCsv
