#pragma once

#include "cli/CommandLine.h"
#include "rcon/PlayerRow.h"

#include <QList>
#include <QString>

namespace garrison::cli {

// The answer to "status" (and "sv_hostname") as garrison-rcon prints it.
struct StatusReport {
    QString host;
    QString map;
    QList<PlayerRow> rows;

    // statusText and hostText: the replies as the engine cleans them (header removed).
    static StatusReport fromReplies(const QString& statusText, const QString& hostText);

    // Colour codes are removed from every text unless raw. Table: host and map lines, then
    // aligned columns. JSON: one object. CSV: a header line, then one line per player that
    // also carries host and map, so that each line stands on its own.
    QString format(Format format, bool raw) const;
};

} // namespace garrison::cli
