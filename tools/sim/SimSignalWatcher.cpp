#include "SimSignalWatcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace garrison::sim {

namespace {
int g_pair[2] = {-1, -1};
} // namespace

SimSignalWatcher::SimSignalWatcher(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pair) != 0) {
        return;
    }
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
    if (m_notifier == nullptr) {
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

} // namespace garrison::sim
