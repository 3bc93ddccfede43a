#pragma once

#include "TextRows.h"
#include "history/HistoryBans.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryQueries.h"
#include "history/HistoryRecorder.h"
#include "rcon/PlayerRow.h"

#include <QSqlQuery>
#include <QTest>

// Recording and search cases that every database must pass, SQLite and PostgreSQL alike.
namespace garrison::test::HistoryCases {

inline constexpr HistoryTime kStart = 1'765'000'000;
inline const QString kServer = QStringLiteral("192.0.2.1:28960");
inline const QString kOther = QStringLiteral("192.0.2.2:28960");

// "slot|score|guid|name|address"
inline PlayerRow row(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('|'));
    return PlayerRow{{parts.value(3), parts.value(1), QStringLiteral("50"), parts.value(2),
                      parts.value(0), parts.value(4)}};
}

// One status table per entry: "server@minutes: row; row; ...".
struct Script {
    QStringList statuses;
    void play(HistoryRecorder& recorder) const
    {
        for (const QString& status : statuses) {
            const qsizetype at = status.indexOf(QLatin1Char('@'));
            const qsizetype colon = status.indexOf(QLatin1Char(':'), at);
            const QString server = status.left(at) == QLatin1String("B") ? kOther : kServer;
            const HistoryTime time = kStart + status.mid(at + 1, colon - at - 1).toLongLong() * 60;
            QList<PlayerRow> rows;
            for (const QString& entry :
                 status.mid(colon + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                rows.append(row(entry.trimmed()));
            }
            QVERIFY2(recorder.recordStatus(server, QStringLiteral("Host ") + status.left(at), rows,
                                           time),
                     qPrintable(recorder.lastError().text()));
        }
    }
};

inline int count(const HistoryDatabase& database, const QString& statement)
{
    QSqlQuery query(database.db());
    if (!query.exec(statement) || !query.next()) {
        return -1;
    }
    return query.value(0).toInt();
}

inline void clear(const HistoryDatabase& database)
{
    for (const char* table : {"servers", "players", "names", "addresses", "sessions",
                              "player_counts", "actions", "bans"}) {
        QSqlQuery(database.db()).exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
    }
}

// Statuses split at " / "; counts of players, names, addresses, sessions and count rows; the
// last score of the latest session of guid 1111111111 ("" for none).
inline void recording_data()
{
    addTextRows(
        {"statuses", "counts", "lastScore"},
        {{"one player", "A@0: @bob", "1 1 1 1 1", "5"},
         {"present again: one session, last score",
          "A@0: @bob / A@5: 0|17|1111111111|^1Bob|198.51.100.7:28961", "1 1 1 1 2", "17"},
         {"renamed under the same guid",
          "A@0: @bob / A@1: 0|6|1111111111|^2Robert|198.51.100.7:28960", "1 2 1 1 2", "6"},
         {"absent in between: two sessions",
          "A@0: @bob / A@1:  / A@2: 0|9|1111111111|^1Bob|198.51.100.7:28960", "1 1 1 2 3", "9"},
         {"long gap: two sessions", "A@0: @bob / A@31: @bob", "1 1 1 2 2", "5"},
         {"guid player on two servers is one player",
          "A@0: @bob / B@1: 3|1|1111111111|Bob|203.0.113.9:28960", "1 2 2 2 2", "1"},
         {"without guid: by name and server",
          "A@0: 1|0|0|Bot1|bot; 2|0||^3Joe|203.0.113.5:28960 / "
          "A@1: 1|0|0|^5bot1|bot; 2|0||^3Joe|203.0.113.6:28960 / B@1: 1|0|0|Bot1|bot",
          "3 4 4 3 3", ""},
         {"padded cells and head rows",
          "A@0: |||| ; 0|    5|1111111111|^1Bob           |198.51.100.7:28960", "1 1 1 1 1", "5"}});
}

inline void recording(HistoryDatabase& database)
{
    QFETCH(QString, statuses);
    QFETCH(QString, counts);
    QFETCH(QString, lastScore);
    clear(database);
    HistoryRecorder recorder(database);
    Script{statuses
               .replace(QLatin1String("@bob"),
                        QLatin1String("0|5|1111111111|^1Bob|198.51.100.7:28960"))
               .split(QLatin1String(" / "))}
        .play(recorder);
    QStringList found;
    for (const char* table : {"players", "names", "addresses", "sessions", "player_counts"}) {
        found << QString::number(
            count(database, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))));
    }
    QCOMPARE(found.join(QLatin1Char(' ')), counts);
    HistoryQueries queries(database);
    const std::optional<qint64> bob =
        queries.playerId(kServer, QStringLiteral("1111111111"), QString());
    if (!lastScore.isEmpty()) {
        QVERIFY(bob);
        QCOMPARE(queries.record(*bob)->sessions.first().score, lastScore);
    }
}

