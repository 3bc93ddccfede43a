#include "HistoryDatabase.h"

#include "platform/PrivateFile.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace garrison {

namespace {

QAtomicInteger<quint64> g_connectionNumber;

// SQLite's result codes, as the Qt driver reports them.
const QString kSqliteBusy = QStringLiteral("5");
const QString kSqliteLocked = QStringLiteral("6");

bool exec(QSqlDatabase& db, const QString& statement, QSqlError* error = nullptr)
{
    QSqlQuery query(db);
    if (query.exec(statement)) {
        return true;
    }
    if (error) {
        *error = query.lastError();
    }
    return false;
}

} // namespace

HistoryDatabase::HistoryDatabase(HistoryConnection connection)
    : m_connection(std::move(connection)),
      m_name(QStringLiteral("garrison-history-%1").arg(++g_connectionNumber))
{}

HistoryDatabase::~HistoryDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isValid()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase HistoryDatabase::db() const
{
    return QSqlDatabase::database(m_name, false);
}

HistorySchema::Dialect HistoryDatabase::dialect() const
{
    return m_connection.kind == HistoryConnection::Kind::Sqlite ? HistorySchema::Dialect::Sqlite
                                                                : HistorySchema::Dialect::Postgres;
}

HistoryDatabase::State HistoryDatabase::fail(State state, const QString& problem)
{
    m_state = state;
    m_problem = problem;
    return state;
}

HistoryDatabase::State HistoryDatabase::failFromError(const QString& what, const QSqlError& error)
{
    const QString where = m_connection.description();
    if (m_connection.kind == HistoryConnection::Kind::Postgres) {
        return fail(State::Busy, QStringLiteral("The shared player history %1 cannot be reached "
                                                "(%2); recording resumes when it is back.")
                                     .arg(where, error.text()));
    }
    if (error.nativeErrorCode() == kSqliteBusy || error.nativeErrorCode() == kSqliteLocked) {
        return fail(State::Busy, QStringLiteral("The player history %1 is locked by another "
                                                "program; recording resumes when it is free.")
                                     .arg(where));
    }
    return fail(State::Unavailable,
                QStringLiteral("The player history %1 cannot be used (%2: %3); GARRISON leaves "
                               "the file as it is and records nothing.")
                    .arg(where, what, error.text()));
}

HistoryDatabase::State HistoryDatabase::open()
{
    {
        QSqlDatabase old = db();
        if (old.isValid()) {
            old.close();
        }
    }
    QSqlDatabase::removeDatabase(m_name);
    m_problem.clear();
    m_fragmentIndex = false;
    m_encrypted.reset();
    if (!QSqlDatabase::isDriverAvailable(m_connection.driverName())) {
        // The Windows build never has the PostgreSQL driver; a Linux one may lack its package.
        if (m_connection.kind == HistoryConnection::Kind::Postgres) {
            return fail(State::Unavailable,
                        QStringLiteral("The shared player history needs Qt's PostgreSQL driver "
                                       "(QPSQL), which this GARRISON does not have; nothing is "
                                       "recorded. Untick \"Shared history on a PostgreSQL "
                                       "server\" under Storage to keep the history on this "
                                       "computer."));
        }
        return fail(State::Unavailable,
                    QStringLiteral("The player history needs Qt's SQLite driver (QSQLITE), which "
                                   "this GARRISON does not have; nothing is recorded."));
    }
    return m_connection.kind == HistoryConnection::Kind::Sqlite ? openSqlite() : openPostgres();
}

HistoryDatabase::State HistoryDatabase::openSqlite()
{
    const QFileInfo file(m_connection.path);
    const QString where = m_connection.description();
    // Names, addresses and notes about people are for the user alone. SQLite gives the WAL
    // and shared-memory files it creates the database file's permissions; older files of
    // every kind are made private here.
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        PrivateFile::restrict(m_connection.path + QLatin1String(suffix));
    }
    bool writable = true;
    if (file.exists()) {
        if (!file.isFile() || !file.isReadable()) {
            return fail(State::Unavailable,
                        QStringLiteral("The player history %1 cannot be read; nothing is "
                                       "recorded.")
                            .arg(where));
        }
        // WAL keeps two files next to the database: the folder must take them too.
        writable = file.isWritable() && QFileInfo(file.absolutePath()).isWritable();
    } else if (!QDir().mkpath(file.absolutePath()) ||
               !QFileInfo(file.absolutePath()).isWritable()) {
        return fail(State::Unavailable,
                    QStringLiteral("The player history cannot be created in %1; nothing is "
                                   "recorded.")
                        .arg(QDir::toNativeSeparators(file.absolutePath())));
    } else {
        // An empty file is an empty database to SQLite, which keeps the permissions it finds.
        QFile created(m_connection.path);
        PrivateFile::open(created, QIODevice::WriteOnly | QIODevice::NewOnly);
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(m_connection.driverName(), m_name);
    m_connection.configure(db);
    // Waiting for another writer must not freeze the window: a busy database is retried later.
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=50");
    if (!writable) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    }
    db.setConnectOptions(options);
    if (!db.open()) {
        return failFromError(QStringLiteral("open"), db.lastError());
    }

    int version = 0;
    if (!readVersion(version)) {
        return m_state;
    }
    m_foundVersion = version;
    if (version > HistorySchema::kVersion) {
        db.close();
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=50;QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            return failFromError(QStringLiteral("open"), db.lastError());
        }
        return fail(State::ReadOnly,
                    QStringLiteral("The player history %1 was written by a newer GARRISON "
                                   "(version %2): it is shown read-only and not changed.")
                        .arg(where)
                        .arg(version));
    }
    if (!writable) {
        if (version == 0) {
            return fail(State::Unavailable,
                        QStringLiteral("The player history %1 is read-only and empty; nothing "
                                       "is recorded.")
                            .arg(where));
        }
        m_fragmentIndex = db.tables().contains(QStringLiteral("names_search"));
        return fail(State::ReadOnly, QStringLiteral("The player history %1 is read-only: it is "
                                                    "shown, and nothing new is recorded.")
                                         .arg(where));
    }
    QSqlError error;
    if (!exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), &error) ||
        !exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), &error)) {
        return failFromError(QStringLiteral("journal"), error);
    }
    if (!migrate(version)) {
        return m_state;
    }
    ensureFragmentIndex();
    // Another program holding the write lock would make every recording wait and fail.
    if (!exec(db, QStringLiteral("BEGIN IMMEDIATE"), &error)) {
        return failFromError(QStringLiteral("lock"), error);
    }
    exec(db, QStringLiteral("ROLLBACK"));
    m_state = State::Ready;
    return m_state;
}

