#pragma once

#include "bans/BanRecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace garrisond {

// The ban lists the game server keeps in its own folder: the engine's ("main/ban.txt", or
// "ban.txt") and PunkBuster's ("pb/pbbans.dat", or "main/pb/pbbans.dat"). garrisond reads
// them to import them once, and to show the engine's in the ban list; it never writes them.
class BanFiles {
public:
    enum class Which { Engine, All };
    struct Entry {
        garrison::BanRecord ban; // names, guid, address; PunkBuster's also a reason
        bool punkBuster = false;
    };
    struct Read {
        QList<Entry> entries; // in the files' order
        QStringList paths;    // the files that were read
    };

    // Ban files of a game server folder are small; one of more is not a ban file.
    static constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

    static Read read(const QString& serverDirectory, Which which);
    // A line of a ban file: a guid (32 hex characters, or digits), a name in quotes or the
    // words after the guid, an IPv4 address (with a port), and for PunkBuster's the reason
    // after it. Nothing for a comment, a blank line or a line that names no one.
    static std::optional<garrison::BanRecord> line(const QString& text, bool punkBuster);
};

} // namespace garrisond
