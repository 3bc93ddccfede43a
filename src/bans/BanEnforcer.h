#pragma once

#include "bans/BanRecord.h"
#include "rcon/PlayerRow.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

namespace garrison {

// Which players of a status table a ban list keeps out, looked up by guid in a hash and by
// address among the address bans only, so that a long list costs little per status.
class BanEnforcer {
public:
    struct Kick {
        QString slot;
        QString name;
        qint64 banId = 0;
        QString reason;
    };

    // Replaces the list; the ones neither active nor timed are dropped at once.
    void setBans(const QList<BanRecord>& bans, const QDateTime& now);
    bool isEmpty() const { return m_byGuid.isEmpty() && m_byAddress.isEmpty(); }

    // The ban keeping out a player with this guid and address on a server known by any of
    // `serverNames`; null when none does.
    const BanRecord* find(const QString& guid, const QString& address,
                          const QStringList& serverNames, const QDateTime& now) const;
    // The players of the rows to kick now.
    QList<Kick> check(const QList<PlayerRow>& rows, const QStringList& serverNames,
                      const QDateTime& now) const;

    // What the player is told before the kick: the reason, without what the console would
    // take for syntax (quotes, semicolons, control bytes), short enough for one line.
    static QString tellText(const QString& reason);
    static constexpr int kTellReasonLength = 100;

private:
    struct AddressBan {
        qsizetype index;
        QHostAddress address;
        int prefixLength;
    };

    QList<BanRecord> m_bans;
    QMultiHash<QString, qsizetype> m_byGuid;
    // Parsed once: a status of 64 players meets thousands of address bans.
    QList<AddressBan> m_byAddress;
};

} // namespace garrison
