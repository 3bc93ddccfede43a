#include "SimSignalWatcher.h"

#include <csignal>

#ifdef Q_OS_WIN
#include <QThread>
#include <atomic>
#include <windows.h>
#else
#include <QSocketNotifier>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace garrison::sim {

#ifdef Q_OS_WIN

namespace {

std::atomic<SimSignalWatcher*> g_watcher = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    SimSignalWatcher* watcher = g_watcher.load();
    if (watcher == nullptr) {
        return FALSE;
    }
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    QMetaObject::invokeMethod(
        watcher,
        [watcher, signalNumber = interrupt ? SIGINT : SIGTERM] {
            Q_EMIT watcher->terminationRequested(signalNumber);
        },
        Qt::QueuedConnection);
    if (!interrupt) {
        // The system ends the process as soon as this returns: wait (a few seconds at most)
        // until the event loop has stopped the server and the watcher is gone.
        for (int waited = 0; waited < 4000 && g_watcher.load() != nullptr; waited += 10) {
            QThread::msleep(10);
        }
    }
    return TRUE;
}

} // namespace

SimSignalWatcher::SimSignalWatcher(QObject* parent) : QObject(parent)
{
    g_watcher = this;
    m_valid = SetConsoleCtrlHandler(&onConsoleEvent, TRUE) != 0;
    if (!m_valid) {
        g_watcher = nullptr;
    }
}

SimSignalWatcher::~SimSignalWatcher()
{
    if (m_valid) {
        SetConsoleCtrlHandler(&onConsoleEvent, FALSE);
        g_watcher = nullptr;
    }
}

#else

namespace {
int g_pair[2] = {-1, -1};
} // namespace

SimSignalWatcher::SimSignalWatcher(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pair) != 0) {
        return;
    }
    m_valid = true;
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimSignalWatcher::drain);

    struct sigaction action = {};
    action.sa_handler = &SimSignalWatcher::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

SimSignalWatcher::~SimSignalWatcher()
{
    if (!m_valid) {
        return;
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    ::close(g_pair[0]);
    ::close(g_pair[1]);
    g_pair[0] = g_pair[1] = -1;
}

void SimSignalWatcher::handle(int signalNumber)
{
    // Only async-signal-safe calls here.
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pair[0], &byte, 1);
}

void SimSignalWatcher::drain()
{
    char byte = 0;
    if (::read(g_pair[1], &byte, 1) == 1) {
        Q_EMIT terminationRequested(static_cast<unsigned char>(byte));
    }
}

#endif

} // namespace garrison::sim
