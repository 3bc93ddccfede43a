#include "BanDatabase.h"

#include "bans/BanRow.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

using garrison::BanRecord;
using garrison::BanRow;
using garrison::HistoryConnection;

namespace garrisond {

namespace {

const BanRow kRow(BanRow::Lists::Lines, QStringLiteral("until_at"));

// Every query's select list: the row, then the revision.
QString selectList()
{
    return QStringLiteral("id, %1, revision").arg(kRow.fields());
}

QString tableStatement(bool postgres)
{
    // "lifted" is kept for the files of earlier versions; a ban is lifted when it has a time
    // of lifting.
    return QStringLiteral("CREATE TABLE IF NOT EXISTS bans ("
                          "id %1 PRIMARY KEY, revision BIGINT NOT NULL, names TEXT, guid TEXT, "
                          "address TEXT, prefix_length INTEGER NOT NULL, reason TEXT, "
                          "until_at BIGINT, issued_by TEXT, issued_at BIGINT, servers TEXT, "
                          "note TEXT, evidence TEXT, lifted INTEGER NOT NULL, lifted_by TEXT, "
                          "lifted_at BIGINT, lift_note TEXT)")
        .arg(postgres ? QStringLiteral("BIGSERIAL") : QStringLiteral("INTEGER"));
}

QString connectionName(const char* what)
{
    static std::atomic<int> count{0};
    return QStringLiteral("garrisond-bans-%1-%2").arg(QLatin1String(what)).arg(++count);
}

QString failure(const QString& what, const QSqlError& error)
{
    return QStringLiteral("%1: %2").arg(what, error.text().trimmed());
}

} // namespace

BanDatabase::BanDatabase(const QString& localPath, const std::optional<HistoryConnection>& shared)
    : m_localPath(localPath), m_shared(shared), m_localName(connectionName("local")),
      m_sharedName(connectionName("shared"))
{
    m_retryTimer.setInterval(kRetryMs);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &BanDatabase::reachShared);
    m_pollTimer.setInterval(kPollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &BanDatabase::catchUp);
}

BanDatabase::~BanDatabase()
{
    for (const QString& name : {m_sharedName, m_localName}) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

QSqlDatabase BanDatabase::local() const
{
    return QSqlDatabase::database(m_localName, false);
}

QSqlDatabase BanDatabase::shared() const
{
    return QSqlDatabase::database(m_sharedName, false);
}

std::optional<BanIndex> BanDatabase::readLocal(QString* error)
{
    if (!openLocal(error)) {
        return std::nullopt;
    }
    QSqlQuery query(local());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM bans").arg(selectList()))) {
        *error = failure(QStringLiteral("cannot read the bans"), query.lastError());
        return std::nullopt;
    }
    BanIndex index;
    while (query.next()) {
        index.take(kRow.read(query), query.value(15).toLongLong());
    }
    m_revision = index.revision();
    return index;
}

void BanDatabase::load()
{
    QString error;
    const std::optional<BanIndex> index = readLocal(&error);
    Q_EMIT loaded(index.value_or(BanIndex()), error);
    if (index) {
        reachShared();
    }
}

