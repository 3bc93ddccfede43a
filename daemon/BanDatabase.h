#pragma once

#include "BanIndex.h"
#include "history/HistoryConnection.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class QSqlDatabase;

namespace garrisond {

// The database side of BanStore, on a thread of its own so that a database that is slow or
// does not answer holds up nothing else: it owns the connections (a connection is used on the
// thread that made it only) to the SQLite file and, when the list is shared, to PostgreSQL.
// Everything here runs on that thread; its results go back as signals.
//
// The shared list: every change of a row takes the next revision, and each garrisond reads the
// rows past the last revision it has seen, when told (LISTEN/NOTIFY), every kPollMs in case a
// notification was lost, and when the database is back. Writers take the table in turn, so
// that revisions become visible in their order and none is passed over. The SQLite file then
// keeps a copy of the list, so that bans hold while the database is away and at a start
// without it.
class BanDatabase : public QObject {
    Q_OBJECT

public:
    static inline const QString kChannel = QStringLiteral("garrison_bans");
    static constexpr int kRetryMs = 2000;
    static constexpr int kPollMs = 10000;

    struct Row {
        garrison::BanRecord ban;
        qint64 revision = 0;
    };
    using Rows = QList<Row>;
    struct Result {
        qint64 id = 0; // the ban added or changed (the last one)
        qsizetype count = 0;
        QString error; // for the one who asked; empty on success
    };

    BanDatabase(const QString& localPath, const std::optional<garrison::HistoryConnection>& shared);
    ~BanDatabase() override;

    // Opens (making it 0600) the SQLite file and reads every ban in it.
    std::optional<BanIndex> readLocal(QString* error);
    // Reads the file and tells of it with `loaded`, then reaches for the shared database.
    void load();
    // Connects to the shared database, if there is one; while it is away, tried again every
    // kRetryMs.
    void reachShared();
    // Adds the bans (their ids ignored) or writes them over the ones with their ids, then
    // reads what changed; answered with `written`.
    void write(quint64 ticket, const QList<garrison::BanRecord>& bans, bool insert);

Q_SIGNALS:
    void loaded(const garrisond::BanIndex& index, const QString& error);
    void caughtUp(const garrisond::BanDatabase::Rows& rows);
    void written(quint64 ticket, const garrisond::BanDatabase::Result& result,
                 const garrisond::BanDatabase::Rows& rows);
    void reachableChanged(bool reachable);
    void warning(const QString& text);

private:
    bool openLocal(QString* error);
    void sharedLost(const QString& why);
    void catchUp();
    // The rows past the last revision seen, kept in the copy; empty after a failure.
    Rows readChanges();
    Result writeRows(const QList<garrison::BanRecord>& bans, bool insert);
    QSqlDatabase local() const;
    QSqlDatabase shared() const;

    QString m_localPath;
    std::optional<garrison::HistoryConnection> m_shared;
    QString m_localName;
    QString m_sharedName;
    bool m_sharedOpen = false;
    bool m_warnedAway = false;
    qint64 m_revision = 0;
    QTimer m_retryTimer{this};
    QTimer m_pollTimer{this};
};

} // namespace garrisond