HistoryDatabase::State HistoryDatabase::openPostgres()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(m_connection.driverName(), m_name);
    m_connection.configure(db);
    if (!db.open()) {
        return failFromError(QStringLiteral("connect"), db.lastError());
    }
    // With the SSL mode "prefer" the server decides; the window tells the user when it chose
    // a plain link.
    QSqlQuery ssl(db);
    if (ssl.exec(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")) &&
        ssl.next()) {
        m_encrypted = ssl.value(0).toBool();
    }
    int version = 0;
    if (!readVersion(version)) {
        return m_state;
    }
    m_foundVersion = version;
    if (version > HistorySchema::kVersion) {
        return fail(State::ReadOnly,
                    QStringLiteral("The shared player history %1 was written by a newer GARRISON "
                                   "(version %2): it is shown read-only and not changed.")
                        .arg(m_connection.description())
                        .arg(version));
    }
    if (!migrate(version)) {
        return m_state;
    }
    ensureFragmentIndex();
    m_state = State::Ready;
    return m_state;
}

bool HistoryDatabase::readVersion(int& version)
{
    QSqlDatabase db = this->db();
    QSqlQuery query(db);
    const bool sqlite = dialect() == HistorySchema::Dialect::Sqlite;
    // Any read finds out whether the file is a database at all.
    const QString tables =
        sqlite ? QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")
               : QStringLiteral("SELECT table_name FROM information_schema.tables"
                                " WHERE table_schema = current_schema()");
    if (!query.exec(tables)) {
        failFromError(QStringLiteral("read"), query.lastError());
        return false;
    }
    bool any = false;
    bool meta = false;
    while (query.next()) {
        any = true;
        meta = meta || query.value(0).toString() == QLatin1String("meta");
    }
    if (!any) {
        version = 0;
        return true;
    }
    if (meta && query.exec(HistorySchema::versionQuery()) && query.next()) {
        version = query.value(0).toInt();
        return true;
    }
    fail(State::Unavailable, QStringLiteral("%1 holds tables of another program, not a GARRISON "
                                            "player history; it is left as it is.")
                                 .arg(m_connection.description()));
    return false;
}

bool HistoryDatabase::migrate(int from)
{
    QSqlDatabase db = this->db();
    for (int version = from + 1; version <= HistorySchema::kVersion; ++version) {
        if (!db.transaction()) {
            failFromError(QStringLiteral("migrate"), db.lastError());
            return false;
        }
        QSqlError error;
        bool ok = true;
        for (const QString& statement : HistorySchema::migration(dialect(), version)) {
            if (!exec(db, statement, &error)) {
                ok = false;
                break;
            }
        }
        if (ok) {
            QSqlQuery update(db);
            update.prepare(HistorySchema::versionUpdate());
            update.addBindValue(QString::number(version));
            ok = update.exec();
            error = update.lastError();
        }
        if (!ok || !db.commit()) {
            const QSqlError failure = ok ? db.lastError() : error;
            db.rollback();
            failFromError(QStringLiteral("migrate to version %1").arg(version), failure);
            return false;
        }
    }
    return true;
}

void HistoryDatabase::ensureFragmentIndex()
{
    QSqlDatabase db = this->db();
    const bool sqlite = dialect() == HistorySchema::Dialect::Sqlite;
    const auto present = [&] {
        QSqlQuery query(db);
        return query.exec(sqlite ? QStringLiteral("SELECT 1 FROM sqlite_master"
                                                  " WHERE name = 'names_search'")
                                 : QStringLiteral("SELECT 1 FROM pg_indexes"
                                                  " WHERE indexname = 'names_plain_trigram'")) &&
               query.next();
    };
    if (present()) {
        m_fragmentIndex = true;
        return;
    }
    // The server may not offer the index; search then reads the names one by one.
    if (db.transaction()) {
        bool ok = true;
        for (const QString& statement : HistorySchema::fragmentIndex(dialect())) {
            ok = ok && exec(db, statement);
        }
        ok = ok && db.commit();
        if (!ok) {
            db.rollback();
        }
    }
    m_fragmentIndex = present();
}

} // namespace garrison
