#include "BanStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>

using garrison::BanRecord;
using garrison::HistoryConnection;

namespace garrisond {

namespace {

// The columns of a ban, in the order of every query's select list.
const QString kColumns = QStringLiteral(
    "id, revision, names, guid, address, prefix_length, reason, until_at, issued_by, issued_at, "
    "servers, note, evidence, lifted, lifted_by, lifted_at, lift_note");

QString tableStatement(bool postgres)
{
    // Texts may be NULL: Qt binds an empty text that way.
    return QStringLiteral("CREATE TABLE IF NOT EXISTS bans ("
                          "id %1 PRIMARY KEY, revision BIGINT NOT NULL, names TEXT, guid TEXT, "
                          "address TEXT, prefix_length INTEGER NOT NULL, reason TEXT, "
                          "until_at BIGINT, issued_by TEXT, issued_at BIGINT, servers TEXT, "
                          "note TEXT, evidence TEXT, lifted INTEGER NOT NULL, lifted_by TEXT, "
                          "lifted_at BIGINT, lift_note TEXT)")
        .arg(postgres ? QStringLiteral("BIGSERIAL") : QStringLiteral("INTEGER"));
}

// Lists are kept one item a line: names and notes hold no control characters, evidence lines
// are single lines.
QString joined(const QStringList& list)
{
    return list.join(QLatin1Char('\n'));
}

QStringList split(const QString& text)
{
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QVariant seconds(const QDateTime& time)
{
    return time.isValid() ? QVariant(time.toSecsSinceEpoch())
                          : QVariant(QMetaType(QMetaType::LongLong));
}

QDateTime time(const QVariant& value)
{
    return value.isNull() ? QDateTime()
                          : QDateTime::fromSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

BanRecord fromRow(const QSqlQuery& query)
{
    BanRecord ban;
    ban.id = query.value(0).toLongLong();
    ban.names = split(query.value(2).toString());
    ban.guid = query.value(3).toString();
    ban.address = query.value(4).toString();
    ban.prefixLength = query.value(5).toInt();
    ban.reason = query.value(6).toString();
    if (!query.value(7).isNull()) {
        ban.until = time(query.value(7));
    }
    ban.issuedBy = query.value(8).toString();
    ban.issuedAt = time(query.value(9));
    ban.servers = split(query.value(10).toString());
    ban.note = query.value(11).toString();
    ban.evidence = split(query.value(12).toString());
    ban.lifted = query.value(13).toInt() != 0;
    ban.liftedBy = query.value(14).toString();
    ban.liftedAt = time(query.value(15));
    ban.liftNote = query.value(16).toString();
    return ban;
}

// Binds every column after id and revision, in kColumns' order.
void bindFields(QSqlQuery& query, const BanRecord& ban)
{
    query.addBindValue(joined(ban.names));
    query.addBindValue(ban.guid);
    query.addBindValue(ban.address);
    query.addBindValue(ban.prefixLength);
    query.addBindValue(ban.reason);
    query.addBindValue(ban.until ? seconds(*ban.until) : seconds(QDateTime()));
    query.addBindValue(ban.issuedBy);
    query.addBindValue(seconds(ban.issuedAt));
    query.addBindValue(joined(ban.servers));
    query.addBindValue(ban.note);
    query.addBindValue(joined(ban.evidence));
    query.addBindValue(ban.lifted ? 1 : 0);
    query.addBindValue(ban.liftedBy);
    query.addBindValue(seconds(ban.liftedAt));
    query.addBindValue(ban.liftNote);
}

const QString kFieldPlaceholders = QStringLiteral("?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?");

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

BanStore::BanStore(QObject* parent)
    : QObject(parent), m_localName(connectionName("local")), m_sharedName(connectionName("shared"))
{
    m_retryTimer.setInterval(kRetryMs);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &BanStore::reachShared);
    m_pollTimer.setInterval(kPollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &BanStore::catchUp);
}

BanStore::~BanStore()
{
    close();
}

QSqlDatabase BanStore::local() const
{
    return QSqlDatabase::database(m_localName, false);
}

QSqlDatabase BanStore::shared() const
{
    return QSqlDatabase::database(m_sharedName, false);
}

void BanStore::close()
{
    if (m_reader) {
        m_reader->wait();
        m_reader.reset();
    }
    m_retryTimer.stop();
    m_pollTimer.stop();
    for (const QString& name : {m_sharedName, m_localName}) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
    m_sharedOpen = false;
}

std::optional<BanStore::List> BanStore::read(const QString& connection, QString* error)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM bans").arg(kColumns))) {
        *error = failure(QStringLiteral("cannot read the bans"), query.lastError());
        return std::nullopt;
    }
    List list;
    while (query.next()) {
        list.take(fromRow(query), query.value(1).toLongLong());
    }
    return list;
}

bool BanStore::open(const QString& localPath, const std::optional<HistoryConnection>& sharedAt,
                    QString* error)
{
    close();
    m_shared = sharedAt;
    m_list = {};
    if (!openLocal(localPath, error)) {
        return false;
    }
    std::optional<List> list = read(m_localName, error);
    if (!list) {
        return false;
    }
    m_list = std::move(*list);
    if (m_shared) {
        reachShared();
    }
    return true;
}

bool BanStore::openInBackground(const QString& localPath,
                                const std::optional<HistoryConnection>& sharedAt, QString* error)
{
    close();
    m_shared = sharedAt;
    m_list = {};
    if (!openLocal(localPath, error)) {
        return false;
    }
    const QString reader = m_localName + QStringLiteral("-reader");
    m_reader.reset(QThread::create([this, reader, localPath] {
        QString why;
        std::optional<List> list;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), reader);
            db.setDatabaseName(localPath);
            list = db.open() ? read(reader, &why) : std::nullopt;
            if (!db.isOpen()) {
                why = failure(QStringLiteral("cannot open the ban file ") + localPath,
                              db.lastError());
            }
        }
        QSqlDatabase::removeDatabase(reader);
        QMetaObject::invokeMethod(this, [this, list = std::move(list), why] {
            if (m_reader) {
                m_reader->wait();
                m_reader.reset();
            }
            if (list) {
                m_list = std::move(*list);
            }
            if (m_shared) {
                reachShared();
            }
            Q_EMIT loaded(why);
        });
    }));
    m_reader->start();
    return true;
}

