#include "HistoryQueries.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryKeys.h"

#include <QDateTime>
#include <QLocale>
#include <QSet>
#include <QSqlQuery>

namespace garrison {

namespace {

QSqlQuery select(const QSqlDatabase& db, const QString& statement, const QVariantList& values)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(statement);
    for (qsizetype index = 0; index < values.size(); ++index) {
        query.bindValue(static_cast<int>(index), values[index]);
    }
    query.exec();
    return query;
}

// Escapes LIKE's wildcards with a backslash.
QString likeLiteral(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('%'), QLatin1String("\\%"));
    text.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return text;
}

} // namespace

HistoryQueries::HistoryQueries(HistoryDatabase& database) : m_database(database) {}

QString HistoryQueries::localTime(HistoryTime at)
{
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(at), QLocale::ShortFormat);
}

QList<SearchHit> HistoryQueries::search(const QString& text) const
{
    const QString fragment = text.trimmed();
    QList<SearchHit> hits;
    if (fragment.isEmpty()) {
        return hits;
    }
    const QSqlDatabase db = m_database.db();
    const bool sqlite = m_database.dialect() == HistorySchema::Dialect::Sqlite;
    const QString plain = HistoryKeys::plainName(fragment);
    QVariantList nameValues;
    QString nameCondition;
    if (sqlite && m_database.hasFragmentIndex() && plain.size() >= 3) {
        // Trigram phrase: every three characters of the fragment, in order. A short fragment
        // can match a large part of a big history: only the names added last are sorted.
        nameCondition = QStringLiteral("n.id IN (SELECT rowid FROM names_search WHERE"
                                       " names_search MATCH ? ORDER BY rowid DESC LIMIT %1)")
                            .arg(kSearchLimit * 5);
        nameValues = {QLatin1Char('"') +
                      QString(plain).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                      QLatin1Char('"')};
    } else if (sqlite) {
        nameCondition = QStringLiteral("n.id IN (SELECT id FROM names WHERE instr(plain, ?) > 0"
                                       " ORDER BY id DESC LIMIT %1)")
                            .arg(kSearchLimit * 5);
        nameValues = {plain};
    } else {
        nameCondition = QStringLiteral("n.plain LIKE ? ESCAPE '\\'");
        nameValues = {QLatin1Char('%') + likeLiteral(plain) + QLatin1Char('%')};
    }
    const QString limit = QStringLiteral(" ORDER BY 5 DESC LIMIT %1").arg(kSearchLimit);
    const QString names =
        QStringLiteral("SELECT n.player_id, p.guid, n.name, s.address, n.last_seen"
                       " FROM names n JOIN players p ON p.id = n.player_id"
                       " JOIN servers s ON s.id = n.server_id WHERE ") +
        nameCondition + limit;
    // Guids and addresses by their beginning; the latest name stands for the player.
    const QString latestName = QStringLiteral(
        " (SELECT n.name FROM names n WHERE n.player_id = p.id ORDER BY n.last_seen DESC LIMIT 1)");
    const QString prefix =
        sqlite ? QStringLiteral("%1 >= ? AND %1 < ?") : QStringLiteral("%1 LIKE ? ESCAPE '\\'");
    const QVariantList prefixValues = sqlite
                                          ? QVariantList{fragment, fragment + QChar(0xFFFF)}
                                          : QVariantList{likeLiteral(fragment) + QLatin1Char('%')};
    const QString guids =
        QStringLiteral("SELECT p.id, p.guid,") + latestName +
        QStringLiteral(", '', (SELECT max(n.last_seen) FROM names n WHERE n.player_id = p.id)"
                       " FROM players p WHERE ") +
        prefix.arg(QStringLiteral("p.guid")) + limit;
    const QString addresses = QStringLiteral("SELECT a.player_id, p.guid,") + latestName +
                              QStringLiteral(", s.address, a.last_seen FROM addresses a"
                                             " JOIN players p ON p.id = a.player_id"
                                             " JOIN servers s ON s.id = a.server_id WHERE ") +
                              prefix.arg(QStringLiteral("a.address")) + limit;

    QSet<qint64> found;
    const auto collect = [&](const QString& statement, const QVariantList& values) {
        QSqlQuery query = select(db, statement, values);
        if (!query.isActive()) {
            m_error = query.lastError();
        }
        while (query.next() && hits.size() < kSearchLimit) {
            const qint64 id = query.value(0).toLongLong();
            if (found.contains(id)) {
                continue;
            }
            found.insert(id);
            hits.append({id, query.value(1).toString(), query.value(2).toString(),
                         query.value(3).toString(), query.value(4).toLongLong()});
        }
    };
    collect(names, nameValues);
    if (HistoryKeys::isGuid(fragment) || fragment.front().isDigit()) {
        collect(guids, prefixValues);
        collect(addresses, prefixValues);
    }
    std::stable_sort(hits.begin(), hits.end(), [](const SearchHit& left, const SearchHit& right) {
        return left.lastSeen > right.lastSeen;
    });
    return hits;
}

