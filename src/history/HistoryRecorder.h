#pragma once

#include "history/HistoryTypes.h"
#include "rcon/PlayerRow.h"

#include <QHash>
#include <QList>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

namespace garrison {

class HistoryDatabase;

// Writes what GARRISON sees into the history: each status table and each command that acts on
// a player, one transaction each. It remembers the rows it wrote last, so that a player who
// is still there costs three updates by key.
class HistoryRecorder {
public:
    // A player absent from a server's status replies for longer than this starts a new session
    // when he is seen again.
    static constexpr HistoryTime kSessionGap = 30 * 60;

    explicit HistoryRecorder(HistoryDatabase& database);

    // False when the database refused; nothing of this reply is then written.
    bool recordStatus(const QString& serverKey, const QString& hostName,
                      const QList<PlayerRow>& rows, HistoryTime at);
    bool recordAction(const PlayerAction& action);
    // A join or quit from the game log: the player, his name and his session, without the
    // address and score that only status tables tell.
    bool recordPresence(const PlayerPresence& presence);
    // Kept once by its key, however many GARRISONs write the same history.
    bool recordReport(const PlayerReport& report);
    const QSqlError& lastError() const { return m_error; }
    // After rows were removed behind the recorder's back (retention, forgetting a player).
    void forgetCache();

private:
    struct Server {
        qint64 id = 0;
        QString hostName;
        HistoryTime lastStatus = 0;
    };
    struct Present; // one player line of a status table
    struct Seen {   // what the last status wrote for one player on one server
        qint64 playerId = 0;
        qint64 nameId = 0;
        qint64 addressId = 0;
        qint64 sessionId = 0;
        QString name;
        QString address;
        HistoryTime sessionEnded = 0;
    };

    bool server(const QString& serverKey, const QString& hostName, Server& server);
    bool player(const QString& key, const QString& guid, HistoryTime at, qint64& id);
    bool seen(const Server& server, HistoryTime previous, const Present& present, HistoryTime at);
    bool keep(QSqlQuery& upsert, QSqlQuery& touch, qint64& id, const QVariantList& values,
              HistoryTime at);
    bool session(const Server& server, HistoryTime previous, const Present& present, Seen& seen,
                 HistoryTime at);
    bool run(QSqlQuery& query, const QVariantList& values);
    bool runForId(QSqlQuery& query, const QVariantList& values, qint64& id);
    bool finish(bool ok);

    HistoryDatabase& m_database;
    QSqlQuery m_server, m_serverUpdate, m_player, m_name, m_nameTouch, m_address, m_addressTouch,
        m_sessionLatest, m_sessionInsert, m_sessionUpdate, m_sessionEnd, m_count, m_action,
        m_report;
    QHash<QString, Server> m_servers;
    QHash<QString, qint64> m_players;
    QHash<QString, Seen> m_seen; // by server id and player key
    QSqlError m_error;
};

} // namespace garrison
