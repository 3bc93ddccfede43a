#include "TerminationWatcher.h"

#ifndef Q_OS_WIN
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace garrison {

#ifdef Q_OS_WIN

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent) {}

TerminationWatcher::~TerminationWatcher() = default;

QList<int> TerminationWatcher::signalNumbers()
{
    return {};
}

void TerminationWatcher::drain() {}

#else

namespace {

// Read end, write end. Close-on-exec: the relay and the game must not inherit them.
int g_pipe[2] = {-1, -1};

void onSignal(int number)
{
    // Only async-signal-safe calls here.
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

} // namespace

QList<int> TerminationWatcher::signalNumbers()
{
    return {SIGTERM, SIGINT, SIGHUP};
}

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_watching = true;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatcher::drain);
    struct sigaction action = {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : signalNumbers()) {
        ::sigaction(number, &action, nullptr);
    }
}

TerminationWatcher::~TerminationWatcher()
{
    if (!m_watching) {
        return;
    }
    for (const int number : signalNumbers()) {
        std::signal(number, SIG_DFL);
    }
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationWatcher::drain()
{
    unsigned char numbers[16];
    for (ssize_t got; (got = ::read(g_pipe[0], numbers, sizeof numbers)) > 0;) {
        for (ssize_t n = 0; n < got; ++n) {
            Q_EMIT terminationRequested(numbers[n]);
        }
    }
}

#endif

} // namespace garrison
