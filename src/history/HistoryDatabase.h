#pragma once

#include "history/HistoryConnection.h"
#include "history/HistorySchema.h"

#include <QSqlDatabase>
#include <QString>
#include <optional>

class QSqlError;

namespace garrison {

// One open connection to the player history, brought to this program's schema version.
// Opening never deletes, replaces or rewrites a database it cannot use: a damaged file, a file
// of another program or one written by a newer GARRISON stays exactly as it was.
class HistoryDatabase {
public:
    enum class State {
        Ready,       // read and written
        ReadOnly,    // read only: a read-only file, or a newer schema
        Busy,        // locked by another program or server unreachable: try again later
        Unavailable, // damaged, foreign or unreadable: not used at all
    };

    explicit HistoryDatabase(HistoryConnection connection);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    State open();
    State state() const { return m_state; }
    // What is wrong, in one sentence for the user; empty when Ready.
    const QString& problem() const { return m_problem; }

    QSqlDatabase db() const;
    HistorySchema::Dialect dialect() const;
    const HistoryConnection& connection() const { return m_connection; }
    bool hasFragmentIndex() const { return m_fragmentIndex; }
    // Whether the link to a database server is encrypted (TLS); nothing for a file, or when the
    // server does not say.
    std::optional<bool> encrypted() const { return m_encrypted; }
    bool writable() const { return m_state == State::Ready; }
    // The schema version found in the database (before migrating).
    int foundVersion() const { return m_foundVersion; }
    // Takes note of a failed read or write: a lock or a lost server makes the database Busy,
    // anything else Unavailable. Returns the new state; problem() says what happened.
    State failFromError(const QString& what, const QSqlError& error);

private:
    State fail(State state, const QString& problem);
    State openSqlite();
    State openPostgres();
    // Reads the version: -1 when the database holds tables of another program.
    bool readVersion(int& version);
    bool migrate(int from);
    void ensureFragmentIndex();

    HistoryConnection m_connection;
    QString m_name;
    State m_state = State::Unavailable;
    QString m_problem;
    bool m_fragmentIndex = false;
    std::optional<bool> m_encrypted;
    int m_foundVersion = 0;
};

} // namespace garrison
