#pragma once

#include "bans/BanRecord.h"
#include "history/HistoryConnection.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <memory>
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
    // The same, with the list read on a thread of its own: a list of 100,000 bans takes a
    // few seconds. Until loaded(), no one is kept out and changes are refused.
    bool openInBackground(const QString& localPath,
                          const std::optional<garrison::HistoryConnection>& shared, QString* error);
    bool isLoading() const { return m_reader != nullptr; }
    void close();

    // The active ban that keeps this player out of serverName, if any.
    std::optional<garrison::BanRecord> keepingOut(const QString& guid, const QString& address,
                                                  const QString& serverName,
                                                  const QDateTime& now) const;
    QList<garrison::BanRecord> all() const { return m_list.bans.values(); }
    std::optional<garrison::BanRecord> find(qint64 id) const;
    qsizetype size() const { return m_list.bans.size(); }
    // Some ban names an address or a range: a join line, which has no address, is not enough.
    bool hasAddressBans() const { return !m_list.byAddress.isEmpty() || !m_list.ranges.isEmpty(); }
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
    // openInBackground() has read the list (or failed to, with the reason).
    void loaded(const QString& error);
    // Bans were added or changed, here or elsewhere: their ids.
    void changed(const QList<qint64>& ids);
    // The shared database went away, or came back.
    void warning(const QString& text);

private:
    // The bans in memory, with their indexes for the check of a player.
    struct List {
        QHash<qint64, garrison::BanRecord> bans;
        QHash<QString, QList<qint64>> byGuid;
        QHash<QString, QList<qint64>> byAddress;
        // Ranges are few and tried one by one, with their network parsed once.
        QHash<qint64, std::pair<QHostAddress, int>> ranges;
        qint64 revision = 0; // the last seen

        void take(const garrison::BanRecord& ban, qint64 banRevision);
        void index(const garrison::BanRecord& ban);
        void unindex(const garrison::BanRecord& ban);
    };
    // Every ban of the file open under that connection name.
    static std::optional<List> read(const QString& connection, QString* error);

    bool openLocal(const QString& path, QString* error);
    void reachShared();
    void sharedLost(const QString& why);
    Result write(const QList<garrison::BanRecord>& bans, bool insert);
    QSqlDatabase local() const;
    QSqlDatabase shared() const;

    QString m_localName;
    QString m_sharedName;
    std::optional<garrison::HistoryConnection> m_shared;
    bool m_sharedOpen = false;
    List m_list;
    std::unique_ptr<QThread> m_reader;
    QTimer m_retryTimer;
    QTimer m_pollTimer;
};

} // namespace garrisond
