#include "HistoryGenerator.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryKeys.h"

#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <random>

namespace garrison::HistoryGenerator {

namespace {

const QString kServer = QStringLiteral("bench:28960");
const char* const kSyllables[] = {"ka",  "zo", "mi",  "ru", "te",  "xa", "vel", "dor", "pin", "qu",
                                  "sha", "bo", "nix", "ly", "gro", "fe", "tam", "wu",  "jek", "oz"};
constexpr HistoryTime kDay = 24 * 60 * 60;

QSqlQuery prepared(const QSqlDatabase& db, const QString& statement)
{
    QSqlQuery query(db);
    query.prepare(statement);
    return query;
}

bool run(QSqlQuery& query, const QVariantList& values)
{
    for (qsizetype index = 0; index < values.size(); ++index) {
        query.bindValue(static_cast<int>(index), values[index]);
    }
    if (!query.exec()) {
        std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
        return false;
    }
    return true;
}

qint64 serverId(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO servers (address, host_name) VALUES (?, 'Bench')"
                                 " ON CONFLICT (address) DO UPDATE SET host_name = 'Bench'"
                                 " RETURNING id"));
    query.addBindValue(kServer);
    const qint64 id = query.exec() && query.next() ? query.value(0).toLongLong() : 0;
    query.finish();
    return id;
}

} // namespace

QString name(quint32 number)
{
    std::mt19937 random(number);
    QString text;
    const int parts = 2 + static_cast<int>(random() % 3);
    for (int part = 0; part < parts; ++part) {
        if (random() % 5 == 0) {
            text += QLatin1Char('^') + QString::number(random() % 8);
        }
        text += QLatin1String(kSyllables[random() % std::size(kSyllables)]);
    }
    return text + QString::number(number % 1000);
}

QList<PlayerRow> fullStatus(int round)
{
    QList<PlayerRow> rows;
    for (int slot = 0; slot < 64; ++slot) {
        PlayerRow row;
        row[PlayerRow::Slot] = QString::number(slot);
        row[PlayerRow::Score] = QString::number(slot * 3 + round);
        row[PlayerRow::Ping] = QStringLiteral("48");
        row[PlayerRow::Guid] = QString::number(1000000000 + slot);
        row[PlayerRow::Name] = name(static_cast<quint32>(slot));
        row[PlayerRow::Address] = QStringLiteral("198.51.100.%1:28960").arg(slot);
        rows.append(row);
    }
    return rows;
}

