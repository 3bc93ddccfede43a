#include "HistoryRecorder.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryKeys.h"

namespace garrison {

struct HistoryRecorder::Present {
    QString key;
    QString guid;
    QString name;
    QString address;
    QString score;
};

namespace {

QSqlQuery prepared(const QSqlDatabase& db, const char* statement)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QString::fromLatin1(statement));
    return query;
}

bool isSlot(const QString& slot)
{
    if (slot.isEmpty()) {
        return false;
    }
    for (const QChar character : slot) {
        if (character < QLatin1Char('0') || character > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

} // namespace

HistoryRecorder::HistoryRecorder(HistoryDatabase& database) : m_database(database)
{
    const QSqlDatabase db = database.db();
    m_server = prepared(db, "INSERT INTO servers (address, host_name) VALUES (?, ?)"
                            " ON CONFLICT (address) DO UPDATE SET host_name = CASE"
                            " WHEN excluded.host_name = '' THEN servers.host_name"
                            " ELSE excluded.host_name END RETURNING id, last_status, host_name");
    m_serverUpdate = prepared(db, "UPDATE servers SET last_status = ?,"
                                  " host_name = CASE WHEN ? = '' THEN host_name ELSE ? END"
                                  " WHERE id = ?");
    m_player = prepared(db, "INSERT INTO players (player_key, guid, first_seen) VALUES (?, ?, ?)"
                            " ON CONFLICT (player_key) DO UPDATE SET guid = excluded.guid"
                            " RETURNING id");
    m_name = prepared(db, "INSERT INTO names (player_id, server_id, name, plain, first_seen,"
                          " last_seen) VALUES (?, ?, ?, ?, ?, ?)"
                          " ON CONFLICT (player_id, server_id, name)"
                          " DO UPDATE SET last_seen = excluded.last_seen RETURNING id");
    m_nameTouch = prepared(db, "UPDATE names SET last_seen = ? WHERE id = ?");
    m_address = prepared(db, "INSERT INTO addresses (player_id, server_id, address, first_seen,"
                             " last_seen) VALUES (?, ?, ?, ?, ?)"
                             " ON CONFLICT (player_id, server_id, address)"
                             " DO UPDATE SET last_seen = excluded.last_seen RETURNING id");
    m_addressTouch = prepared(db, "UPDATE addresses SET last_seen = ? WHERE id = ?");
    m_sessionLatest = prepared(db, "SELECT id, ended FROM sessions WHERE player_id = ?"
                                   " AND server_id = ? ORDER BY ended DESC LIMIT 1");
    m_sessionInsert = prepared(db, "INSERT INTO sessions (player_id, server_id, started, ended,"
                                   " score) VALUES (?, ?, ?, ?, ?) RETURNING id");
    m_sessionUpdate = prepared(db, "UPDATE sessions SET ended = ?, score = ? WHERE id = ?");
    m_sessionEnd = prepared(db, "UPDATE sessions SET ended = ? WHERE id = ? AND ended < ?");
    m_count = prepared(db, "INSERT INTO player_counts (server_id, at, count) VALUES (?, ?, ?)");
    m_action = prepared(db, "INSERT INTO actions (at, server_id, player_id, actor, command, guid,"
                            " name, slot, address, reason)"
                            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    m_report = prepared(db, "INSERT INTO reports (report_key, at, server_id, reporter_guid,"
                            " reporter_name, reported_guid, reported_name, reported_player_id,"
                            " reason) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"
                            " ON CONFLICT (report_key) DO NOTHING");
}

void HistoryRecorder::forgetCache()
{
    m_servers.clear();
    m_players.clear();
    m_seen.clear();
}

bool HistoryRecorder::run(QSqlQuery& query, const QVariantList& values)
{
    static const QVariant empty(QStringLiteral(""));
    for (qsizetype index = 0; index < values.size(); ++index) {
        const QVariant& value = values[index];
        // A null text would be bound as NULL; every text column of the history is NOT NULL.
        const bool nullText = value.typeId() == QMetaType::QString && value.toString().isNull();
        query.bindValue(static_cast<int>(index), nullText ? empty : value);
    }
    if (!query.exec()) {
        m_error = query.lastError();
        return false;
    }
    return true;
}

bool HistoryRecorder::runForId(QSqlQuery& query, const QVariantList& values, qint64& id)
{
    if (!run(query, values)) {
        return false;
    }
    const bool found = query.next();
    id = found ? query.value(0).toLongLong() : 0;
    // SQLite completes a statement with RETURNING only when it is reset.
    query.finish();
    return true;
}

bool HistoryRecorder::finish(bool ok)
{
    QSqlDatabase db = m_database.db();
    if (ok && db.commit()) {
        return true;
    }
    if (ok) {
        m_error = db.lastError();
    }
    db.rollback();
    // Keys handed out inside the rolled-back transaction may be handed out again.
    forgetCache();
    return false;
}

bool HistoryRecorder::server(const QString& serverKey, const QString& hostName, Server& server)
{
    const auto cached = m_servers.constFind(serverKey);
    if (cached != m_servers.cend()) {
        server = *cached;
        return true;
    }
    if (!run(m_server, {serverKey, hostName})) {
        return false;
    }
    if (m_server.next()) {
        server.id = m_server.value(0).toLongLong();
        server.lastStatus = m_server.value(1).toLongLong();
        server.hostName = m_server.value(2).toString();
    }
    m_server.finish();
    return server.id != 0;
}

bool HistoryRecorder::player(const QString& key, const QString& guid, HistoryTime at, qint64& id)
{
    const auto cached = m_players.constFind(key);
    if (cached != m_players.cend()) {
        id = *cached;
        return true;
    }
    if (!runForId(m_player, {key, guid, at}, id)) {
        return false;
    }
    m_players.insert(key, id);
    return true;
}

// Touches the row the cache knows, or finds or inserts it when the cache is cold or stale.
bool HistoryRecorder::keep(QSqlQuery& upsert, QSqlQuery& touch, qint64& id,
                           const QVariantList& values, HistoryTime at)
{
    if (id != 0) {
        if (!run(touch, {at, id})) {
            return false;
        }
        if (touch.numRowsAffected() > 0) {
            return true;
        }
    }
    return runForId(upsert, values, id);
}

bool HistoryRecorder::session(const Server& server, HistoryTime previous, const Present& present,
                              Seen& seen, HistoryTime at)
{
    // The session goes on when the player was in this server's previous status, and that is
    // recent; another GARRISON writing the same history may have moved its end further.
    const bool goesOn = previous > 0 && at - previous <= kSessionGap;
    if (seen.sessionId == 0 && goesOn) {
        if (!run(m_sessionLatest, {seen.playerId, server.id})) {
            return false;
        }
        if (m_sessionLatest.next()) {
            seen.sessionId = m_sessionLatest.value(0).toLongLong();
            seen.sessionEnded = m_sessionLatest.value(1).toLongLong();
        }
        m_sessionLatest.finish();
    }
    if (goesOn && seen.sessionId != 0 && seen.sessionEnded >= previous) {
        // The game log knows no score: the status's stays.
        QSqlQuery& update = present.score.isNull() ? m_sessionEnd : m_sessionUpdate;
        if (!run(update, present.score.isNull()
                             ? QVariantList{at, seen.sessionId, at}
                             : QVariantList{at, present.score, seen.sessionId})) {
            return false;
        }
        if (update.numRowsAffected() > 0 || present.score.isNull()) {
            seen.sessionEnded = at;
            return true;
        }
    }
    seen.sessionEnded = at;
    return runForId(m_sessionInsert, {seen.playerId, server.id, at, at, present.score},
                    seen.sessionId);
}

bool HistoryRecorder::seen(const Server& server, HistoryTime previous, const Present& present,
                           HistoryTime at)
{
    Seen& seen = m_seen[QString::number(server.id) + QLatin1Char('|') + present.key];
    if (seen.playerId == 0 && !player(present.key, present.guid, at, seen.playerId)) {
        return false;
    }
    if (seen.name != present.name) {
        seen.nameId = 0;
        seen.name = present.name;
    }
    if (seen.address != present.address) {
        seen.addressId = 0;
        seen.address = present.address;
    }
    return keep(m_name, m_nameTouch, seen.nameId,
                {seen.playerId, server.id, present.name, HistoryKeys::plainName(present.name), at,
                 at},
                at) &&
           keep(m_address, m_addressTouch, seen.addressId,
                {seen.playerId, server.id, present.address, at, at}, at) &&
           session(server, previous, present, seen, at);
}

bool HistoryRecorder::recordStatus(const QString& serverKey, const QString& hostName,
                                   const QList<PlayerRow>& rows, HistoryTime at)
{
    QList<Present> players;
    players.reserve(rows.size());
    for (const PlayerRow& row : rows) {
        // Rows that are no player line (remains of the table's head) have no slot number.
        if (!isSlot(row[PlayerRow::Slot].trimmed())) {
            continue;
        }
        Present present;
        present.name = row[PlayerRow::Name].trimmed();
        present.guid = row[PlayerRow::Guid].trimmed();
        if (!HistoryKeys::isGuid(present.guid)) {
            present.guid.clear();
        }
        present.key = HistoryKeys::playerKey(serverKey, present.guid, present.name);
        present.address = HistoryKeys::host(row[PlayerRow::Address].trimmed());
        present.score = row[PlayerRow::Score].trimmed();
        players.append(present);
    }

    QSqlDatabase db = m_database.db();
    if (!db.transaction()) {
        m_error = db.lastError();
        return false;
    }
    Server current;
    bool ok = server(serverKey, hostName, current);
    const HistoryTime previous = current.lastStatus;
    for (qsizetype index = 0; ok && index < players.size(); ++index) {
        ok = seen(current, previous, players[index], at);
    }
    ok = ok && run(m_count, {current.id, at, static_cast<int>(players.size())}) &&
         run(m_serverUpdate, {at, hostName, hostName, current.id});
    if (!finish(ok)) {
        return false;
    }
    current.lastStatus = at;
    if (!hostName.isEmpty()) {
        current.hostName = hostName;
    }
    m_servers.insert(serverKey, current);
    return true;
}

bool HistoryRecorder::recordAction(const PlayerAction& action)
{
    QSqlDatabase db = m_database.db();
    if (!db.transaction()) {
        m_error = db.lastError();
        return false;
    }
    Server current;
    qint64 playerId = 0;
    const QString name = action.name.trimmed();
    const QString guid =
        HistoryKeys::isGuid(action.guid.trimmed()) ? action.guid.trimmed() : QString();
    bool ok = server(action.serverKey, QString(), current);
    // A command typed for a row that is empty acts on nobody we could name.
    if (ok && (!name.isEmpty() || !guid.isEmpty())) {
        ok =
            player(HistoryKeys::playerKey(action.serverKey, guid, name), guid, action.at, playerId);
    }
    ok = ok && run(m_action,
                   {action.at, current.id,
                    playerId != 0 ? QVariant(playerId) : QVariant(QMetaType::fromType<qlonglong>()),
                    action.actor, action.command, guid, name, action.slot.trimmed(),
                    action.address.trimmed(), action.reason});
    if (!finish(ok)) {
        return false;
    }
    m_servers.insert(action.serverKey, current);
    return true;
}

bool HistoryRecorder::recordPresence(const PlayerPresence& presence)
{
    Present present;
    present.name = presence.name.trimmed();
    present.guid =
        HistoryKeys::isGuid(presence.guid.trimmed()) ? presence.guid.trimmed() : QString();
    if (present.name.isEmpty() && present.guid.isEmpty()) {
        return true;
    }
    present.key = HistoryKeys::playerKey(presence.serverKey, present.guid, present.name);
    QSqlDatabase db = m_database.db();
    if (!db.transaction()) {
        m_error = db.lastError();
        return false;
    }
    Server current;
    bool ok = server(presence.serverKey, QString(), current);
    Seen* seen = nullptr;
    if (ok) {
        seen = &m_seen[QString::number(current.id) + QLatin1Char('|') + present.key];
        ok = seen->playerId != 0 || player(present.key, present.guid, presence.at, seen->playerId);
    }
    if (ok && seen->name != present.name) {
        seen->nameId = 0;
        seen->name = present.name;
    }
    // A visit that began within the session gap goes on; the status tables carry it further.
    ok = ok &&
         keep(m_name, m_nameTouch, seen->nameId,
              {seen->playerId, current.id, present.name, HistoryKeys::plainName(present.name),
               presence.at, presence.at},
              presence.at) &&
         session(current, presence.at - kSessionGap, present, *seen, presence.at);
    return finish(ok);
}

bool HistoryRecorder::recordReport(const PlayerReport& report)
{
    QSqlDatabase db = m_database.db();
    if (!db.transaction()) {
        m_error = db.lastError();
        return false;
    }
    Server current;
    bool ok = server(report.serverKey, QString(), current);
    qint64 reportedId = 0;
    const QString guid = report.reportedGuid.trimmed();
    if (ok && HistoryKeys::isGuid(guid)) {
        ok = player(HistoryKeys::playerKey(report.serverKey, guid, report.reportedName.trimmed()),
                    guid, report.at, reportedId);
    }
    ok = ok && run(m_report, {report.key, report.at, current.id, report.reporterGuid,
                              report.reporterName, guid, report.reportedName,
                              reportedId != 0 ? QVariant(reportedId)
                                              : QVariant(QMetaType::fromType<qlonglong>()),
                              report.reason});
    return finish(ok);
}

} // namespace garrison