bool BanDatabase::openLocal(QString* error)
{
    const QString& path = m_localPath;
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            *error =
                QStringLiteral("cannot make the ban file %1: %2").arg(path, file.errorString());
            return false;
        }
    }
    // The list names players' addresses; only garrisond reads it.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_localName);
    db.setDatabaseName(path);
    if (!db.open()) {
        *error = failure(QStringLiteral("cannot open the ban file ") + path, db.lastError());
        return false;
    }
    QSqlQuery query(db);
    const QStringList statements{
        QStringLiteral("PRAGMA journal_mode=WAL"),
        QStringLiteral("PRAGMA synchronous=NORMAL"),
        tableStatement(false),
        QStringLiteral("CREATE INDEX IF NOT EXISTS bans_revision ON bans (revision)"),
        // Which shared database this file copies; empty when it is the list itself.
        QStringLiteral("CREATE TABLE IF NOT EXISTS ban_source (description TEXT NOT NULL)"),
    };
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            *error =
                failure(QStringLiteral("cannot prepare the ban file ") + path, query.lastError());
            return false;
        }
    }
    // A copy of another list than the one configured now is of no use.
    const QString source = m_shared ? m_shared->description() : QString();
    query.exec(QStringLiteral("SELECT description FROM ban_source"));
    const QString previous = query.next() ? query.value(0).toString() : QString();
    if (previous != source) {
        const bool ok = db.transaction() && query.exec(QStringLiteral("DELETE FROM bans")) &&
                        query.exec(QStringLiteral("DELETE FROM ban_source")) &&
                        query.prepare(QStringLiteral("INSERT INTO ban_source VALUES (?)"));
        query.addBindValue(source);
        if (!ok || !query.exec() || !db.commit()) {
            *error =
                failure(QStringLiteral("cannot prepare the ban file ") + path, query.lastError());
            return false;
        }
    }
    return true;
}

void BanDatabase::reachShared()
{
    if (!m_shared) {
        return;
    }
    if (!QSqlDatabase::contains(m_sharedName)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(m_shared->driverName(), m_sharedName);
        m_shared->configure(db);
    }
    QSqlDatabase db = shared();
    if (!db.open()) {
        sharedLost(
            failure(QStringLiteral("cannot reach the ban database ") + m_shared->description(),
                    db.lastError()));
        return;
    }
    // Two garrisonds that start together make the table once.
    QSqlQuery query(db);
    query.exec(QStringLiteral("SET client_min_messages = warning"));
    const bool prepared =
        db.transaction() && query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(735100)")) &&
        query.exec(tableStatement(true)) &&
        query.exec(QStringLiteral("CREATE SEQUENCE IF NOT EXISTS ban_revisions")) &&
        query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS bans_revision ON bans (revision)")) &&
        db.commit();
    if (!prepared) {
        const QSqlError error = query.lastError().isValid() ? query.lastError() : db.lastError();
        db.rollback();
        sharedLost(failure(
            QStringLiteral("cannot prepare the ban database ") + m_shared->description(), error));
        return;
    }
    QSqlDriver* driver = db.driver();
    disconnect(driver, &QSqlDriver::notification, this, nullptr);
    connect(driver, &QSqlDriver::notification, this, &BanDatabase::catchUp);
    if (!driver->subscribedToNotifications().contains(kChannel)) {
        driver->subscribeToNotification(kChannel);
    }
    m_sharedOpen = true;
    m_pollTimer.start();
    catchUp();
    if (!m_sharedOpen) {
        return;
    }
    Q_EMIT reachableChanged(true);
    if (std::exchange(m_warnedAway, false)) {
        Q_EMIT warning(QStringLiteral("the ban database %1 is back").arg(m_shared->description()));
    }
}

void BanDatabase::sharedLost(const QString& why)
{
    m_sharedOpen = false;
    m_pollTimer.stop();
    Q_EMIT reachableChanged(false);
    // The connection stays registered (queries may still hold it); reachShared opens it again.
    if (QSqlDatabase::contains(m_sharedName)) {
        shared().close();
    }
    // Said once until it is back.
    if (!std::exchange(m_warnedAway, true)) {
        Q_EMIT warning(why + QStringLiteral("; the bans are enforced from the copy in this "
                                            "machine until it is back"));
    }
    m_retryTimer.start();
}

void BanDatabase::catchUp()
{
    const Rows rows = readChanges();
    if (!rows.isEmpty()) {
        Q_EMIT caughtUp(rows);
    }
}

