#include "BanEnforcer.h"

namespace garrison {

namespace {

bool covers(const BanRecord& ban, const QStringList& serverNames)
{
    if (ban.servers.isEmpty()) {
        return true;
    }
    for (const QString& name : serverNames) {
        if (!name.isEmpty() && ban.coversServer(name)) {
            return true;
        }
    }
    return false;
}

} // namespace

void BanEnforcer::setBans(const QList<BanRecord>& bans, const QDateTime& now)
{
    m_bans.clear();
    m_byGuid.clear();
    m_byAddress.clear();
    for (const BanRecord& ban : bans) {
        if (ban.state(now) != BanRecord::State::Active) {
            continue;
        }
        const qsizetype index = m_bans.size();
        m_bans.append(ban);
        if (!ban.guid.isEmpty()) {
            m_byGuid.insert(ban.guid.toLower(), index);
        }
        const QHostAddress address(ban.address);
        if (!address.isNull()) {
            m_byAddress.append({index, address, ban.prefixLength});
        }
    }
}

const BanRecord* BanEnforcer::find(const QString& guid, const QString& address,
                                   const QStringList& serverNames, const QDateTime& now) const
{
    const QString key = guid.trimmed().toLower();
    // A bot, or a player the server has not vouched for yet, prints 0 or nothing.
    if (!key.isEmpty() && key != QLatin1String("0")) {
        for (auto it = m_byGuid.constFind(key); it != m_byGuid.cend() && it.key() == key; ++it) {
            const BanRecord& ban = m_bans.at(it.value());
            if (covers(ban, serverNames) && ban.state(now) == BanRecord::State::Active) {
                return &ban;
            }
        }
    }
    if (m_byAddress.isEmpty()) {
        return nullptr;
    }
    // The server prints "address:port", "[v6]:port", or for a bot "bot".
    QString host = address.trimmed();
    QHostAddress player(host);
    if (player.isNull()) {
        host = host.left(host.lastIndexOf(QLatin1Char(':')));
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
            host = host.mid(1, host.size() - 2);
        }
        player = QHostAddress(host);
    }
    if (player.isNull()) {
        return nullptr;
    }
    for (const AddressBan& entry : m_byAddress) {
        const bool matches =
            entry.prefixLength < 0
                ? player.isEqual(entry.address, QHostAddress::ConvertV4MappedToIPv4)
                : player.isInSubnet(entry.address, entry.prefixLength);
        if (!matches) {
            continue;
        }
        const BanRecord& ban = m_bans.at(entry.index);
        if (covers(ban, serverNames) && ban.state(now) == BanRecord::State::Active) {
            return &ban;
        }
    }
    return nullptr;
}

QList<BanEnforcer::Kick> BanEnforcer::check(const QList<PlayerRow>& rows,
                                            const QStringList& serverNames,
                                            const QDateTime& now) const
{
    QList<Kick> kicks;
    if (isEmpty()) {
        return kicks;
    }
    for (const PlayerRow& row : rows) {
        const QString slot = row[PlayerRow::Slot].trimmed();
        if (slot.isEmpty()) {
            continue;
        }
        if (const BanRecord* ban =
                find(row[PlayerRow::Guid], row[PlayerRow::Address], serverNames, now)) {
            kicks.append({slot, row[PlayerRow::Name], ban->id, ban->reason});
        }
    }
    return kicks;
}

QString BanEnforcer::tellText(const QString& reason)
{
    QString text;
    text.reserve(std::min<qsizetype>(reason.size(), kTellReasonLength));
    for (const QChar character : reason) {
        if (text.size() >= kTellReasonLength) {
            break;
        }
        if (character.unicode() < 0x20 || character.unicode() == 0x7f) {
            text.append(QLatin1Char(' '));
        } else if (character == QLatin1Char('"')) {
            text.append(QLatin1Char('\''));
        } else if (character == QLatin1Char(';')) {
            text.append(QLatin1Char(','));
        } else {
            text.append(character);
        }
    }
    text = text.simplified();
    // The reason's colours end where it ends.
    return text.isEmpty()
               ? QStringLiteral("You are banned from this server.")
               : QStringLiteral("You are banned from this server: ") + text + QStringLiteral("^7");
}

} // namespace garrison
