#pragma once

#include "ServerUser.h"

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <optional>

namespace garrisond {

// The game server that "startserver" starts. It runs as the daemon's child: one at a time, and
// it is stopped when the daemon stops (the daemon cannot tell whether a server that it did not
// start is running). When the daemon dies otherwise, the kernel sends it SIGTERM, except when it
// runs as another user and the daemon is not root: the kernel checks that signal as if the
// daemon sent it, and only the service's stop (which ends every process of the unit) ends it
// then. Its output goes to the daemon's own standard output and error.
class GameServerProcess : public QObject {
    Q_OBJECT

public:
    enum class StartResult { Started, AlreadyRunning, NotConfigured, Failed };

    explicit GameServerProcess(QObject* parent = nullptr);
    ~GameServerProcess() override;

    // The game servers started from now on run as this user.
    void setUser(const ServerUser& user) { m_user = user; }
    const std::optional<ServerUser>& user() const { return m_user; }

    StartResult start(const QString& program, const QStringList& arguments,
                      const QString& workingDirectory);
    bool isRunning() const;
    // Asks the server to end, then kills it if it is still there after `graceMs`.
    void stop(int graceMs = 5000);
    QString errorString() const { return m_error.isEmpty() ? m_process.errorString() : m_error; }

Q_SIGNALS:
    void started();
    void finished(int exitCode);

private:
    void signal(int number);

    QProcess m_process;
    std::optional<ServerUser> m_user;
    QString m_error;
};

} // namespace garrisond