BanDatabase::Rows BanDatabase::readChanges()
{
    if (m_shared && !m_sharedOpen) {
        return {};
    }
    QSqlQuery query(m_shared ? shared() : local());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM bans WHERE revision > ? ORDER BY revision")
                      .arg(selectList()));
    query.addBindValue(m_revision);
    if (!query.exec()) {
        if (m_shared) {
            sharedLost(failure(QStringLiteral("the ban database ") + m_shared->description(),
                               query.lastError()));
        }
        return {};
    }
    Rows rows;
    while (query.next()) {
        rows.append({kRow.read(query), query.value(15).toLongLong()});
        m_revision = std::max(m_revision, rows.constLast().revision);
    }
    if (m_shared && !rows.isEmpty()) {
        // The copy keeps the shared ids and revisions.
        QSqlDatabase db = local();
        QSqlQuery copy(db);
        db.transaction();
        copy.prepare(QStringLiteral("INSERT OR REPLACE INTO bans (%1, lifted) VALUES (?, %2, ?, ?)")
                         .arg(selectList(), BanRow::placeholders()));
        for (const Row& row : std::as_const(rows)) {
            copy.addBindValue(row.ban.id);
            kRow.bind(copy, row.ban);
            copy.addBindValue(row.revision);
            copy.addBindValue(row.ban.lifted ? 1 : 0);
            copy.exec();
        }
        if (!db.commit()) {
            Q_EMIT warning(
                failure(QStringLiteral("cannot keep the copy of the bans"), db.lastError()));
        }
    }
    return rows;
}

void BanDatabase::write(quint64 ticket, const QList<BanRecord>& bans, bool insert)
{
    Result result = writeRows(bans, insert);
    Rows rows;
    if (result.error.isEmpty()) {
        rows = readChanges();
    }
    Q_EMIT written(ticket, result, rows);
}

BanDatabase::Result BanDatabase::writeRows(const QList<BanRecord>& bans, bool insert)
{
    if (m_shared && !m_sharedOpen) {
        return {0, 0,
                QStringLiteral("the shared ban database is away; the bans cannot be changed "
                               "until it is back")};
    }
    const bool postgres = m_shared.has_value();
    QSqlDatabase db = postgres ? shared() : local();
    QSqlQuery query(db);
    const QString revision =
        postgres ? QStringLiteral("nextval('ban_revisions')")
                 : QStringLiteral("(SELECT COALESCE(MAX(revision), 0) + 1 FROM bans)");
    bool ok = db.transaction();
    if (ok && postgres) {
        ok = query.exec(QStringLiteral("LOCK TABLE bans IN SHARE ROW EXCLUSIVE MODE"));
    }
    QString statement;
    if (insert) {
        statement = QStringLiteral("INSERT INTO bans (%1, lifted, revision) VALUES (%2, ?, %3)%4")
                        .arg(kRow.fields(), BanRow::placeholders(), revision,
                             postgres ? QStringLiteral(" RETURNING id") : QString());
    } else {
        const QString fields = kRow.fields().replace(QStringLiteral(","), QStringLiteral(" = ?,"));
        statement = QStringLiteral("UPDATE bans SET %1 = ?, lifted = ?, revision = %2 WHERE id = ?")
                        .arg(fields, revision);
    }
    ok = ok && query.prepare(statement);
    qint64 lastId = 0;
    for (qsizetype at = 0; ok && at < bans.size(); ++at) {
        const BanRecord& ban = bans.at(at);
        kRow.bind(query, ban);
        query.addBindValue(ban.lifted ? 1 : 0);
        if (!insert) {
            query.addBindValue(ban.id);
        }
        ok = query.exec();
        if (ok && insert) {
            lastId = postgres && query.next() ? query.value(0).toLongLong()
                                              : query.lastInsertId().toLongLong();
        }
    }
    if (ok && postgres) {
        ok = query.exec(QStringLiteral("NOTIFY ") + kChannel);
    }
    if (!ok || !db.commit()) {
        const QSqlError error = query.lastError().isValid() ? query.lastError() : db.lastError();
        if (db.isOpen()) {
            db.rollback();
        }
        if (postgres) {
            const QString why =
                failure(QStringLiteral("the ban database ") + m_shared->description(), error);
            sharedLost(why);
            return {0, 0, why + QStringLiteral("; nothing was changed")};
        }
        return {0, 0, failure(QStringLiteral("the ban file did not take the change"), error)};
    }
    return {insert ? lastId : bans.constFirst().id, bans.size(), {}};
}

} // namespace garrisond
