#pragma once

#include "SimServer.h"

#include <QHostAddress>
#include <QThread>

namespace garrison::bench {

// A frozen simulated server with its own event loop on a second thread, as a separate process
// would be: what the benchmark's side does is measured alone.
class SimServerThread {
public:
    explicit SimServerThread(int players)
    {
        sim::SimSettings settings;
        settings.players = players;
        settings.tickMs = 0;
        m_server = new sim::SimServer(settings);
        m_server->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_server,
            [this] { m_port = m_server->start(QHostAddress(QHostAddress::LocalHost), 0); },
            Qt::BlockingQueuedConnection);
    }
    ~SimServerThread()
    {
        QMetaObject::invokeMethod(
            m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    SimServerThread(const SimServerThread&) = delete;
    SimServerThread& operator=(const SimServerThread&) = delete;

    quint16 port() const { return m_port; }

private:
    QThread m_thread;
    sim::SimServer* m_server = nullptr;
    quint16 m_port = 0;
};

} // namespace garrison::bench
