#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>

namespace garrisond {

// The game server that "startserver" starts. It runs as the daemon's child: one at a time, and
// it is stopped when the daemon stops, or sent SIGTERM when the daemon dies (the daemon cannot
// tell whether a server that it did not start is running). Its output goes to the daemon's own
// standard output and error.
class GameServerProcess : public QObject {
    Q_OBJECT

public:
    enum class StartResult { Started, AlreadyRunning, NotConfigured, Failed };

    explicit GameServerProcess(QObject* parent = nullptr);
    ~GameServerProcess() override;

    StartResult start(const QString& program, const QStringList& arguments,
                      const QString& workingDirectory);
    bool isRunning() const;
    // Asks the server to end, then kills it if it is still there after `graceMs`.
    void stop(int graceMs = 5000);
    QString errorString() const { return m_process.errorString(); }

Q_SIGNALS:
    void started();
    void finished(int exitCode);

private:
    QProcess m_process;
};

} // namespace garrisond
