#include "HistorySchema.h"

namespace garrison::HistorySchema {

namespace {

// Version 1. "%ID%" is the dialect's auto-numbered key, "%INT%" its 64-bit integer.
const char* const kVersion1[] = {
    "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE servers (id %ID%, address TEXT NOT NULL UNIQUE,"
    " host_name TEXT NOT NULL DEFAULT '', last_status %INT% NOT NULL DEFAULT 0)",
    // player_key: "g:" and the guid, or for players without one (bots, guid 0) "n:", the
    // server and the name without colour codes.
    "CREATE TABLE players (id %ID%, player_key TEXT NOT NULL UNIQUE,"
    " guid TEXT NOT NULL DEFAULT '', notes TEXT NOT NULL DEFAULT '', first_seen %INT% NOT NULL)",
    "CREATE INDEX players_guid ON players (guid %PATTERN%)",
    // plain: the name without colour codes, in lower case, for searching.
    "CREATE TABLE names (id %ID%, player_id %INT% NOT NULL, server_id %INT% NOT NULL,"
    " name TEXT NOT NULL, plain TEXT NOT NULL, first_seen %INT% NOT NULL,"
    " last_seen %INT% NOT NULL, UNIQUE (player_id, server_id, name))",
    "CREATE INDEX names_last_seen ON names (last_seen)",
    "CREATE TABLE addresses (id %ID%, player_id %INT% NOT NULL, server_id %INT% NOT NULL,"
    " address TEXT NOT NULL, first_seen %INT% NOT NULL, last_seen %INT% NOT NULL,"
    " UNIQUE (player_id, server_id, address))",
    "CREATE INDEX addresses_address ON addresses (address %PATTERN%)",
    "CREATE INDEX addresses_last_seen ON addresses (last_seen)",
    "CREATE TABLE sessions (id %ID%, player_id %INT% NOT NULL, server_id %INT% NOT NULL,"
    " started %INT% NOT NULL, ended %INT% NOT NULL, score TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX sessions_player ON sessions (player_id, server_id, ended)",
    "CREATE INDEX sessions_ended ON sessions (ended)",
    "CREATE TABLE player_counts (server_id %INT% NOT NULL, at %INT% NOT NULL,"
    " count INTEGER NOT NULL)",
    "CREATE INDEX player_counts_at ON player_counts (server_id, at)",
    "CREATE TABLE actions (id %ID%, at %INT% NOT NULL, server_id %INT% NOT NULL,"
    " player_id %INT%, actor TEXT NOT NULL, command TEXT NOT NULL, guid TEXT NOT NULL,"
    " name TEXT NOT NULL, slot TEXT NOT NULL, address TEXT NOT NULL, reason TEXT NOT NULL)",
    "CREATE INDEX actions_player ON actions (player_id, at)",
    "INSERT INTO meta (key, value) VALUES ('schema_version', '0')",
};

// Version 2: the players' reports from the game's chat, with who handled them.
const char* const kVersion2[] = {
    "CREATE TABLE reports (id %ID%, report_key TEXT NOT NULL UNIQUE, at %INT% NOT NULL,"
    " server_id %INT% NOT NULL, reporter_guid TEXT NOT NULL, reporter_name TEXT NOT NULL,"
    " reported_guid TEXT NOT NULL, reported_name TEXT NOT NULL, reported_player_id %INT%,"
    " reason TEXT NOT NULL, handled_by TEXT NOT NULL DEFAULT '',"
    " handled_at %INT% NOT NULL DEFAULT 0)",
    "CREATE INDEX reports_at ON reports (at)",
    "CREATE INDEX reports_player ON reports (reported_player_id)",
};

// Version 3: the bans of direct sessions. names, servers and evidence are JSON arrays; times
// are seconds since the epoch, "until" NULL for a permanent ban, "lifted_at" NULL while the
// ban was not lifted.
const char* const kVersion3[] = {
    "CREATE TABLE bans (id %ID%, names TEXT NOT NULL, guid TEXT NOT NULL,"
    " address TEXT NOT NULL, prefix_length INTEGER NOT NULL, reason TEXT NOT NULL,"
    " until %INT%, issued_by TEXT NOT NULL, issued_at %INT% NOT NULL, servers TEXT NOT NULL,"
    " note TEXT NOT NULL, evidence TEXT NOT NULL, lifted_by TEXT NOT NULL DEFAULT '',"
    " lifted_at %INT%, lift_note TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX bans_guid ON bans (guid)",
    "CREATE INDEX bans_address ON bans (address)",
};

QString adapt(Dialect dialect, QString statement)
{
    const bool sqlite = dialect == Dialect::Sqlite;
    statement.replace(QLatin1String("%ID%"), sqlite ? QLatin1String("INTEGER PRIMARY KEY")
                                                    : QLatin1String("BIGSERIAL PRIMARY KEY"));
    statement.replace(QLatin1String("%INT%"),
                      sqlite ? QLatin1String("INTEGER") : QLatin1String("BIGINT"));
    // PostgreSQL uses a prefix LIKE on these columns only with the pattern operator class.
    statement.replace(QLatin1String(" %PATTERN%"),
                      sqlite ? QLatin1String("") : QLatin1String(" text_pattern_ops"));
    return statement;
}

} // namespace

QStringList migration(Dialect dialect, int version)
{
    QStringList statements;
    const auto add = [&](const auto& steps) {
        for (const char* statement : steps) {
            statements.append(adapt(dialect, QString::fromLatin1(statement)));
        }
    };
    if (version == 1) {
        add(kVersion1);
    } else if (version == 2) {
        add(kVersion2);
    } else if (version == 3) {
        add(kVersion3);
    }
    return statements;
}

QStringList fragmentIndex(Dialect dialect)
{
    if (dialect == Dialect::Sqlite) {
        return {
            QStringLiteral("CREATE VIRTUAL TABLE names_search USING fts5(plain, content='names',"
                           " content_rowid='id', tokenize='trigram')"),
            QStringLiteral("INSERT INTO names_search (names_search) VALUES ('rebuild')"),
            QStringLiteral("CREATE TRIGGER names_search_insert AFTER INSERT ON names BEGIN"
                           " INSERT INTO names_search (rowid, plain) VALUES (new.id, new.plain);"
                           " END"),
            QStringLiteral("CREATE TRIGGER names_search_delete AFTER DELETE ON names BEGIN"
                           " INSERT INTO names_search (names_search, rowid, plain)"
                           " VALUES ('delete', old.id, old.plain); END"),
        };
    }
    return {QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS names_plain_trigram ON names"
                           " USING gin (plain gin_trgm_ops)")};
}

QString versionQuery()
{
    return QStringLiteral("SELECT value FROM meta WHERE key = 'schema_version'");
}

QString versionUpdate()
{
    return QStringLiteral("UPDATE meta SET value = ? WHERE key = 'schema_version'");
}

} // namespace garrison::HistorySchema
