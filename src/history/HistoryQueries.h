#pragma once

#include "history/HistoryTypes.h"

#include <QSqlError>
#include <QString>
#include <optional>

namespace garrison {

class HistoryDatabase;

// Reads the history for the History page and the player grid, and edits what the
// administrator owns in it: notes, forgetting a player, how long records are kept.
class HistoryQueries {
public:
    static constexpr int kSearchLimit = 200;

    explicit HistoryQueries(HistoryDatabase& database);

    // A time as the user's locale writes it (short date and time, local time zone).
    static QString localTime(HistoryTime at);

    // Players with a name containing the text (colour codes and case ignored), a guid or an
    // address starting with it; the most recently seen first.
    QList<SearchHit> search(const QString& text) const;
    std::optional<PlayerRecord> record(qint64 playerId) const;
    // The player a grid row shows, when the history knows him.
    std::optional<qint64> playerId(const QString& serverKey, const QString& guid,
                                   const QString& name) const;
    // "First seen 12/4/26 1:05 PM, 3 names" for the grid's name tooltip (the time as
    // localTime gives it); empty when unknown.
    QString tooltipText(const QString& serverKey, const QString& guid, const QString& name) const;
    QList<CountSample> playerCounts(const QString& serverKey, HistoryTime from) const;
    // The engine's bans that this program sent to the server ("banuser", "banclient") and no
    // "unbanuser" of the same name has undone since, the oldest first: the engine keeps its
    // list to itself.
    QList<PlayerAction> engineBans(const QString& serverKey) const;

    // The players' reports, the newest first.
    QList<PlayerReport> reports(int limit = kSearchLimit) const;
    // Marks a report handled by `by` (the daemon user, or "rcon"), unless someone was first.
    bool setReportHandled(qint64 reportId, const QString& by, HistoryTime at);

    bool setNotes(qint64 playerId, const QString& notes);
    // Removes every row about the player, his actions included.
    bool forget(qint64 playerId);
    // Removes names, addresses, sessions and player counts last seen before `before`, then the
    // players left with nothing (no notes, no actions). Actions stay: they are the log.
    bool purge(HistoryTime before);

    const QSqlError& lastError() const { return m_error; }

private:
    bool write(const QStringList& statements, const QVariantList& values);

    HistoryDatabase& m_database;
    mutable QSqlError m_error;
};

} // namespace garrison