bool fill(HistoryDatabase& database, const Shape& shape)
{
    QSqlDatabase db = database.db();
    std::mt19937 random(shape.seed);
    const HistoryTime start = shape.end - shape.days * kDay;
    const auto when = [&] {
        return start + static_cast<HistoryTime>(random() % (shape.days * kDay));
    };
    if (!db.transaction()) {
        return false;
    }
    const qint64 server = serverId(db);
    QSqlQuery player =
        prepared(db, QStringLiteral("INSERT INTO players (player_key, guid, first_seen)"
                                    " VALUES (?, ?, ?) RETURNING id"));
    QSqlQuery names = prepared(db, QStringLiteral("INSERT INTO names (player_id, server_id, name,"
                                                  " plain, first_seen, last_seen)"
                                                  " VALUES (?, ?, ?, ?, ?, ?)"));
    QSqlQuery addresses = prepared(db, QStringLiteral("INSERT INTO addresses (player_id, server_id,"
                                                      " address, first_seen, last_seen)"
                                                      " VALUES (?, ?, ?, ?, ?)"));
    QSqlQuery sessions =
        prepared(db, QStringLiteral("INSERT INTO sessions (player_id, server_id,"
                                    " started, ended, score) VALUES (?, ?, ?, ?, ?)"));
    QSqlQuery counts =
        prepared(db, QStringLiteral("INSERT INTO player_counts (server_id, at, count)"
                                    " VALUES (?, ?, ?)"));
    bool ok = server != 0;
    for (int number = 0; ok && number < shape.players; ++number) {
        const QString guid = QString::number(2000000000LL + number);
        const HistoryTime first = when();
        ok = run(player, {QStringLiteral("g:") + guid, guid, first}) && player.next();
        const qint64 id = ok ? player.value(0).toLongLong() : 0;
        player.finish();
        // Between one and twice the average, so that some players have many names.
        const int nameCount = 1 + static_cast<int>(random() % (2 * shape.namesPerPlayer - 1));
        for (int index = 0; ok && index < nameCount; ++index) {
            const QString text = name(static_cast<quint32>(number * 31 + index));
            const HistoryTime seen = when();
            ok = run(names, {id, server, text, HistoryKeys::plainName(text), seen, seen + 3600});
        }
        const int addressCount =
            1 + static_cast<int>(random() % (2 * shape.addressesPerPlayer - 1));
        for (int index = 0; ok && index < addressCount; ++index) {
            const HistoryTime seen = when();
            ok = run(addresses, {id, server,
                                 QStringLiteral("%1.%2.%3.%4")
                                     .arg(random() % 223 + 1)
                                     .arg(random() % 256)
                                     .arg(random() % 256)
                                     .arg(random() % 254 + 1),
                                 seen, seen + 3600});
        }
        const int sessionCount = 1 + static_cast<int>(random() % (2 * shape.sessionsPerPlayer - 1));
        for (int index = 0; ok && index < sessionCount; ++index) {
            const HistoryTime started = when();
            ok = run(sessions, {id, server, started, started + 600 + random() % 7200,
                                QString::number(random() % 100)});
        }
    }
    const HistoryTime step = shape.countEveryMinutes * 60;
    for (HistoryTime at = start; ok && shape.countEveryMinutes > 0 && at < shape.end; at += step) {
        ok = run(counts, {server, at, static_cast<int>(random() % 65)});
    }
    if (!ok || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

qint64 heavyPlayer(HistoryDatabase& database, int names, int sessions, int actions)
{
    QSqlDatabase db = database.db();
    if (!db.transaction()) {
        return 0;
    }
    const qint64 server = serverId(db);
    QSqlQuery player =
        prepared(db, QStringLiteral("INSERT INTO players (player_key, guid, first_seen)"
                                    " VALUES ('g:1999999999', '1999999999', 0)"
                                    " RETURNING id"));
    const qint64 id = player.exec() && player.next() ? player.value(0).toLongLong() : 0;
    player.finish();
    QSqlQuery name = prepared(db, QStringLiteral("INSERT INTO names (player_id, server_id, name,"
                                                 " plain, first_seen, last_seen)"
                                                 " VALUES (?, ?, ?, ?, ?, ?)"));
    QSqlQuery session =
        prepared(db, QStringLiteral("INSERT INTO sessions (player_id, server_id,"
                                    " started, ended, score) VALUES (?, ?, ?, ?, '7')"));
    QSqlQuery action =
        prepared(db, QStringLiteral("INSERT INTO actions (at, server_id, player_id,"
                                    " actor, command, guid, name, slot, address,"
                                    " reason) VALUES (?, ?, ?, 'alice', 'kick x',"
                                    " '1999999999', 'x', '3', '198.51.100.1:1', 'r')"));
    bool ok = id != 0;
    for (int index = 0; ok && index < names; ++index) {
        const QString text = QStringLiteral("heavy^%1name%2").arg(index % 8).arg(index);
        ok = run(name, {id, server, text, HistoryKeys::plainName(text), index, index + 60});
    }
    for (int index = 0; ok && index < sessions; ++index) {
        ok = run(session, {id, server, index * 3600, index * 3600 + 1800});
    }
    for (int index = 0; ok && index < actions; ++index) {
        ok = run(action, {index * 600, server, id});
    }
    if (!ok || !db.commit()) {
        db.rollback();
        return 0;
    }
    return id;
}

} // namespace garrison::HistoryGenerator
