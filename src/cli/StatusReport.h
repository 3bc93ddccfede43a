#pragma once

#include "cli/CommandLine.h"
#include "rcon/PlayerRow.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace garrison::cli {

// The answer to "status" (and "sv_hostname") as garrison-rcon prints it.
struct StatusReport {
    QString host;
    QString map;
    QList<PlayerRow> rows;
    QDateTime time; // when the status reply came, written as ISO 8601 in UTC

    // statusText and hostText: the replies as the engine cleans them (header removed).
    static StatusReport fromReplies(const QString& statusText, const QString& hostText,
                                    const QDateTime& time);

    // Colour codes are removed from every text unless raw. Table: host and map lines, then
    // aligned columns. JSON: one object. CSV: a header line unless csvHeader is false (the
    // rounds of watch after the first), then one line per player that also carries host,
    // map and time, so that each line stands on its own. In JSON and CSV the ping is a number
    // only for an active player; "state" says "active", "connecting" or "zombie".
    QString format(Format format, bool raw, bool csvHeader = true) const;
};

} // namespace garrison::cli
