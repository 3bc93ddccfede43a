#pragma once

#include "bans/BanRecord.h"
#include "history/HistoryConnection.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class QSqlDatabase;

namespace garrisond {

// The bans this garrisond enforces, all of them in memory for the check on a join, and kept in
// a database: a SQLite file of its own, or a PostgreSQL database that several garrisonds share.
// A shared database tells every garrisond of each change (LISTEN/NOTIFY), and each keeps a copy
// of the list in a SQLite file, so that bans hold while the database is away and at a start
// without it; changes made meanwhile elsewhere are caught up when it is back. Changes here need
// the database: while the shared one is away they are refused.
//
// Every change of a row takes the next revision, and each garrisond reads the rows past the
// last revision it has seen. Writers take the table in turn, so that revisions become visible
// in their order and none is passed over.
class BanStore : public QObject {
    Q_OBJECT

public:
    static inline const QString kChannel = QStringLiteral("garrison_bans");
    // While the shared database is away, it is tried again this often; while it is there, the
    // rows past the last revision are read this often too, in case a notification was lost.
    static constexpr int kRetryMs = 2000;
    static constexpr int kPollMs = 10000;

    struct Result {
        qint64 id = 0; // the ban added or changed (the last one)
        qsizetype count = 0;
        QString error; // for the one who asked; empty on success
    };

    explicit BanStore(QObject* parent = nullptr);
    ~BanStore() override;

    // Opens (making it 0600) the SQLite file at localPath and reads it; with `shared`, that
    // file is the copy of the shared database's list, which is then reached for. False, with
    // the reason, when the file cannot be used; a shared database that is away is only warned
    // of, and tried again.
    bool open(const QString& localPath, const std::optional<garrison::HistoryConnection>& shared,
              QString* error);
    void close();

    // The active ban that keeps this player out of serverName, if any.
    std::optional<garrison::BanRecord> keepingOut(const QString& guid, const QString& address,
                                                  const QString& serverName,
                                                  const QDateTime& now) const;
    QList<garrison::BanRecord> all() const { return m_bans.values(); }
    std::optional<garrison::BanRecord> find(qint64 id) const;
    qsizetype size() const { return m_bans.size(); }
    // Some ban names an address or a range: a join line, which has no address, is not enough.
    bool hasAddressBans() const { return !m_byAddress.isEmpty() || !m_ranges.isEmpty(); }
    bool isShared() const { return m_shared.has_value(); }
    // The shared database answers (always true without one).
    bool isReachable() const { return !m_shared || m_sharedOpen; }

    // The ban as given, its id ignored; the new id.
    Result add(const garrison::BanRecord& ban);
    // Many at once, in one transaction (an import).
    Result addAll(const QList<garrison::BanRecord>& bans);
    // Reason, until, servers and note of the ban with that id.
    Result edit(const garrison::BanRecord& changes);
    Result lift(qint64 id, const QString& by, const QString& note, const QDateTime& at);

    // Reads what changed in the shared database since the last revision seen.
    void catchUp();

Q_SIGNALS:
    // Bans were added or changed, here or elsewhere: their ids.
    void changed(const QList<qint64>& ids);
    // The shared database went away, or came back.
    void warning(const QString& text);

private:
    bool openLocal(const QString& path, QString* error);
    void reachShared();
    void sharedLost(const QString& why);
    Result write(const QList<garrison::BanRecord>& bans, bool insert);
    void take(const garrison::BanRecord& ban, qint64 revision);
    void index(const garrison::BanRecord& ban);
    void unindex(const garrison::BanRecord& ban);
    QSqlDatabase local() const;
    QSqlDatabase shared() const;

    QString m_localName;
    QString m_sharedName;
    std::optional<garrison::HistoryConnection> m_shared;
    bool m_sharedOpen = false;
    qint64 m_revision = 0;
    QHash<qint64, garrison::BanRecord> m_bans;
    QHash<QString, QList<qint64>> m_byGuid;
    QHash<QString, QList<qint64>> m_byAddress;
    // Ranges are few and tried one by one, with their network parsed once.
    QHash<qint64, std::pair<QHostAddress, int>> m_ranges;
    QTimer m_retryTimer;
    QTimer m_pollTimer;
};

} // namespace garrisond