bool BanStore::openLocal(const QString& path, QString* error)
{
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

void BanStore::reachShared()
{
    if (!m_shared) {
        return;
    }
    if (!QSqlDatabase::contains(m_sharedName)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(m_shared->driverName(), m_sharedName);
        m_shared->configure(db);
    }
    QSqlDatabase db = shared();
    const auto lost = [this](const QString& why) { sharedLost(why); };
    if (!db.open()) {
        lost(failure(QStringLiteral("cannot reach the ban database ") + m_shared->description(),
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
        lost(failure(QStringLiteral("cannot prepare the ban database ") + m_shared->description(),
                     error));
        return;
    }
    QSqlDriver* driver = db.driver();
    disconnect(driver, &QSqlDriver::notification, this, nullptr);
    connect(driver, &QSqlDriver::notification, this, &BanStore::catchUp);
    if (!driver->subscribedToNotifications().contains(kChannel)) {
        driver->subscribeToNotification(kChannel);
    }
    const bool wasAway = !m_sharedOpen && m_retryTimer.property("warned").toBool();
    m_sharedOpen = true;
    m_pollTimer.start();
    catchUp();
    if (m_sharedOpen && wasAway) {
        m_retryTimer.setProperty("warned", false);
        Q_EMIT warning(QStringLiteral("the ban database %1 is back").arg(m_shared->description()));
    }
}

void BanStore::sharedLost(const QString& why)
{
    m_sharedOpen = false;
    m_pollTimer.stop();
    // The connection stays registered (queries may still hold it); reachShared opens it again.
    if (QSqlDatabase::contains(m_sharedName)) {
        shared().close();
    }
    // Said once until it is back.
    if (!m_retryTimer.property("warned").toBool()) {
        m_retryTimer.setProperty("warned", true);
        Q_EMIT warning(why + QStringLiteral("; the bans are enforced from the copy in this "
                                            "machine until it is back"));
    }
    m_retryTimer.start();
}

void BanStore::catchUp()
{
    if (isLoading() || (m_shared && !m_sharedOpen)) {
        return;
    }
    QSqlQuery query(m_shared ? shared() : local());
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT %1 FROM bans WHERE revision > ? ORDER BY revision").arg(kColumns));
    query.addBindValue(m_list.revision);
    if (!query.exec()) {
        if (m_shared) {
            sharedLost(failure(QStringLiteral("the ban database ") + m_shared->description(),
                               query.lastError()));
        }
        return;
    }
    QList<qint64> ids;
    QList<std::pair<BanRecord, qint64>> rows;
    while (query.next()) {
        rows.append({fromRow(query), query.value(1).toLongLong()});
    }
    if (rows.isEmpty()) {
        return;
    }
    if (m_shared) {
        // The copy keeps the shared ids and revisions.
        QSqlDatabase db = local();
        QSqlQuery copy(db);
        db.transaction();
        copy.prepare(QStringLiteral("INSERT OR REPLACE INTO bans (%1) VALUES (?, ?, %2)")
                         .arg(kColumns, kFieldPlaceholders));
        for (const auto& [ban, revision] : rows) {
            copy.addBindValue(ban.id);
            copy.addBindValue(revision);
            bindFields(copy, ban);
            copy.exec();
        }
        if (!db.commit()) {
            Q_EMIT warning(
                failure(QStringLiteral("cannot keep the copy of the bans"), db.lastError()));
        }
    }
    for (const auto& [ban, revision] : rows) {
        m_list.take(ban, revision);
        ids.append(ban.id);
    }
    Q_EMIT changed(ids);
}

void BanStore::List::take(const BanRecord& ban, qint64 banRevision)
{
    revision = std::max(revision, banRevision);
    if (const auto found = bans.constFind(ban.id); found != bans.cend()) {
        unindex(*found);
    }
    bans.insert(ban.id, ban);
    index(ban);
}

void BanStore::List::index(const BanRecord& ban)
{
    if (!ban.guid.isEmpty()) {
        byGuid[ban.guid].append(ban.id);
    }
    if (ban.address.isEmpty()) {
        return;
    }
    if (ban.prefixLength >= 0) {
        ranges.insert(ban.id, {QHostAddress(ban.address), ban.prefixLength});
    } else {
        byAddress[BanRecord::playerHost(ban.address)].append(ban.id);
    }
}

void BanStore::List::unindex(const BanRecord& ban)
{
    const auto remove = [&ban](QHash<QString, QList<qint64>>& index, const QString& key) {
        const auto found = index.find(key);
        if (found != index.end()) {
            found->removeAll(ban.id);
            if (found->isEmpty()) {
                index.erase(found);
            }
        }
    };
    if (!ban.guid.isEmpty()) {
        remove(byGuid, ban.guid);
    }
    ranges.remove(ban.id);
    if (!ban.address.isEmpty() && ban.prefixLength < 0) {
        remove(byAddress, BanRecord::playerHost(ban.address));
    }
}

std::optional<BanRecord> BanStore::keepingOut(const QString& guid, const QString& address,
                                              const QString& serverName, const QDateTime& now) const
{
    const auto check = [&](qint64 id) -> const BanRecord* {
        const auto found = m_list.bans.constFind(id);
        return found != m_list.bans.cend() && found->keepsOut(guid, address, serverName, now)
                   ? &*found
                   : nullptr;
    };
    if (const std::optional<QString> normal = BanRecord::normalisedGuid(guid)) {
        for (const qint64 id : m_list.byGuid.value(*normal)) {
            if (const BanRecord* ban = check(id)) {
                return *ban;
            }
        }
    }
    const QString host = address.isEmpty() ? QString() : BanRecord::playerHost(address);
    if (host.isEmpty()) {
        return std::nullopt;
    }
    for (const qint64 id : m_list.byAddress.value(host)) {
        if (const BanRecord* ban = check(id)) {
            return *ban;
        }
    }
    const QHostAddress player(host);
    for (auto range = m_list.ranges.cbegin(); range != m_list.ranges.cend(); ++range) {
        if (player.isInSubnet(range->first, range->second)) {
            if (const BanRecord* ban = check(range.key())) {
                return *ban;
            }
        }
    }
    return std::nullopt;
}

std::optional<BanRecord> BanStore::find(qint64 id) const
{
    const auto found = m_list.bans.constFind(id);
    return found == m_list.bans.cend() ? std::nullopt : std::optional(*found);
}

BanStore::Result BanStore::add(const BanRecord& ban)
{
    return write({ban}, true);
}

BanStore::Result BanStore::addAll(const QList<BanRecord>& bans)
{
    return write(bans, true);
}

BanStore::Result BanStore::edit(const BanRecord& changes)
{
    std::optional<BanRecord> ban = find(changes.id);
    if (!ban) {
        return {0, 0, QStringLiteral("there is no ban %1").arg(changes.id)};
    }
    ban->reason = changes.reason;
    ban->until = changes.until;
    ban->servers = changes.servers;
    ban->note = changes.note;
    return write({*ban}, false);
}

BanStore::Result BanStore::lift(qint64 id, const QString& by, const QString& note,
                                const QDateTime& at)
{
    std::optional<BanRecord> ban = find(id);
    if (!ban) {
        return {0, 0, QStringLiteral("there is no ban %1").arg(id)};
    }
    if (ban->lifted) {
        return {0, 0,
                QStringLiteral("ban %1 was lifted already, by %2").arg(id).arg(ban->liftedBy)};
    }
    ban->lifted = true;
    ban->liftedBy = by;
    ban->liftedAt = at;
    ban->liftNote = note;
    return write({*ban}, false);
}

BanStore::Result BanStore::write(const QList<BanRecord>& bans, bool insert)
{
    for (const BanRecord& ban : bans) {
        if (const QString problem = ban.problem(); !problem.isEmpty()) {
            return {0, 0, problem};
        }
    }
    if (isLoading()) {
        return {0, 0, QStringLiteral("the bans are still being read; try again in a few seconds")};
    }
    if (!isReachable()) {
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
    qint64 lastId = 0;
    const QString statement =
        insert ? QStringLiteral("INSERT INTO bans (%1) VALUES (%2, %3)%4")
                     .arg(kColumns.mid(kColumns.indexOf(u',') + 2), revision, kFieldPlaceholders,
                          postgres ? QStringLiteral(" RETURNING id") : QString())
               : QStringLiteral("UPDATE bans SET revision = %1, names = ?, guid = ?, address = ?, "
                                "prefix_length = ?, reason = ?, until_at = ?, issued_by = ?, "
                                "issued_at = ?, servers = ?, note = ?, evidence = ?, lifted = ?, "
                                "lifted_by = ?, lifted_at = ?, lift_note = ? WHERE id = ?")
                     .arg(revision);
    ok = ok && query.prepare(statement);
    for (qsizetype at = 0; ok && at < bans.size(); ++at) {
        const BanRecord& ban = bans.at(at);
        bindFields(query, ban);
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
    catchUp();
    return {insert ? lastId : bans.constFirst().id, bans.size(), {}};
}

} // namespace garrisond
