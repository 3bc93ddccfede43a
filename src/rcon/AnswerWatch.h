#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace garrison {

// Notices a server that never answers. The console protocol has no handshake: a wrong address
// or port, a server that is down or a firewall all look the same, silence. Once given, the note
// stands, whatever is sent meanwhile, until the first reply of the session.
class AnswerWatch : public QObject {
    Q_OBJECT

public:
    static constexpr int kSilenceMs = 4000;

    explicit AnswerWatch(QObject* parent = nullptr);
    // How long silence lasts before the note (kSilenceMs; tests shorten it).
    void setSilenceMs(int ms) { m_timer.setInterval(ms); }

    // A session towards host:port begins; nothing has been heard yet.
    void sessionStarted(const QString& host, const QString& port);
    void replyReceived();
    // The session ended: no more waiting, no note.
    void stop();

    bool isSilent() const { return m_silent; }
    // What to tell the user while the server stays silent.
    static QString note(const QString& host, const QString& port);

Q_SIGNALS:
    // Nothing came back in time: show the note.
    void silence(const QString& note);
    // The first reply came: the note can go.
    void answered();

private:
    void timedOut();

    QTimer m_timer;
    QString m_host;
    QString m_port;
    bool m_silent = false;
};

} // namespace garrison
