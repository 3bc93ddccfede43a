#include "BanIndex.h"

#include <algorithm>

using garrison::BanRecord;

namespace garrisond {

void BanIndex::take(const BanRecord& ban, qint64 banRevision)
{
    m_revision = std::max(m_revision, banRevision);
    if (const auto found = m_bans.constFind(ban.id); found != m_bans.cend()) {
        unindex(*found);
    } else if (m_ids.isEmpty() || m_ids.constLast() < ban.id) {
        m_ids.append(ban.id);
    } else {
        // Another garrisond's ban whose id was taken before one seen already.
        m_ids.insert(std::lower_bound(m_ids.begin(), m_ids.end(), ban.id), ban.id);
    }
    m_bans.insert(ban.id, ban);
    index(ban);
}

void BanIndex::index(const BanRecord& ban)
{
    if (!ban.guid.isEmpty()) {
        m_byGuid[ban.guid].append(ban.id);
    }
    if (ban.address.isEmpty()) {
        return;
    }
    if (ban.prefixLength >= 0) {
        m_ranges.insert(ban.id, {QHostAddress(ban.address), ban.prefixLength});
    } else {
        m_byAddress[BanRecord::playerHost(ban.address)].append(ban.id);
    }
}

void BanIndex::unindex(const BanRecord& ban)
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
        remove(m_byGuid, ban.guid);
    }
    m_ranges.remove(ban.id);
    if (!ban.address.isEmpty() && ban.prefixLength < 0) {
        remove(m_byAddress, BanRecord::playerHost(ban.address));
    }
}

std::optional<BanRecord> BanIndex::keepingOut(const QString& guid, const QString& address,
                                              const QString& serverName, const QDateTime& now) const
{
    const auto check = [&](qint64 id) -> const BanRecord* {
        const auto found = m_bans.constFind(id);
        return found != m_bans.cend() && found->keepsOut(guid, address, serverName, now) ? &*found
                                                                                         : nullptr;
    };
    if (const std::optional<QString> normal = BanRecord::normalisedGuid(guid)) {
        for (const qint64 id : m_byGuid.value(*normal)) {
            if (const BanRecord* ban = check(id)) {
                return *ban;
            }
        }
    }
    const QString host = address.isEmpty() ? QString() : BanRecord::playerHost(address);
    if (host.isEmpty()) {
        return std::nullopt;
    }
    for (const qint64 id : m_byAddress.value(host)) {
        if (const BanRecord* ban = check(id)) {
            return *ban;
        }
    }
    const QHostAddress player(host);
    for (auto range = m_ranges.cbegin(); range != m_ranges.cend(); ++range) {
        if (player.isInSubnet(range->first, range->second)) {
            if (const BanRecord* ban = check(range.key())) {
                return *ban;
            }
        }
    }
    return std::nullopt;
}

const BanRecord* BanIndex::find(qint64 id) const
{
    const auto found = m_bans.constFind(id);
    return found == m_bans.cend() ? nullptr : &*found;
}

QList<BanRecord> BanIndex::page(qsizetype offset, qsizetype count) const
{
    QList<BanRecord> bans;
    if (offset < 0 || offset >= m_ids.size() || count <= 0) {
        return bans;
    }
    const qsizetype end = std::min(m_ids.size(), offset + count);
    bans.reserve(end - offset);
    for (qsizetype at = offset; at < end; ++at) {
        bans.append(m_bans.value(m_ids.at(at)));
    }
    return bans;
}

} // namespace garrisond
