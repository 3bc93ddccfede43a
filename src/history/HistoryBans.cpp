#include "HistoryBans.h"

#include "history/HistoryDatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QVariant>

namespace garrison {

namespace {

QString jsonList(const QStringList& list)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
}

QStringList fromJsonList(const QString& text)
{
    QStringList list;
    for (const QJsonValue& item : QJsonDocument::fromJson(text.toUtf8()).array()) {
        list.append(item.toString());
    }
    return list;
}

// A null QString would be bound as NULL.
QString notNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QVariant seconds(const std::optional<QDateTime>& time)
{
    return time && time->isValid() ? QVariant(time->toSecsSinceEpoch())
                                   : QVariant(QMetaType(QMetaType::LongLong));
}

QDateTime fromSeconds(const QVariant& value)
{
    return QDateTime::fromSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

} // namespace

HistoryBans::HistoryBans(HistoryDatabase& database) : m_database(database) {}

std::optional<QList<BanRecord>> HistoryBans::list() const
{
    QSqlQuery query(m_database.db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT id, names, guid, address, prefix_length, reason, until, issued_by, issued_at,"
            " servers, note, evidence, lifted_by, lifted_at, lift_note FROM bans"
            " ORDER BY id DESC"))) {
        m_error = query.lastError();
        return std::nullopt;
    }
    QList<BanRecord> bans;
    while (query.next()) {
        BanRecord ban;
        ban.id = query.value(0).toLongLong();
        ban.names = fromJsonList(query.value(1).toString());
        ban.guid = query.value(2).toString();
        ban.address = query.value(3).toString();
        ban.prefixLength = query.value(4).toInt();
        ban.reason = query.value(5).toString();
        if (!query.isNull(6)) {
            ban.until = fromSeconds(query.value(6));
        }
        ban.issuedBy = query.value(7).toString();
        ban.issuedAt = fromSeconds(query.value(8));
        ban.servers = fromJsonList(query.value(9).toString());
        ban.note = query.value(10).toString();
        ban.evidence = fromJsonList(query.value(11).toString());
        ban.liftedBy = query.value(12).toString();
        ban.lifted = !query.isNull(13);
        if (ban.lifted) {
            ban.liftedAt = fromSeconds(query.value(13));
        }
        ban.liftNote = query.value(14).toString();
        bans.append(ban);
    }
    return bans;
}

std::optional<qint64> HistoryBans::add(const BanRecord& ban)
{
    if (!m_database.writable()) {
        m_error = QSqlError(QStringLiteral("The player history is not written."), QString(),
                            QSqlError::ConnectionError);
        return std::nullopt;
    }
    QSqlQuery query(m_database.db());
    query.prepare(QStringLiteral(
        "INSERT INTO bans (names, guid, address, prefix_length, reason, until, issued_by,"
        " issued_at, servers, note, evidence) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
        " RETURNING id"));
    query.addBindValue(jsonList(ban.names));
    query.addBindValue(notNull(ban.guid));
    query.addBindValue(notNull(ban.address));
    query.addBindValue(ban.address.isEmpty() ? -1 : ban.prefixLength);
    query.addBindValue(notNull(ban.reason));
    query.addBindValue(seconds(ban.until));
    query.addBindValue(notNull(ban.issuedBy));
    query.addBindValue(ban.issuedAt.isValid() ? ban.issuedAt.toSecsSinceEpoch()
                                              : QDateTime::currentSecsSinceEpoch());
    query.addBindValue(jsonList(ban.servers));
    query.addBindValue(notNull(ban.note));
    query.addBindValue(jsonList(ban.evidence));
    if (!query.exec() || !query.next()) {
        m_error = query.lastError();
        return std::nullopt;
    }
    const qint64 id = query.value(0).toLongLong();
    // SQLite completes a statement with RETURNING only when it is reset.
    query.finish();
    return id;
}

bool HistoryBans::edit(const BanRecord& ban)
{
    QSqlQuery query(m_database.db());
    query.prepare(QStringLiteral(
        "UPDATE bans SET reason = ?, until = ?, servers = ?, note = ? WHERE id = ?"));
    query.addBindValue(notNull(ban.reason));
    query.addBindValue(seconds(ban.until));
    query.addBindValue(jsonList(ban.servers));
    query.addBindValue(notNull(ban.note));
    query.addBindValue(ban.id);
    if (!m_database.writable() || !query.exec()) {
        m_error = query.lastError();
        return false;
    }
    return query.numRowsAffected() == 1;
}

bool HistoryBans::lift(qint64 id, const QString& by, const QString& note, const QDateTime& at)
{
    QSqlQuery query(m_database.db());
    query.prepare(QStringLiteral("UPDATE bans SET lifted_by = ?, lifted_at = ?, lift_note = ?"
                                 " WHERE id = ? AND lifted_at IS NULL"));
    query.addBindValue(notNull(by));
    query.addBindValue(at.toSecsSinceEpoch());
    query.addBindValue(notNull(note));
    query.addBindValue(id);
    if (!m_database.writable() || !query.exec()) {
        m_error = query.lastError();
        return false;
    }
    return query.numRowsAffected() == 1;
}

} // namespace garrison
