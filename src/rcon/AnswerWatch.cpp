#include "AnswerWatch.h"

namespace garrison {

AnswerWatch::AnswerWatch(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSilenceMs);
    connect(&m_timer, &QTimer::timeout, this, &AnswerWatch::timedOut);
}

void AnswerWatch::sessionStarted(const QString& host, const QString& port)
{
    stop();
    m_host = host;
    m_port = port;
    m_timer.start();
}

void AnswerWatch::replyReceived()
{
    const bool wasSilent = m_silent;
    stop();
    if (wasSilent) {
        Q_EMIT answered();
    }
}

void AnswerWatch::stop()
{
    m_timer.stop();
    m_silent = false;
}

QString AnswerWatch::note(const QString& host, const QString& port)
{
    return QStringLiteral("No answer from %1:%2 for %3 seconds. Check the server address and the "
                          "port, that the game server is running, and that no firewall blocks "
                          "UDP to that port.")
        .arg(host, port)
        .arg(kSilenceMs / 1000);
}

void AnswerWatch::timedOut()
{
    m_silent = true;
    Q_EMIT silence(note(m_host, m_port));
}

} // namespace garrison
