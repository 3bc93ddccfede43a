#include "BanRequests.h"

#include "BanEnforcer.h"
#include "BanFiles.h"
#include "BanStore.h"
#include "WireText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

using garrison::BanRecord;

namespace garrisond {

namespace {

using Kind = DaemonMessage::Kind;

QByteArray line(const QString& text)
{
    return WireText::encode(text) + '\n';
}

// One ban of a list answer: its JSON on one line.
QByteArray jsonLine(const BanRecord& ban, const QDateTime& now)
{
    return line(QString::fromUtf8(QJsonDocument(ban.toJson(now)).toJson(QJsonDocument::Compact)));
}

BanRequests::Answer refused(const QString& why)
{
    return {line(QStringLiteral("BANREFUSED ") + why), QStringLiteral("ban-refused"), why};
}

std::optional<QJsonObject> object(const QString& body, QString* why)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        *why = QStringLiteral("the request needs one JSON object after its word");
        return std::nullopt;
    }
    return document.object();
}

// What is audited of a ban: who it keeps out, for how long, why.
QString describe(const BanRecord& ban)
{
    return QStringLiteral("id=%1 guid=%2 address=%3 until=%4 reason=%5")
        .arg(ban.id)
        .arg(ban.guid.isEmpty() ? QStringLiteral("-") : ban.guid,
             ban.address.isEmpty()
                 ? QStringLiteral("-")
                 : ban.toJson(QDateTime()).value(QStringLiteral("address")).toString(),
             ban.until ? ban.until->toUTC().toString(Qt::ISODate) : QStringLiteral("permanent"),
             ban.reason.left(80));
}

} // namespace

QString BanRequests::body(const QString& text)
{
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : text.mid(blank + 1);
}

void BanRequests::answer(const DaemonMessage& message, const Asker& asker, const QDateTime& now,
                         QObject* context, const Reply& reply)
{
    if (message.kind == Kind::ImportBans) {
        if (asker.level != QLatin1String("poweradmin")) {
            reply(refused(QStringLiteral("only poweradmin may import the ban files")));
            return;
        }
        import(asker, now, context, reply);
        return;
    }
    if (!asker.banLevels.contains(asker.level)) {
        reply(refused(QStringLiteral("the level %1 may not read or change the bans (ban_levels)")
                          .arg(asker.level)));
        return;
    }
    switch (message.kind) {
    case Kind::GetBans:
        reply(list(body(message.text), now));
        return;
    case Kind::GetEngineBans:
        reply(engineBans(asker, now));
        return;
    case Kind::AddBan:
        add(body(message.text), asker, now, context, reply);
        return;
    case Kind::EditBan:
        edit(body(message.text), now, context, reply);
        return;
    case Kind::LiftBan:
        lift(body(message.text), asker, now, context, reply);
        return;
    default:
        reply(refused(QStringLiteral("not a ban request")));
        return;
    }
}

BanRequests::Answer BanRequests::list(const QString& body, const QDateTime& now) const
{
    QString header;
    QList<BanRecord> bans;
    if (body.isEmpty()) {
        // The whole list at once, for clients that do not ask for pages.
        bans = m_store.all();
        header = QStringLiteral("BANLIST %1").arg(bans.size());
    } else {
        QString why;
        const std::optional<QJsonObject> json = object(body, &why);
        if (!json) {
            return refused(why);
        }
        const qint64 offset = json->value(QStringLiteral("offset")).toInteger(-1);
        const qint64 count = json->value(QStringLiteral("count")).toInteger(-1);
        if (offset < 0 || count < 1 || count > kMaxPage) {
            return refused(QStringLiteral("a page needs \"offset\" (0 or more) and \"count\" "
                                          "(1 to %1)")
                               .arg(kMaxPage));
        }
        bans = m_store.page(offset, count);
        header =
            QStringLiteral("BANLIST %1 %2 %3").arg(bans.size()).arg(m_store.size()).arg(offset);
    }
    QByteArray bytes = line(header);
    for (const BanRecord& ban : std::as_const(bans)) {
        bytes += jsonLine(ban, now);
    }
    return {bytes, QStringLiteral("getbans"), header.mid(8)};
}

void BanRequests::add(const QString& body, const Asker& asker, const QDateTime& now,
                      QObject* context, const Reply& reply)
{
    QString why;
    const std::optional<QJsonObject> json = object(body, &why);
    if (!json) {
        reply(refused(why));
        return;
    }
    std::optional<BanRecord> ban = BanRecord::fromJson(*json, &why);
    if (!ban) {
        reply(refused(why));
        return;
    }
    if (ban->until && *ban->until <= now) {
        reply(refused(QStringLiteral("the ban would end before it begins (until %1)")
                          .arg(ban->until->toUTC().toString(Qt::ISODate))));
        return;
    }
    ban->id = 0;
    ban->issuedBy = asker.account;
    ban->issuedAt = now;
    ban->lifted = false;
    ban->liftedBy.clear();
    ban->liftNote.clear();
    ban->liftedAt = QDateTime();
    if (!ban->guid.isEmpty()) {
        ban->evidence = m_enforcer.evidence(ban->guid);
        if (ban->names.isEmpty() && !m_enforcer.nameOf(ban->guid).isEmpty()) {
            ban->names = {m_enforcer.nameOf(ban->guid)};
        }
    } else {
        ban->evidence.clear();
    }
    m_store.add(*ban, context, [reply, ban = *ban](const BanStore::Result& result) mutable {
        if (!result.error.isEmpty()) {
            reply(refused(result.error));
            return;
        }
        ban.id = result.id;
        reply({line(QStringLiteral("BANADDED %1").arg(result.id)), QStringLiteral("ban-added"),
               describe(ban)});
    });
}

