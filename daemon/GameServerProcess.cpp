#include "GameServerProcess.h"

#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

namespace garrisond {

GameServerProcess::GameServerProcess(QObject* parent) : QObject(parent)
{
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::started, this, &GameServerProcess::started);
    m_killTimer.setSingleShot(true);
    connect(&m_killTimer, &QTimer::timeout, this, [this] { signal(SIGKILL); });
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                m_killTimer.stop();
                const Exit exit{exitCode, status == QProcess::CrashExit,
                                std::exchange(m_stopRequested, false)};
                Q_EMIT finished(exit);
            });
}

QString GameServerProcess::Exit::describe() const
{
    return signalled ? QStringLiteral("signal %1 (%2)")
                           .arg(code)
                           .arg(QString::fromLocal8Bit(::strsignal(code)))
                     : QStringLiteral("exit status %1").arg(code);
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
    m_error.clear();
    m_stopRequested = false;
    if (m_user && !m_user->canSwitch(&m_error)) {
        return StartResult::Failed;
    }
    m_process.setWorkingDirectory(workingDirectory);
    // In the child, between fork and exec: system calls only. The game server must not outlive
    // the daemon (see the class comment for the one exception); the setting goes after the
    // change of user, which clears it.
    const pid_t daemon = ::getpid();
    const std::function<void()> switchUser = m_user ? m_user->childSwitch() : nullptr;
    m_process.setChildProcessModifier([daemon, switchUser] {
        if (switchUser) {
            switchUser();
        }
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
    m_stopRequested = true;
    signal(SIGTERM);
    signal(SIGCONT);
    if (!m_process.waitForFinished(graceMs)) {
        signal(SIGKILL);
        m_process.waitForFinished(graceMs);
    }
}

void GameServerProcess::terminate(int graceMs)
{
    if (!isRunning() || m_killTimer.isActive()) {
        return;
    }
    m_stopRequested = true;
    signal(SIGTERM);
    signal(SIGCONT);
    m_killTimer.start(graceMs);
}

void GameServerProcess::signal(int number)
{
    const auto pid = static_cast<pid_t>(m_process.processId());
    if (pid <= 0) {
        return; // kill(0, …) would signal the daemon's whole process group
    }
    if (!m_user) {
        ::kill(pid, number);
    } else if (!m_user->signal(pid, number)) {
        m_error = QStringLiteral("cannot signal the game server (%1): %2")
                      .arg(m_user->name(), qt_error_string(errno));
    }
}

} // namespace garrisond
