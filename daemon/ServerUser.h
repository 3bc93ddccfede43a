#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>

namespace garrisond {

// The user that the game server runs as (server_user). The game server is the part most open to
// the network; under a user of its own it cannot write the daemon's configuration, accounts or
// audit log, nor signal or trace the daemon. Switching a child to it needs root, or the
// capabilities CAP_SETUID and CAP_SETGID, which confine() then narrows to this user alone.
class ServerUser {
public:
    // The user of that name; never root.
    static std::optional<ServerUser> find(const QString& name, QString* error);

    QString name() const { return m_name; }
    uid_t uid() const { return m_uid; }
    gid_t gid() const { return m_gid; }

    // Whether this process may switch a child to the user.
    bool canSwitch(QString* error) const;
    // Run in a new child between fork and exec: takes the user's ids (no supplementary groups),
    // drops every capability and sets the umask to 027, so that the daemon, a member of the
    // user's group, can read the game log. A child that cannot switch ends with code 127.
    std::function<void()> childSwitch() const;
    // Sends a signal to a process of this user. A daemon that is not root may not signal
    // another user's process: a short-lived child takes the user's id to send it.
    bool signal(pid_t pid, int number) const;
    // From now on, for this process and its children, a change of user or group ids succeeds
    // only towards this user, and supplementary groups can only be dropped, whatever
    // capabilities the process holds: taking over the daemon does not give root.
    bool confine(QString* error) const;

private:
    ServerUser(QString name, uid_t uid, gid_t gid);

    QString m_name;
    uid_t m_uid;
    gid_t m_gid;
};

} // namespace garrisond
