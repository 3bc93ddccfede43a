#include "BanRecord.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <tuple>

namespace garrison {

namespace {

QJsonArray toArray(const QStringList& list)
{
    return QJsonArray::fromStringList(list);
}

QStringList fromArray(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& item : value.toArray()) {
        list.append(item.toString());
    }
    return list;
}

QString isoUtc(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QString();
}

QDateTime fromIso(const QJsonValue& value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODate);
}

// The first control character of the text, or nothing.
std::optional<QChar> controlCharacter(const QString& text)
{
    for (const QChar character : text) {
        if (character.category() == QChar::Other_Control) {
            return character;
        }
    }
    return std::nullopt;
}

QString checkedText(const QString& what, const QString& text, qsizetype most)
{
    if (text.size() > most) {
        return QStringLiteral("the %1 has %2 characters; at most %3")
            .arg(what)
            .arg(text.size())
            .arg(most);
    }
    if (const std::optional<QChar> control = controlCharacter(text)) {
        return QStringLiteral("the %1 holds a control character (U+%2)")
            .arg(what)
            .arg(control->unicode(), 4, 16, QLatin1Char('0'));
    }
    return {};
}

} // namespace

QString BanRecord::problem() const
{
    if (guid.isEmpty() && address.isEmpty()) {
        return QStringLiteral("a ban needs a guid or an address");
    }
    if (!guid.isEmpty() && !normalisedGuid(guid)) {
        return QStringLiteral("a guid is up to 20 digits or 32 hexadecimal characters");
    }
    for (const QString& name : names) {
        if (const QString why = checkedText(QStringLiteral("name"), name, kMaxNameLength);
            !why.isEmpty()) {
            return why;
        }
    }
    if (servers.size() > kMaxServers) {
        return QStringLiteral("a ban names at most %1 servers").arg(kMaxServers);
    }
    for (const QString& server : servers) {
        if (const QString why = checkedText(QStringLiteral("server name"), server, kMaxNameLength);
            !why.isEmpty()) {
            return why;
        }
    }
    for (const auto& [what, text, most] :
         {std::tuple(QStringLiteral("reason"), reason, kMaxReasonLength),
          std::tuple(QStringLiteral("note"), note, kMaxNoteLength),
          std::tuple(QStringLiteral("note"), liftNote, kMaxNoteLength)}) {
        if (const QString why = checkedText(what, text, most); !why.isEmpty()) {
            return why;
        }
    }
    return {};
}

BanRecord::State BanRecord::state(const QDateTime& now) const
{
    if (lifted) {
        return State::Lifted;
    }
    if (until && *until <= now) {
        return State::Expired;
    }
    return State::Active;
}

QString BanRecord::stateName(State state)
{
    switch (state) {
    case State::Active:
        return QStringLiteral("active");
    case State::Expired:
        return QStringLiteral("expired");
    case State::Lifted:
        return QStringLiteral("lifted");
    }
    return {};
}

bool BanRecord::coversServer(const QString& serverName) const
{
    return servers.isEmpty() || servers.contains(serverName, Qt::CaseInsensitive);
}

