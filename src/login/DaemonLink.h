#pragma once

#include "bans/BanAnswerReader.h"
#include "daemon/DaemonRequests.h"
#include "login/DaemonEvent.h"
#include "login/DaemonReceiver.h"
#include "rcon/DaemonEcho.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSslSocket>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

namespace garrison {

// The one connection to the daemon, over TLS: the login through it, the RCON password and the
// log it hands out, its notices, and the echo of every console command of a daemon session.
// Nothing is sent before the daemon's certificate is trusted: signed for the host name by an
// authority the system trusts, or the pinned one.
class DaemonLink : public QObject, public DaemonEcho, public DaemonRequests {
    Q_OBJECT

public:
    struct Credentials {
        QString userName;
        QString password;
        QString level; // as the access-level list shows it
    };

    // The error number of a link that is no longer usable (lost, closed, reset).
    static constexpr int kLinkLost = 40006;
    // The daemon did not complete a TLS handshake (plain text, or no garrisond at all).
    static constexpr int kNoTls = 10071;
    // How long the daemon has to answer "serveraddress"; one that does not (an older daemon)
    // leaves the login as it was.
    static constexpr int kServerAddressWaitMs = 3000;
    // A log comes in as many receive events as it takes. With garrisond's header it is whole
    // once its length came; a bare log is whole once kLogQuietMs pass without more of it. A
    // log with a header that stops coming for kLogStallMs is shown as far as it came. Beyond
    // kLogLimit characters the rest is not kept.
    static constexpr int kLogQuietMs = 400;
    static constexpr int kLogStallMs = 30000;
    static constexpr qsizetype kLogLimit = 64 * 1024 * 1024;
    // The daemon takes what arrives within its pause of 100 ms as one message, and only an
    // echo ("user - …") may follow another message there: a request sent sooner after the last
    // message waits. The margin covers a busy client whose first write leaves late.
    static constexpr int kRequestGapMs = 250;

    explicit DaemonLink(QObject* parent = nullptr);

    // Read afresh at every use: the login window's fields.
    void setCredentialsSource(std::function<Credentials()> source);
    // Asked once the RCON password came: whether to ask the daemon where its game server is.
    void setServerAddressWanted(std::function<bool()> wanted)
    {
        m_addressWanted = std::move(wanted);
    }

    // Closes an open link, connects to host:portText and starts the login timer, which sends
    // the credentials as soon as the link stands. `pinned`: the fingerprint of the certificate
    // the user trusts for this daemon, empty for none.
    void login(const QString& host, const QString& portText, const QString& pinned = QString());
    // Sends one message; a link that is not connected takes the lost-link path.
    bool send(const QString& message);
    void islo(const QString& value);
    void close();
    bool isConnected() const;

    void echoCommand(const QString& command) override;
    std::optional<Failure> sendRequest(const QString& message) override;
    void armLog() override { islo(QStringLiteral("1")); }
    // Asks for the game log's live events ("getevents") once nothing was sent for
    // kRequestGapMs; they arrive through eventReceived until the link closes or logs in anew.
    void requestEvents();

    const QString& statusz() const { return m_statusz; }
    const QString& status() const { return m_status; }
    // The daemon's reason when its last message was a refusal ("DENIED " and the reason).
    const QString& lastRefusal() const { return m_lastRefusal; }
    // The game server's RCON password as this link's daemon handed it out; nothing before it
    // came, and nothing once the link is gone or a new login begins.
    const std::optional<QString>& rconPassword() const { return m_rconPassword; }
    // "serveraddress" went out, and neither its answer nor the end of its wait came yet.
    bool serverAddressPending() const { return m_addressWait.isActive(); }
    // The daemon's answer; nothing before it came, or when it did not come.
    const std::optional<DaemonReceiver::ServerAddress>& serverAddress() const
    {
        return m_serverAddress;
    }
    QTimer& Timer1() { return m_timer1; }
    QSslSocket& Winsock1() { return m_socket; }
    // "AB:CD:…": the SHA-256 of a certificate, as garrisond --show-fingerprint prints it.
    static QString fingerprint(const QSslCertificate& certificate);
    const DaemonReceiver& receiver() const { return m_receiver; }

    static int socketErrorNumber(QAbstractSocket::SocketError error);

Q_SIGNALS:
    void statusChanged(const QString& text);
    void credentialsMissing();
    void loginSent();
    // The daemon accepted the login; statusz holds the level the user selected.
    void levelAnswered();
    void rconPasswordReceived(const QString& password);
    void logReceived(const QString& log);
    // The daemon's "SERVERSTATE" answer, whole.
    void serverStateReceived(const QString& report);
    // The answer to "serveraddress" came, or its wait ended without one.
    void serverAddressSettled();
    void noticeReceived(const QString& text);
    // The daemon refused the login or, in a session, a request or the session itself.
    void refused(const QString& reason, bool inSession);
    void linkLost();
    void linkFailed(int number, const QString& description);
    // The daemon's certificate is neither signed for its name nor pinned; the link is closed
    // and nothing was sent. `pinned` is empty when no certificate was trusted before.
    void certificateUntrusted(const QString& presented, const QString& pinned);
    void eventReceived(const garrison::DaemonEvent& event);
    // An answer about bans (see BanAnswerReader), whole.
    void banAnswerReceived(const garrison::BanAnswerReader::Answer& answer);

private:
    void setStatus(const QString& text);
    void onTimer1();
    void onReadyRead();
    void received(QString data);
    void onError(QAbstractSocket::SocketError error);
    void onSslErrors(const QList<QSslError>& errors);
    void logComplete();
    // A new link starts a new conversation: nothing granted, no answer awaited.
    void forgetConversation();
    void write(const QString& message);
    void sendQueuedRequest();
    // What is left of kRequestGapMs since the last write; 0 once it has passed.
    int gapLeft() const;

    QSslSocket m_socket;
    QString m_pinned;
    // The fingerprint of a certificate refused during the handshake under way.
    QString m_untrusted;
    QTimer m_timer1;
    DaemonReceiver m_receiver;
    BanAnswerReader m_banAnswers;
    // The log as far as it came; it is being received while m_logQuiet runs.
    QString m_log;
    QTimer m_logQuiet;
    // What is still to come of a log with a header; -1 for none.
    qsizetype m_logRemaining = -1;
    QElapsedTimer m_sinceWrite;
    QStringList m_queuedRequests;
    QTimer m_requestGap;
    QString m_statusz = QStringLiteral("none");
    bool m_inSession = false;
    QString m_status;
    QString m_lastRefusal;
    std::optional<QString> m_rconPassword;
    std::function<Credentials()> m_credentials;
    std::function<bool()> m_addressWanted;
    QTimer m_addressWait;
    std::optional<DaemonReceiver::ServerAddress> m_serverAddress;
};

} // namespace garrison