void BanRequests::edit(const QString& body, const QDateTime& now, QObject* context,
                       const Reply& reply)
{
    QString why;
    const std::optional<QJsonObject> json = object(body, &why);
    if (!json) {
        reply(refused(why));
        return;
    }
    const qint64 id = json->value(QStringLiteral("id")).toInteger();
    std::optional<BanRecord> ban = m_store.find(id);
    if (!ban) {
        reply(refused(QStringLiteral("there is no ban %1").arg(id)));
        return;
    }
    // Only the fields given change.
    QJsonObject merged = ban->toJson(now);
    for (const QString& key : {QStringLiteral("reason"), QStringLiteral("until"),
                               QStringLiteral("servers"), QStringLiteral("note")}) {
        if (json->contains(key)) {
            merged.insert(key, json->value(key));
        }
    }
    std::optional<BanRecord> changed = BanRecord::fromJson(merged, &why);
    if (!changed) {
        reply(refused(why));
        return;
    }
    changed->id = id;
    m_store.edit(*changed, context, [reply, changed = *changed](const BanStore::Result& result) {
        if (!result.error.isEmpty()) {
            reply(refused(result.error));
            return;
        }
        reply({line(QStringLiteral("BANCHANGED %1").arg(changed.id)), QStringLiteral("ban-edited"),
               describe(changed)});
    });
}

void BanRequests::lift(const QString& body, const Asker& asker, const QDateTime& now,
                       QObject* context, const Reply& reply)
{
    QString why;
    const std::optional<QJsonObject> json = object(body, &why);
    if (!json) {
        reply(refused(why));
        return;
    }
    const qint64 id = json->value(QStringLiteral("id")).toInteger();
    const QString note = json->value(QStringLiteral("note")).toString();
    m_store.lift(
        id, asker.account, note, now, context, [reply, id, note](const BanStore::Result& result) {
            if (!result.error.isEmpty()) {
                reply(refused(result.error));
                return;
            }
            reply({line(QStringLiteral("BANCHANGED %1").arg(id)), QStringLiteral("ban-lifted"),
                   QStringLiteral("id=%1 note=%2").arg(id).arg(note.left(80))});
        });
}

BanRequests::Answer BanRequests::engineBans(const Asker& asker, const QDateTime& now) const
{
    if (asker.serverDirectory.isEmpty()) {
        return refused(QStringLiteral("server_directory is not set: garrisond does not know "
                                      "where the engine's ban file is"));
    }
    const BanFiles::Read read = BanFiles::read(asker.serverDirectory, BanFiles::Which::Engine);
    QByteArray bytes = line(QStringLiteral("BANFILE %1").arg(read.entries.size()));
    for (const BanFiles::Entry& entry : read.entries) {
        bytes += jsonLine(entry.ban, now);
    }
    return {bytes, QStringLiteral("getenginebans"), QString::number(read.entries.size())};
}

void BanRequests::import(const Asker& asker, const QDateTime& now, QObject* context,
                         const Reply& reply)
{
    if (asker.serverDirectory.isEmpty()) {
        reply(refused(QStringLiteral("server_directory is not set: garrisond does not know "
                                     "where the ban files are")));
        return;
    }
    const BanFiles::Read read = BanFiles::read(asker.serverDirectory, BanFiles::Which::All);
    QList<BanRecord> bans;
    qsizetype skipped = 0;
    QSet<QString> taken;
    for (BanFiles::Entry entry : read.entries) {
        BanRecord& ban = entry.ban;
        // One player in both files, or banned already, is banned once.
        const QString key = ban.guid.isEmpty() ? ban.address : ban.guid;
        if (taken.contains(key) || m_store.keepingOut(ban.guid, ban.address, QString(), now) ||
            !ban.problem().isEmpty()) {
            ++skipped;
            continue;
        }
        taken.insert(key);
        ban.issuedBy = asker.account;
        ban.issuedAt = now;
        ban.note =
            QStringLiteral("imported from the %1 ban file")
                .arg(entry.punkBuster ? QStringLiteral("PunkBuster") : QStringLiteral("engine"));
        bans.append(ban);
    }
    if (read.paths.isEmpty()) {
        reply(refused(QStringLiteral("no ban file in %1 (main/ban.txt, pb/pbbans.dat)")
                          .arg(asker.serverDirectory)));
        return;
    }
    const Answer done{line(QStringLiteral("BANIMPORTED %1 %2").arg(bans.size()).arg(skipped)),
                      QStringLiteral("bans-imported"),
                      QStringLiteral("%1 added, %2 skipped, from %3")
                          .arg(bans.size())
                          .arg(skipped)
                          .arg(read.paths.join(QStringLiteral(", ")))};
    if (bans.isEmpty()) {
        reply(done);
        return;
    }
    m_store.addAll(bans, context, [reply, done](const BanStore::Result& result) {
        reply(result.error.isEmpty() ? done : refused(result.error));
    });
}

} // namespace garrisond
