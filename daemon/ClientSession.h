#pragma once

#include "DaemonMessage.h"
#include "DaemonServer.h"
#include "GameEventSink.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

namespace garrisond {

// One client connection, over TLS unless plain text is allowed. The client sends first a login
// "user:password-level", answered with the level word or a refusal; after that "getrconpass",
// "getlog", "serveraddress", "startserver", the server watch's "serverstate", "skiprestart" and
// "restartnow", "getevents", the bans' requests (BanRequests, and "getbanreasons"), and the
// echoed commands "user - command". What arrives is gathered into messages as
// DaemonMessage::takeWhole says. Nothing more is read while a login is being checked or a change
// of the bans made, nor while the client has more than send_buffer_bytes of answers unread; one
// that lets twice that pile up is dropped.
//
// After "getevents" the game log's events follow, as lines that begin with "EVENT ". They keep
// the notices' distance from every other answer, counted from when the answer has left, so
// that the client never takes them for part of the log or the RCON password; other answers
// may follow them closely, since the client takes the event lines off the front of what it
// reads. A client too slow for them loses events rather than the daemon's memory, and is told
// how many.
class ClientSession : public QObject, public GameEventSink {
    Q_OBJECT

public:
    // Notices keep this distance from any other answer: the client cannot tell two messages
    // apart that reach it in one read, and takes the one after a level answer as the RCON
    // password and the one after "getlog" as the log.
    static constexpr int kNoticeGapMs = 1000;

    // Event lines waiting for the client beyond this are dropped and counted.
    static constexpr qsizetype kMaxPendingEventBytes = 1024 * 1024;

    // An administrator's login is notified when the session turns out to be a person's: its
    // first message after "getrconpass" is not garrison-rcon's "client garrison-rcon", or it
    // sends nothing for this long, or it ends.
    static constexpr int kLoginNoticeWaitMs = 2000;

    // Takes over the socket.
    ClientSession(QTcpSocket* socket, const QString& address, DaemonServer& server);
    ~ClientSession() override;

    QString address() const { return m_address; }
    QString addressKey() const { return m_addressKey; }
    bool isLoggedIn() const { return !m_level.isEmpty(); }
    bool hasLoginPending() const { return m_loginPending; }
    qint64 ageMs() const { return m_age.elapsed(); }
    // Whether the client has sent anything yet, counting bytes not read so far.
    bool hasBeenHeard() const;
    bool isClosing() const { return m_closing; }
    // Since the last message, or since the login.
    qint64 idleMs() const { return m_sinceMessage.elapsed(); }
    QString account() const { return m_account; }
    QString level() const { return m_level; }
    // "account/level" once logged in, "-" before.
    QString who() const;

    void loginAnswered(DaemonServer::LoginOutcome outcome,
                       const std::optional<LoginRequest>& request);
    // Queued; sent when no other answer is close.
    void sendNotice(const QByteArray& message);
    void close(const QString& reason);
    // Tells the client why, then closes: a client that is told nothing can only report a lost
    // link.
    void refuseAndClose(const QByteArray& refusal, const QString& reason);

    void takeEvent(const GameEvent& event) override;
    bool receivesEvents() const { return m_events; }
    // It asked for the bans ("getbans"), so it is told when they change.
    bool followsBans() const { return m_followsBans; }
    // An "EVENT server" line: for admin and poweradmin sessions that asked for events, whether
    // or not the game log is open to them.
    void takeServerEvent(const QByteArray& line);

Q_SIGNALS:
    void closed();

private:
    void readMessages();
    void takeMessages(bool quiet);
    void handleMessage(const QByteArray& message);
    void handleSessionMessage(const DaemonMessage& message);
    void noteActivity();
    void send(const QByteArray& answer);
    void banAnswered(const QByteArray& answer);
    qint64 unsentBytes() const;
    bool outputFull() const;
    void refuseHandshake(const QString& error);
    void scheduleNotices();
    void sendNextNotice();
    void abortConnection(const QString& reason);
    void finish();
    void startEvents();
    void queueEventLine(const QByteArray& line);
    void flushEvents();
    void settleLoginNotice(bool person);

    QTcpSocket* m_socket;
    DaemonServer& m_server;
    QString m_address;
    QString m_addressKey;
    QString m_account;
    QString m_level;
    qint64 m_bytesBeforeLogin = 0;
    QElapsedTimer m_age;
    bool m_heard = false;
    bool m_handshaking = false;
    bool m_loginPending = false;
    bool m_banPending = false;
    bool m_closing = false;
    bool m_finished = false;
    // Set by a level answer until the client's next message ("getrconpass") is answered.
    bool m_holdNotices = false;
    QList<QByteArray> m_pendingNotices;
    QTimer m_noticeTimer;
    QElapsedTimer m_sinceLastSend;
    QTimer m_loginTimer;
    QTimer m_idleTimer;
    QElapsedTimer m_sinceMessage;
    // What came since the last whole message; it is whole once m_quietTimer runs out.
    QByteArray m_gathered;
    QTimer m_quietTimer;
    // The last answer has not left yet: events wait for it.
    bool m_answerOutstanding = false;
    bool m_events = false;
    bool m_followsBans = false;
    bool m_serverEvents = false;
    QByteArray m_pendingEvents;
    qint64 m_eventsLost = 0;
    QTimer m_eventTimer;
    QTimer m_loginNoticeTimer;
    bool m_loginNoticeDue = false;
};

} // namespace garrisond
