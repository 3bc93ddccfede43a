#pragma once

#include "history/HistoryTypes.h"
#include "rcon/PlayerRow.h"

#include <QList>
#include <QString>

namespace garrison {

// Where a session writes what it saw and what was done to its players: the player history.
// The types are the history's plain records; nothing here needs its database.
class SessionRecorder {
public:
    virtual ~SessionRecorder() = default;
    // hostName is empty while the server's name is not known yet.
    virtual void recordStatus(const QString& serverKey, const QString& hostName,
                              const QList<PlayerRow>& rows, HistoryTime at) = 0;
    virtual void recordAction(const PlayerAction& action) = 0;
    // From the daemon's game log events.
    virtual void recordPresence(const PlayerPresence& presence) { Q_UNUSED(presence); }
    virtual void recordReport(const PlayerReport& report) { Q_UNUSED(report); }
};

} // namespace garrison