std::optional<PlayerRecord> HistoryQueries::record(qint64 playerId) const
{
    const QSqlDatabase db = m_database.db();
    QSqlQuery query = select(db,
                             QStringLiteral("SELECT guid, notes, first_seen FROM players"
                                            " WHERE id = ?"),
                             {playerId});
    if (!query.next()) {
        m_error = query.lastError();
        return std::nullopt;
    }
    PlayerRecord record;
    record.playerId = playerId;
    record.guid = query.value(0).toString();
    record.notes = query.value(1).toString();
    record.firstSeen = query.value(2).toLongLong();

    const auto seen = [&](const char* table, const char* column, QList<SeenText>& into) {
        QSqlQuery rows =
            select(db,
                   QStringLiteral("SELECT t.%1, s.address, t.first_seen, t.last_seen FROM %2 t"
                                  " JOIN servers s ON s.id = t.server_id WHERE t.player_id = ?"
                                  " ORDER BY t.last_seen DESC")
                       .arg(QLatin1String(column), QLatin1String(table)),
                   {playerId});
        while (rows.next()) {
            into.append({rows.value(0).toString(), rows.value(1).toString(),
                         rows.value(2).toLongLong(), rows.value(3).toLongLong()});
        }
    };
    seen("names", "name", record.names);
    seen("addresses", "address", record.addresses);

    QSqlQuery sessions = select(
        db,
        QStringLiteral("SELECT s.address, s.host_name, t.started, t.ended, t.score FROM sessions t"
                       " JOIN servers s ON s.id = t.server_id WHERE t.player_id = ?"
                       " ORDER BY t.started DESC"),
        {playerId});
    while (sessions.next()) {
        record.sessions.append({sessions.value(0).toString(), sessions.value(1).toString(),
                                sessions.value(2).toLongLong(), sessions.value(3).toLongLong(),
                                sessions.value(4).toString()});
    }
    QSqlQuery actions = select(
        db,
        QStringLiteral("SELECT t.at, s.address, t.actor, t.command, t.guid, t.name, t.slot,"
                       " t.address, t.reason FROM actions t JOIN servers s ON s.id = t.server_id"
                       " WHERE t.player_id = ? ORDER BY t.at DESC, t.id DESC"),
        {playerId});
    while (actions.next()) {
        PlayerAction action;
        action.at = actions.value(0).toLongLong();
        action.serverKey = actions.value(1).toString();
        action.actor = actions.value(2).toString();
        action.command = actions.value(3).toString();
        action.guid = actions.value(4).toString();
        action.name = actions.value(5).toString();
        action.slot = actions.value(6).toString();
        action.address = actions.value(7).toString();
        action.reason = actions.value(8).toString();
        record.actions.append(action);
    }
    return record;
}

QList<PlayerAction> HistoryQueries::engineBans(const QString& serverKey) const
{
    QSqlQuery query = select(
        m_database.db(),
        QStringLiteral("SELECT t.at, t.actor, t.command, t.guid, t.name, t.address, t.reason"
                       " FROM actions t JOIN servers s ON s.id = t.server_id WHERE s.address = ?"
                       " AND (lower(t.command) LIKE 'banuser %' OR lower(t.command) LIKE"
                       " 'banclient %' OR lower(t.command) LIKE 'unbanuser %')"
                       " ORDER BY t.at, t.id"),
        {serverKey});
    QList<PlayerAction> bans;
    while (query.next()) {
        PlayerAction action;
        action.at = query.value(0).toLongLong();
        action.serverKey = serverKey;
        action.actor = query.value(1).toString();
        action.command = query.value(2).toString();
        action.guid = query.value(3).toString();
        action.name = query.value(4).toString();
        action.address = query.value(5).toString();
        action.reason = query.value(6).toString();
        const qsizetype blank = action.command.indexOf(QLatin1Char(' '));
        const QString verb = action.command.left(blank).toLower();
        // "banuser" and "unbanuser" name the player as typed; "banclient" the slot.
        const QString argument = action.command.mid(blank + 1);
        if (verb == QLatin1String("unbanuser")) {
            bans.removeIf([&argument](const PlayerAction& ban) { return ban.name == argument; });
            continue;
        }
        if (verb == QLatin1String("banuser")) {
            action.name = argument;
        }
        bans.removeIf([&action](const PlayerAction& ban) { return ban.name == action.name; });
        bans.append(action);
    }
    return bans;
}