bool BanRecord::keepsOut(const QString& playerGuid, const QString& playerAddress,
                         const QString& serverName, const QDateTime& now) const
{
    if (state(now) != State::Active || !coversServer(serverName)) {
        return false;
    }
    if (!guid.isEmpty() && guid.compare(playerGuid.trimmed(), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (address.isEmpty() || playerAddress.isEmpty()) {
        return false;
    }
    const QHostAddress player(playerHost(playerAddress));
    const QHostAddress banned(address);
    if (player.isNull() || banned.isNull()) {
        return false;
    }
    if (prefixLength < 0) {
        return player.isEqual(banned, QHostAddress::ConvertV4MappedToIPv4);
    }
    return player.isInSubnet(banned, prefixLength);
}

QString BanRecord::playerHost(const QString& playerAddress)
{
    QString host = playerAddress.trimmed();
    if (QHostAddress(host).isNull()) {
        host = host.left(host.lastIndexOf(QLatin1Char(':')));
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
            host = host.mid(1, host.size() - 2);
        }
    }
    const QHostAddress address(host);
    if (address.isNull()) {
        return {};
    }
    bool v4 = false;
    const quint32 mapped = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(mapped).toString() : address.toString();
}

QJsonObject BanRecord::toJson(const QDateTime& now) const
{
    QJsonObject object{
        {QStringLiteral("id"), id},
        {QStringLiteral("names"), toArray(names)},
        {QStringLiteral("guid"), guid},
        {QStringLiteral("address"),
         prefixLength >= 0 ? address + QLatin1Char('/') + QString::number(prefixLength) : address},
        {QStringLiteral("reason"), reason},
        {QStringLiteral("until"), until ? QJsonValue(isoUtc(*until)) : QJsonValue()},
        {QStringLiteral("by"), issuedBy},
        {QStringLiteral("at"), isoUtc(issuedAt)},
        {QStringLiteral("servers"), toArray(servers)},
        {QStringLiteral("state"), stateName(state(now))},
        {QStringLiteral("note"), note},
        {QStringLiteral("evidence"), toArray(evidence)},
    };
    if (lifted) {
        object.insert(QStringLiteral("lifted_by"), liftedBy);
        object.insert(QStringLiteral("lifted_at"), isoUtc(liftedAt));
        object.insert(QStringLiteral("lift_note"), liftNote);
    }
    return object;
}

std::optional<BanRecord> BanRecord::fromJson(const QJsonObject& object, QString* error)
{
    const auto fail = [error](const QString& why) -> std::optional<BanRecord> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    BanRecord ban;
    ban.id = object.value(QStringLiteral("id")).toInteger();
    ban.names = fromArray(object.value(QStringLiteral("names")));
    const QString guidText = object.value(QStringLiteral("guid")).toString();
    if (!guidText.isEmpty()) {
        const std::optional<QString> guid = normalisedGuid(guidText);
        if (!guid) {
            return fail(QStringLiteral("\"%1\" is not a guid").arg(guidText.left(40)));
        }
        ban.guid = *guid;
    }
    const QString addressText = object.value(QStringLiteral("address")).toString();
    if (!addressText.isEmpty()) {
        QString why;
        if (!parseAddress(addressText, &ban.address, &ban.prefixLength, &why)) {
            return fail(why);
        }
    }
    if (ban.guid.isEmpty() && ban.address.isEmpty()) {
        return fail(QStringLiteral("a ban needs a guid or an address"));
    }
    ban.reason = object.value(QStringLiteral("reason")).toString();
    const QJsonValue until = object.value(QStringLiteral("until"));
    if (!until.isNull() && !until.isUndefined()) {
        const QDateTime time = fromIso(until);
        if (!time.isValid()) {
            return fail(QStringLiteral("\"%1\" is not a time").arg(until.toString().left(40)));
        }
        ban.until = time;
    }
    ban.issuedBy = object.value(QStringLiteral("by")).toString();
    ban.issuedAt = fromIso(object.value(QStringLiteral("at")));
    ban.servers = fromArray(object.value(QStringLiteral("servers")));
    ban.note = object.value(QStringLiteral("note")).toString();
    ban.evidence = fromArray(object.value(QStringLiteral("evidence")));
    ban.lifted = object.value(QStringLiteral("state")).toString() == stateName(State::Lifted);
    ban.liftedBy = object.value(QStringLiteral("lifted_by")).toString();
    ban.liftedAt = fromIso(object.value(QStringLiteral("lifted_at")));
    ban.liftNote = object.value(QStringLiteral("lift_note")).toString();
    return ban;
}

bool BanRecord::parseAddress(const QString& text, QString* address, int* prefixLength,
                             QString* error)
{
    const QString trimmed = text.trimmed();
    const qsizetype slash = trimmed.indexOf(QLatin1Char('/'));
    const QHostAddress host(slash < 0 ? trimmed : trimmed.left(slash));
    if (host.isNull()) {
        if (error != nullptr) {
            *error = QStringLiteral("\"%1\" is not an address").arg(trimmed.left(60));
        }
        return false;
    }
    int length = -1;
    if (slash >= 0) {
        bool ok = false;
        length = trimmed.mid(slash + 1).toInt(&ok);
        const int most = host.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
        if (!ok || length < 0 || length > most) {
            if (error != nullptr) {
                *error = QStringLiteral("\"%1\" is not a prefix length for %2")
                             .arg(trimmed.mid(slash + 1).left(20), host.toString());
            }
            return false;
        }
    }
    // A range is kept by its network: "192.0.2.7/24" is 192.0.2.0/24.
    *address = length < 0 ? host.toString()
                          : QHostAddress::parseSubnet(host.toString() + QLatin1Char('/') +
                                                      QString::number(length))
                                .first.toString();
    *prefixLength = length;
    return true;
}

std::optional<QString> BanRecord::normalisedGuid(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,20}$"));
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{32}$"));
    const QString trimmed = text.trimmed();
    if (digits.match(trimmed).hasMatch() || hex.match(trimmed).hasMatch()) {
        return trimmed.toLower();
    }
    return std::nullopt;
}

} // namespace garrison
