#include "GameServerProcess.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace garrisond {

GameServerProcess::GameServerProcess(QObject* parent) : QObject(parent)
{
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::started, this, &GameServerProcess::started);
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus) { Q_EMIT finished(exitCode); });
}

GameServerProcess::~GameServerProcess()
{
    stop();
}

GameServerProcess::StartResult GameServerProcess::start(const QString& program,
                                                        const QStringList& arguments,
                                                        const QString& workingDirectory)
{
    if (program.isEmpty()) {
        return StartResult::NotConfigured;
    }
    if (isRunning()) {
        return StartResult::AlreadyRunning;
    }
    m_process.setWorkingDirectory(workingDirectory);
    // In the child, between fork and exec: system calls only. The game server must not outlive
    // the daemon, however the daemon ends (a stop of the service, a crash, SIGKILL).
    const pid_t daemon = ::getpid();
    m_process.setChildProcessModifier([daemon] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != daemon) {
            ::_exit(1);
        }
    });
    m_process.start(program, arguments);
    return m_process.waitForStarted(5000) ? StartResult::Started : StartResult::Failed;
}

bool GameServerProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

void GameServerProcess::stop(int graceMs)
{
    if (!isRunning()) {
        return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(graceMs)) {
        m_process.kill();
        m_process.waitForFinished(graceMs);
    }
}

} // namespace garrisond
