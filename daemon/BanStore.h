#pragma once

#include "BanDatabase.h"
#include "BanIndex.h"
#include "bans/BanRecord.h"
#include "history/HistoryConnection.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <functional>
#include <optional>

namespace garrisond {

// The bans this garrisond enforces, all of them in memory for the check on a join, and kept in
// a database: a SQLite file of its own, or a PostgreSQL database that several garrisonds share
// (see BanDatabase, which does all the database work on a thread of its own). A shared
// database tells every garrisond of each change, and each keeps a copy of the list in a SQLite
// file, so that bans hold while the database is away and at a start without it; changes made
// meanwhile elsewhere are caught up when it is back. Changes here need the database: while the
// shared one is away they are refused.
//
// Reading is at once, from memory. A change is answered later, on this thread, once the
// database has it and the list in memory shows it.
class BanStore : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryMs = BanDatabase::kRetryMs;
    using Result = BanDatabase::Result;
    using Done = std::function<void(const Result&)>;

    explicit BanStore(QObject* parent = nullptr);
    ~BanStore() override;

    // Opens (making it 0600) the SQLite file at localPath and reads it, waiting for that;
    // with `shared`, that file is the copy of the shared database's list, which is then
    // reached for meanwhile. False, with the reason, when the file cannot be used.
    bool open(const QString& localPath, const std::optional<garrison::HistoryConnection>& shared,
              QString* error);
    // The same without waiting: a list of 100,000 bans takes a few seconds. Until loaded(), no
    // one is kept out and changes are refused.
    void openInBackground(const QString& localPath,
                          const std::optional<garrison::HistoryConnection>& shared);
    bool isLoading() const { return m_loading; }
    // Changes on their way are answered with an error; what the database does with them is
    // not waited for.
    void close();

    // The active ban that keeps this player out of serverName, if any.
    std::optional<garrison::BanRecord> keepingOut(const QString& guid, const QString& address,
                                                  const QString& serverName,
                                                  const QDateTime& now) const
    {
        return m_index.keepingOut(guid, address, serverName, now);
    }
    QList<garrison::BanRecord> all() const { return m_index.page(0, m_index.size()); }
    // See BanIndex::page.
    QList<garrison::BanRecord> page(qsizetype offset, qsizetype count) const
    {
        return m_index.page(offset, count);
    }
    std::optional<garrison::BanRecord> find(qint64 id) const;
    qsizetype size() const { return m_index.size(); }
    // Some ban names an address or a range: a join line, which has no address, is not enough.
    bool hasAddressBans() const { return m_index.hasAddressBans(); }
    bool isShared() const { return m_shared.has_value(); }
    // The shared database answers (always true without one).
    bool isReachable() const { return !m_shared || m_reachable; }

    // Each change calls `done` once, on this thread, unless `context` (if given) is gone by
    // then; a change refused before it reaches the database is answered before the call
    // returns.
    // The ban as given, its id ignored; the new id.
    void add(const garrison::BanRecord& ban, QObject* context, Done done);
    // Many at once, in one transaction (an import).
    void addAll(const QList<garrison::BanRecord>& bans, QObject* context, Done done);
    // Reason, until, servers and note of the ban with that id.
    void edit(const garrison::BanRecord& changes, QObject* context, Done done);
    void lift(qint64 id, const QString& by, const QString& note, const QDateTime& at,
              QObject* context, Done done);

Q_SIGNALS:
    // openInBackground() has read the list (or failed to, with the reason).
    void loaded(const QString& error);
    // Bans were added or changed, here or elsewhere: their ids.
    void changed(const QList<qint64>& ids);
    // The shared database went away, or came back.
    void warning(const QString& text);

private:
    struct Pending {
        QPointer<QObject> context;
        bool hasContext = false;
        Done done;
    };

    void start(const QString& localPath, const std::optional<garrison::HistoryConnection>& shared);
    void write(const QList<garrison::BanRecord>& bans, bool insert, QObject* context, Done done);
    void takeRows(const BanDatabase::Rows& rows);
    void written(quint64 ticket, const Result& result, const BanDatabase::Rows& rows);
    static void answer(const Pending& pending, const Result& result);

    BanIndex m_index;
    std::optional<garrison::HistoryConnection> m_shared;
    bool m_reachable = false;
    bool m_loading = false;
    QThread* m_thread = nullptr;
    BanDatabase* m_database = nullptr; // lives on m_thread
    // Threads of earlier opens that finish what they were doing before they end.
    QList<QPointer<QThread>> m_retiring;
    QHash<quint64, Pending> m_pending;
    quint64 m_lastTicket = 0;
    quint64 m_generation = 0;
};

} // namespace garrisond
