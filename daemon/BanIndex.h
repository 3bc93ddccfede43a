#pragma once

#include "bans/BanRecord.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <optional>

namespace garrisond {

// Every ban in memory, with the indexes that make the check of a joining player take a few
// microseconds, and the last revision of the list that it holds. Copies are cheap (shared
// until changed), so a list read on a thread is handed over whole.
class BanIndex {
public:
    // Takes the ban in, or in place of the one with its id.
    void take(const garrison::BanRecord& ban, qint64 banRevision);

    // The active ban that keeps this player out of serverName, if any.
    std::optional<garrison::BanRecord> keepingOut(const QString& guid, const QString& address,
                                                  const QString& serverName,
                                                  const QDateTime& now) const;
    const garrison::BanRecord* find(qint64 id) const;
    qsizetype size() const { return m_bans.size(); }
    qint64 revision() const { return m_revision; }
    bool hasAddressBans() const { return !m_byAddress.isEmpty() || !m_ranges.isEmpty(); }
    // Up to `count` bans from the offset-th on, by their ids: new bans come last, so pages
    // asked one after the other miss none that were there when the first was.
    QList<garrison::BanRecord> page(qsizetype offset, qsizetype count) const;

private:
    void index(const garrison::BanRecord& ban);
    void unindex(const garrison::BanRecord& ban);

    QHash<qint64, garrison::BanRecord> m_bans;
    QList<qint64> m_ids; // ascending
    QHash<QString, QList<qint64>> m_byGuid;
    QHash<QString, QList<qint64>> m_byAddress;
    // Ranges are few and tried one by one, with their network parsed once.
    QHash<qint64, std::pair<QHostAddress, int>> m_ranges;
    qint64 m_revision = 0;
};

} // namespace garrisond