// Names of the players found, in order, split at ",".
inline void search_data()
{
    addTextRows({"text", "found"}, {{"fragment, any case", "ROB", "^2Robert"},
                                    {"across colour codes", "jack", "^1Ja^2ck"},
                                    {"short fragment", "ck", "^1Ja^2ck"},
                                    {"colour codes typed", "^2rob", "^2Robert"},
                                    {"guid beginning", "22222", "^1Ja^2ck"},
                                    {"address beginning", "198.51.100.", "^1Ja^2ck,^2Robert"},
                                    {"latest first", "r", "^2Robert,Oliver_x"},
                                    {"wildcards are text", "%", ""},
                                    {"underscore is text", "r_x", "Oliver_x"},
                                    {"quote", "\"", ""},
                                    {"nothing", "zzz", ""}});
}

inline void search(HistoryDatabase& database)
{
    QFETCH(QString, text);
    QFETCH(QString, found);
    clear(database);
    HistoryRecorder recorder(database);
    Script{{"A@0: 0|1|1111111111|^1Bob|198.51.100.7:28960; 1|1||Oliver_x|203.0.113.1:1",
            "A@1: 0|1|1111111111|^2Robert|198.51.100.7:28960",
            "B@3: 4|1|2222222222|^1Ja^2ck|198.51.100.9:28960"}}
        .play(recorder);
    QStringList names;
    for (const SearchHit& hit : HistoryQueries(database).search(text)) {
        names.append(hit.name);
    }
    QCOMPARE(names, found.split(QLatin1Char(','), Qt::SkipEmptyParts));
}

// A ban kept and read back whole, edited and lifted. "{10000}" stands for 10,000 characters;
// until is in hours from now ("" permanent); servers comma-separated ("" every one).
inline void bans_data()
{
    addTextRows({"name", "text", "guid", "address", "until", "servers"},
                {{"plain, permanent", "Bob", "Aimbot", "1234567", "", "", ""},
                 {"hex guid, timed, two servers", "^1Jack", "Wallhack",
                  "0123456789abcdef0123456789abcdef", "", "2", "A,B"},
                 {"address range only", "", "Abuse", "", "198.51.100.0/24", "-1", ""},
                 {"quotes and semicolons", "O'Neil \"x\"", "say \"hi\"; quit", "42", "", "", ""},
                 {"control bytes",
                  "a\x01"
                  "b\x7f",
                  "line\rbreak\n\ttab", "7", "", "", ""},
                 {"10,000 characters", "{10000}", "{10000}", "8", "2001:db8::/48", "", "A"}});
}

inline void bans(HistoryDatabase& database)
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, guid);
    QFETCH(QString, address);
    QFETCH(QString, until);
    QFETCH(QString, servers);
    const QString longText(10000, QLatin1Char('x'));
    name.replace(QLatin1String("{10000}"), longText);
    text.replace(QLatin1String("{10000}"), longText);
    clear(database);
    const QDateTime now = QDateTime::fromSecsSinceEpoch(kStart, Qt::UTC);
    BanRecord ban;
    ban.names = name.isEmpty() ? QStringList() : QStringList{name, QStringLiteral("second")};
    ban.guid = guid;
    if (!address.isEmpty()) {
        QVERIFY(BanRecord::parseAddress(address, &ban.address, &ban.prefixLength));
    }
    ban.reason = text;
    ban.note = text;
    if (!until.isEmpty()) {
        ban.until = now.addSecs(until.toLongLong() * 3600);
    }
    ban.servers = servers.split(QLatin1Char(','), Qt::SkipEmptyParts);
    ban.issuedBy = QStringLiteral("rcon");
    ban.issuedAt = now;
    ban.evidence = QStringList{text};
    HistoryBans bans(database);
    const std::optional<qint64> id = bans.add(ban);
    QVERIFY2(id, qPrintable(bans.lastError().text()));
    ban.id = *id;
    std::optional<QList<BanRecord>> listed = bans.list();
    QVERIFY(listed && listed->size() == 1);
    QCOMPARE(listed->first().toJson(now), ban.toJson(now));

    ban.reason = QStringLiteral("changed");
    ban.until = now.addSecs(60);
    ban.servers = QStringList{QStringLiteral("C")};
    QVERIFY(bans.edit(ban));
    QVERIFY(bans.lift(*id, QStringLiteral("^3admin"), text, now.addSecs(10)));
    QVERIFY(!bans.lift(*id, QStringLiteral("again"), QString(), now.addSecs(20)));
    listed = bans.list();
    QVERIFY(listed && listed->size() == 1);
    const BanRecord& back = listed->first();
    QCOMPARE(back.reason, ban.reason);
    QCOMPARE(back.until, ban.until);
    QCOMPARE(back.servers, ban.servers);
    QCOMPARE(back.state(now), BanRecord::State::Lifted);
    QCOMPARE(back.liftedBy, QStringLiteral("^3admin"));
    QCOMPARE(back.liftNote, text);
    QCOMPARE(back.liftedAt, now.addSecs(10));
}

} // namespace garrison::test::HistoryCases
