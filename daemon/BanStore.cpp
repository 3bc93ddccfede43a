#include "BanStore.h"

using garrison::BanRecord;
using garrison::HistoryConnection;

namespace garrisond {

BanStore::BanStore(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<BanIndex>();
    qRegisterMetaType<BanDatabase::Rows>();
    qRegisterMetaType<BanDatabase::Result>();
}

BanStore::~BanStore()
{
    close();
    // A thread stops once the database call it is in returns (at most PostgreSQL's connect
    // timeout).
    for (const QPointer<QThread>& thread : std::as_const(m_retiring)) {
        if (thread) {
            thread->wait();
            delete thread.data();
        }
    }
}

void BanStore::start(const QString& localPath, const std::optional<HistoryConnection>& shared)
{
    close();
    m_shared = shared;
    m_index = {};
    m_reachable = false;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("ban database"));
    m_database = new BanDatabase(localPath, shared);
    m_database->moveToThread(m_thread);
    // The worker goes with its thread, on that thread, closing its connections there.
    connect(m_thread, &QThread::finished, m_database, &QObject::deleteLater);
    // What an earlier open's worker sent before it was let go is not this list's.
    const quint64 generation = ++m_generation;
    const auto current = [this, generation] { return generation == m_generation; };
    connect(m_database, &BanDatabase::loaded, this,
            [this, current](const BanIndex& index, const QString& error) {
                if (current()) {
                    m_loading = false;
                    m_index = index;
                    Q_EMIT loaded(error);
                }
            });
    connect(m_database, &BanDatabase::caughtUp, this,
            [this, current](const BanDatabase::Rows& rows) {
                if (current()) {
                    takeRows(rows);
                }
            });
    connect(m_database, &BanDatabase::written, this,
            [this, current](quint64 ticket, const Result& result, const BanDatabase::Rows& rows) {
                if (current()) {
                    written(ticket, result, rows);
                }
            });
    connect(m_database, &BanDatabase::reachableChanged, this, [this, current](bool reachable) {
        if (current()) {
            m_reachable = reachable;
        }
    });
    connect(m_database, &BanDatabase::warning, this, [this, current](const QString& text) {
        if (current()) {
            Q_EMIT warning(text);
        }
    });
    m_thread->start();
}

bool BanStore::open(const QString& localPath, const std::optional<HistoryConnection>& shared,
                    QString* error)
{
    start(localPath, shared);
    std::optional<BanIndex> index;
    BanDatabase* database = m_database;
    QMetaObject::invokeMethod(
        database, [&] { index = database->readLocal(error); }, Qt::BlockingQueuedConnection);
    if (!index) {
        return false;
    }
    m_index = std::move(*index);
    QMetaObject::invokeMethod(database, &BanDatabase::reachShared);
    return true;
}

void BanStore::openInBackground(const QString& localPath,
                                const std::optional<HistoryConnection>& shared)
{
    start(localPath, shared);
    m_loading = true;
    QMetaObject::invokeMethod(m_database, &BanDatabase::load);
}

void BanStore::close()
{
    if (m_thread) {
        ++m_generation;
        m_database->disconnect(this);
        connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        m_thread->quit();
        m_retiring.removeAll(nullptr);
        m_retiring.append(m_thread);
        m_thread = nullptr;
        m_database = nullptr;
    }
    m_loading = false;
    m_reachable = false;
    const QHash<quint64, Pending> pending = std::exchange(m_pending, {});
    for (const Pending& one : pending) {
        answer(one, {0, 0,
                     QStringLiteral("the ban database was closed before it answered; the change "
                                    "may or may not have been made")});
    }
}

std::optional<BanRecord> BanStore::find(qint64 id) const
{
    const BanRecord* ban = m_index.find(id);
    return ban ? std::optional(*ban) : std::nullopt;
}

void BanStore::add(const BanRecord& ban, QObject* context, Done done)
{
    write({ban}, true, context, std::move(done));
}

void BanStore::addAll(const QList<BanRecord>& bans, QObject* context, Done done)
{
    write(bans, true, context, std::move(done));
}

void BanStore::edit(const BanRecord& changes, QObject* context, Done done)
{
    std::optional<BanRecord> ban = find(changes.id);
    if (!ban) {
        done({0, 0, QStringLiteral("there is no ban %1").arg(changes.id)});
        return;
    }
    ban->reason = changes.reason;
    ban->until = changes.until;
    ban->servers = changes.servers;
    ban->note = changes.note;
    write({*ban}, false, context, std::move(done));
}

void BanStore::lift(qint64 id, const QString& by, const QString& note, const QDateTime& at,
                    QObject* context, Done done)
{
    std::optional<BanRecord> ban = find(id);
    if (!ban) {
        done({0, 0, QStringLiteral("there is no ban %1").arg(id)});
        return;
    }
    if (ban->lifted) {
        done({0, 0, QStringLiteral("ban %1 was lifted already, by %2").arg(id).arg(ban->liftedBy)});
        return;
    }
    ban->lifted = true;
    ban->liftedBy = by;
    ban->liftedAt = at;
    ban->liftNote = note;
    write({*ban}, false, context, std::move(done));
}

void BanStore::write(const QList<BanRecord>& bans, bool insert, QObject* context, Done done)
{
    for (const BanRecord& ban : bans) {
        if (const QString problem = ban.problem(); !problem.isEmpty()) {
            done({0, 0, problem});
            return;
        }
    }
    if (!m_database) {
        done({0, 0, QStringLiteral("the ban file is not open")});
        return;
    }
    if (isLoading()) {
        done({0, 0, QStringLiteral("the bans are still being read; try again in a few seconds")});
        return;
    }
    if (!isReachable()) {
        done({0, 0,
              QStringLiteral("the shared ban database is away; the bans cannot be changed "
                             "until it is back")});
        return;
    }
    const quint64 ticket = ++m_lastTicket;
    m_pending.insert(ticket, {context, context != nullptr, std::move(done)});
    QMetaObject::invokeMethod(m_database, [database = m_database, ticket, bans, insert] {
        database->write(ticket, bans, insert);
    });
}

void BanStore::written(quint64 ticket, const Result& result, const BanDatabase::Rows& rows)
{
    takeRows(rows);
    const std::optional<Pending> pending =
        m_pending.contains(ticket) ? std::optional(m_pending.take(ticket)) : std::nullopt;
    if (pending) {
        answer(*pending, result);
    }
}

void BanStore::answer(const Pending& pending, const Result& result)
{
    if (!pending.hasContext || pending.context) {
        pending.done(result);
    }
}

void BanStore::takeRows(const BanDatabase::Rows& rows)
{
    if (rows.isEmpty()) {
        return;
    }
    QList<qint64> ids;
    ids.reserve(rows.size());
    for (const BanDatabase::Row& row : rows) {
        m_index.take(row.ban, row.revision);
        ids.append(row.ban.id);
    }
    Q_EMIT changed(ids);
}

} // namespace garrisond
