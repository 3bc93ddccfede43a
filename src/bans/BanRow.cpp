#include "BanRow.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QVariant>

namespace garrison {

namespace {

constexpr int kFieldCount = 14;

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

// Qt binds a null QString as NULL.
QString notNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

QString BanRow::fields() const
{
    return QStringLiteral("names, guid, address, prefix_length, reason, %1, issued_by, issued_at, "
                          "servers, note, evidence, lifted_by, lifted_at, lift_note")
        .arg(m_untilColumn);
}

QString BanRow::placeholders()
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), kFieldCount);
    return marks.join(QStringLiteral(", "));
}

BanRecord BanRow::read(const QSqlQuery& query, int first) const
{
    const auto list = [this](const QVariant& value) {
        const QString text = value.toString();
        if (m_lists == Lists::Lines) {
            return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
        }
        QStringList items;
        for (const QJsonValue& item : QJsonDocument::fromJson(text.toUtf8()).array()) {
            items.append(item.toString());
        }
        return items;
    };
    const auto at = [&query, first](int field) { return query.value(first + 1 + field); };
    BanRecord ban;
    ban.id = query.value(first).toLongLong();
    ban.names = list(at(0));
    ban.guid = at(1).toString();
    ban.address = at(2).toString();
    ban.prefixLength = at(3).toInt();
    ban.reason = at(4).toString();
    if (!at(5).isNull()) {
        ban.until = time(at(5));
    }
    ban.issuedBy = at(6).toString();
    ban.issuedAt = time(at(7));
    ban.servers = list(at(8));
    ban.note = at(9).toString();
    ban.evidence = list(at(10));
    ban.liftedBy = at(11).toString();
    ban.liftedAt = time(at(12));
    ban.lifted = ban.liftedAt.isValid();
    ban.liftNote = at(13).toString();
    return ban;
}

void BanRow::bind(QSqlQuery& query, const BanRecord& ban) const
{
    // Names and notes hold no control characters and evidence lines are single lines, so a
    // line break parts the items safely.
    const auto list = [this](const QStringList& items) {
        return m_lists == Lists::Lines
                   ? notNull(items.join(QLatin1Char('\n')))
                   : QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(items))
                                           .toJson(QJsonDocument::Compact));
    };
    query.addBindValue(list(ban.names));
    query.addBindValue(notNull(ban.guid));
    query.addBindValue(notNull(ban.address));
    query.addBindValue(ban.address.isEmpty() ? -1 : ban.prefixLength);
    query.addBindValue(notNull(ban.reason));
    query.addBindValue(seconds(ban.until.value_or(QDateTime())));
    query.addBindValue(notNull(ban.issuedBy));
    query.addBindValue(seconds(ban.issuedAt));
    query.addBindValue(list(ban.servers));
    query.addBindValue(notNull(ban.note));
    query.addBindValue(list(ban.evidence));
    query.addBindValue(notNull(ban.liftedBy));
    query.addBindValue(seconds(ban.lifted ? ban.liftedAt : QDateTime()));
    query.addBindValue(notNull(ban.liftNote));
}

} // namespace garrison
