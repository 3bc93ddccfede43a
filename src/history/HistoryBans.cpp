#include "HistoryBans.h"

#include "bans/BanRow.h"
#include "history/HistoryDatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QVariant>

namespace garrison {

namespace {

const BanRow kRow(BanRow::Lists::JsonArray, QStringLiteral("until"));

QVariant seconds(const std::optional<QDateTime>& time)
{
    return time && time->isValid() ? QVariant(time->toSecsSinceEpoch())
                                   : QVariant(QMetaType(QMetaType::LongLong));
}

// A null QString would be bound as NULL.
QString notNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QString jsonList(const QStringList& list)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
}

} // namespace

HistoryBans::HistoryBans(HistoryDatabase& database) : m_database(database) {}

std::optional<QList<BanRecord>> HistoryBans::list() const
{
    QSqlQuery query(m_database.db());
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("SELECT id, %1 FROM bans ORDER BY id DESC").arg(kRow.fields()))) {
        m_error = query.lastError();
        return std::nullopt;
    }
    QList<BanRecord> bans;
    while (query.next()) {
        bans.append(kRow.read(query));
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
    // A new ban, never lifted; it was issued now unless it says when.
    BanRecord row = ban;
    row.lifted = false;
    row.liftedBy.clear();
    row.liftNote.clear();
    if (!row.issuedAt.isValid()) {
        row.issuedAt = QDateTime::currentDateTimeUtc();
    }
    QSqlQuery query(m_database.db());
    query.prepare(QStringLiteral("INSERT INTO bans (%1) VALUES (%2) RETURNING id")
                      .arg(kRow.fields(), BanRow::placeholders()));
    kRow.bind(query, row);
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
