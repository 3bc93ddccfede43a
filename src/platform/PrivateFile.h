#pragma once

#include <QFile>
#include <QString>
#include <optional>

namespace garrison {

// Files that hold passwords or what the program learnt about people (the relay's ini file, the
// player history) are for their owner only, whatever the umask.
class PrivateFile {
public:
    // Opens file for writing; a file that does not exist yet is created readable and writable
    // by its owner only, so that nobody else can open it even for a moment.
    static bool open(QFile& file, QIODevice::OpenMode mode);
    // Takes every permission of group and others from an existing file, keeping the owner's
    // own (a read-only file stays read-only). False only when a file stays open to others.
    static bool restrict(const QString& path);
    // The permission bits of a file that its group or others may use, as chmod writes them
    // (0644); nothing when only its owner may. Nothing on Windows, whose files carry access
    // lists instead (a user's own folders are private there already).
    static std::optional<uint> sharedMode(const QString& path);
};

} // namespace garrison