std::optional<qint64> HistoryQueries::playerId(const QString& serverKey, const QString& guid,
                                               const QString& name) const
{
    QSqlQuery query =
        select(m_database.db(), QStringLiteral("SELECT id FROM players WHERE player_key = ?"),
               {HistoryKeys::playerKey(serverKey, guid.trimmed(), name.trimmed())});
    if (!query.next()) {
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

QString HistoryQueries::tooltipText(const QString& serverKey, const QString& guid,
                                    const QString& name) const
{
    const std::optional<qint64> id = playerId(serverKey, guid, name);
    if (!id) {
        return QString();
    }
    QSqlQuery query = select(m_database.db(),
                             QStringLiteral("SELECT p.first_seen, (SELECT count(DISTINCT n.name)"
                                            " FROM names n WHERE n.player_id = p.id)"
                                            " FROM players p WHERE p.id = ?"),
                             {*id});
    if (!query.next()) {
        return QString();
    }
    const int names = query.value(1).toInt();
    return QStringLiteral("First seen %1, %2 %3")
        .arg(localTime(query.value(0).toLongLong()))
        .arg(names)
        .arg(names == 1 ? QStringLiteral("name") : QStringLiteral("names"));
}

QList<CountSample> HistoryQueries::playerCounts(const QString& serverKey, HistoryTime from) const
{
    QList<CountSample> samples;
    QSqlQuery query = select(m_database.db(),
                             QStringLiteral("SELECT c.at, c.count FROM player_counts c"
                                            " JOIN servers s ON s.id = c.server_id"
                                            " WHERE s.address = ? AND c.at >= ? ORDER BY c.at"),
                             {serverKey, from});
    while (query.next()) {
        samples.append({query.value(0).toLongLong(), query.value(1).toInt()});
    }
    return samples;
}

bool HistoryQueries::write(const QStringList& statements, const QVariantList& values)
{
    QSqlDatabase db = m_database.db();
    if (!m_database.writable() || !db.transaction()) {
        m_error = db.lastError();
        return false;
    }
    for (const QString& statement : statements) {
        QSqlQuery query(db);
        query.prepare(statement);
        for (const QVariant& value : values) {
            query.addBindValue(value);
        }
        if (!query.exec()) {
            m_error = query.lastError();
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        m_error = db.lastError();
        db.rollback();
        return false;
    }
    return true;
}

bool HistoryQueries::setNotes(qint64 playerId, const QString& notes)
{
    QSqlDatabase db = m_database.db();
    if (!m_database.writable()) {
        return false;
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE players SET notes = ? WHERE id = ?"));
    query.addBindValue(notes);
    query.addBindValue(playerId);
    if (!query.exec()) {
        m_error = query.lastError();
        return false;
    }
    return query.numRowsAffected() > 0;
}

bool HistoryQueries::forget(qint64 playerId)
{
    QStringList statements;
    for (const char* table : {"names", "addresses", "sessions", "actions"}) {
        statements.append(
            QStringLiteral("DELETE FROM %1 WHERE player_id = ?").arg(QLatin1String(table)));
    }
    statements.append(QStringLiteral("DELETE FROM reports WHERE reported_player_id = ?"));
    statements.append(QStringLiteral("DELETE FROM players WHERE id = ?"));
    return write(statements, {playerId});
}

bool HistoryQueries::purge(HistoryTime before)
{
    return write(
        {QStringLiteral("DELETE FROM names WHERE last_seen < ?"),
         QStringLiteral("DELETE FROM addresses WHERE last_seen < ?"),
         QStringLiteral("DELETE FROM sessions WHERE ended < ?"),
         QStringLiteral("DELETE FROM player_counts WHERE at < ?"),
         QStringLiteral("DELETE FROM players WHERE first_seen < ? AND notes = ''"
                        " AND NOT EXISTS (SELECT 1 FROM names n WHERE n.player_id = players.id)"
                        " AND NOT EXISTS (SELECT 1 FROM sessions t WHERE t.player_id = players.id)"
                        " AND NOT EXISTS (SELECT 1 FROM actions a WHERE a.player_id = players.id)"
                        " AND NOT EXISTS (SELECT 1 FROM reports r"
                        " WHERE r.reported_player_id = players.id)")},
        {before});
}

QList<PlayerReport> HistoryQueries::reports(int limit) const
{
    QList<PlayerReport> reports;
    QSqlQuery query =
        select(m_database.db(),
               QStringLiteral("SELECT r.id, r.report_key, r.at, s.address, r.reporter_guid,"
                              " r.reporter_name, r.reported_guid, r.reported_name, r.reason,"
                              " r.handled_by, r.handled_at FROM reports r"
                              " JOIN servers s ON s.id = r.server_id ORDER BY r.at DESC, r.id DESC"
                              " LIMIT ?"),
               {limit});
    while (query.next()) {
        PlayerReport report;
        report.id = query.value(0).toLongLong();
        report.key = query.value(1).toString();
        report.at = query.value(2).toLongLong();
        report.serverKey = query.value(3).toString();
        report.reporterGuid = query.value(4).toString();
        report.reporterName = query.value(5).toString();
        report.reportedGuid = query.value(6).toString();
        report.reportedName = query.value(7).toString();
        report.reason = query.value(8).toString();
        report.handledBy = query.value(9).toString();
        report.handledAt = query.value(10).toLongLong();
        reports.append(report);
    }
    m_error = query.lastError();
    return reports;
}

bool HistoryQueries::setReportHandled(qint64 reportId, const QString& by, HistoryTime at)
{
    // Whoever handled it first keeps the credit: another administrator of a shared history may
    // have been quicker.
    return write({QStringLiteral("UPDATE reports SET handled_by = ?, handled_at = ?"
                                 " WHERE id = ? AND handled_by = ''")},
                 {by, at, reportId});
}

} // namespace garrison
