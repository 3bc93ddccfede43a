#pragma once

#include "ServerUser.h"

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>
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
    // How a game server ended.
    struct Exit {
        int code = 0;           // the exit status, or the signal's number
        bool signalled = false; // ended by a signal
        bool requested = false; // garrisond asked it to end (stop() or terminate())
        // "exit status 3", "signal 9 (Killed)"
        QString describe() const;
        // An exit that nobody asked for and that was not a clean quit (status 0): a crash.
        bool isCrash() const { return !requested && (signalled || code != 0); }
    };

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
    // The same without waiting: finished() tells when it is over. A stopped (SIGSTOP) server is
    // continued, so that it can take the request to end.
    void terminate(int graceMs = 5000);
    qint64 processId() const { return m_process.processId(); }
    QString errorString() const { return m_error.isEmpty() ? m_process.errorString() : m_error; }

Q_SIGNALS:
    void started();
    void finished(const GameServerProcess::Exit& exit);

private:
    void signal(int number);

    QProcess m_process;
    QTimer m_killTimer;
    bool m_stopRequested = false;
    std::optional<ServerUser> m_user;
    QString m_error;
};

} // namespace garrisond
