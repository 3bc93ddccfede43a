#pragma once

#include "bans/BanRecord.h"

#include <QDateTime>
#include <QList>
#include <QSqlError>
#include <QString>
#include <optional>

namespace garrison {

class HistoryDatabase;

// The bans of direct sessions, kept in the player history's table "bans": on this machine's
// SQLite file or on the PostgreSQL that a team shares.
class HistoryBans {
public:
    explicit HistoryBans(HistoryDatabase& database);

    // Every ban, the newest first; nothing when the table cannot be read.
    std::optional<QList<BanRecord>> list() const;
    // The new ban's id; nothing when it cannot be written. ban.id is ignored.
    std::optional<qint64> add(const BanRecord& ban);
    // Reason, until, servers and note; false when there is no such ban or it cannot be written.
    bool edit(const BanRecord& ban);
    // False when there is no such ban, it was lifted before, or it cannot be written.
    bool lift(qint64 id, const QString& by, const QString& note, const QDateTime& at);

    const QSqlError& lastError() const { return m_error; }

private:
    HistoryDatabase& m_database;
    mutable QSqlError m_error;
};

} // namespace garrison
