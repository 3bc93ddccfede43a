#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace garrisond {

// The daemon's own files: the configuration (with the RCON password), the accounts and the
// audit log. They are opened without following a symbolic link and checked on the open
// descriptor (a regular file, owned by this user or by root), so that whoever may write in
// their folders cannot point the daemon at another file. Nothing else is ever changed.
class SecretFile {
public:
    enum class Use {
        Serve, // the file must be this user's or root's
        Edit,  // the same, except that root may edit any user's file, which stays that user's
    };

    // The whole file; a missing file gives true with *missing set.
    static bool read(const QString& path, Use use, QByteArray* content, bool* missing,
                     QString* error);
    // Replaces the file in one step: the content goes to a new file beside it (0600 from the
    // start), is synced and renamed over it. The new file keeps the old one's owner and group;
    // a file made anew by root belongs to the owner of its folder (the service's user).
    static bool write(const QString& path, const QByteArray& content, QString* error);
    // For appending, created 0600 when missing; -1 with *error when the path is no regular
    // file of this user's.
    static int openForAppend(const QString& path, QString* error);
    // At start: every existing file of `paths` must be fit to serve, or false with the reason
    // and nothing changed. Then those that others may read are made 0600 when they are this
    // user's; one note for each such file, fixed or not.
    static bool secure(const QStringList& paths, QStringList* notes, QString* error);
};

} // namespace garrisond
