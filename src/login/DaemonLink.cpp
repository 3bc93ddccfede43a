#include "DaemonLink.h"

#include "platform/AnsiText.h"

#include <QCryptographicHash>
#include <QSslConfiguration>
#include <algorithm>
#include <utility>

namespace garrison {

namespace {
constexpr int kLoginTick = 60;
constexpr int kTypeMismatch = 13;
} // namespace

DaemonLink::DaemonLink(QObject* parent) : QObject(parent)
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(kLoginTick);
    connect(&m_timer1, &QTimer::timeout, this, &DaemonLink::onTimer1);
    connect(&m_socket, &QTcpSocket::readyRead, this, &DaemonLink::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &DaemonLink::onError);
    connect(&m_socket, &QSslSocket::sslErrors, this, &DaemonLink::onSslErrors);
    connect(&m_socket, &QTcpSocket::bytesWritten, this,
            [this] { setStatus(QStringLiteral("Completed Data Transmission")); });
    m_logQuiet.setSingleShot(true);
    m_logQuiet.setInterval(kLogQuietMs);
    connect(&m_logQuiet, &QTimer::timeout, this, &DaemonLink::logComplete);
    m_requestGap.setSingleShot(true);
    connect(&m_requestGap, &QTimer::timeout, this, &DaemonLink::sendQueuedRequest);
    m_addressWait.setSingleShot(true);
    m_addressWait.setInterval(kServerAddressWaitMs);
    connect(&m_addressWait, &QTimer::timeout, this, &DaemonLink::serverAddressSettled);
}

void DaemonLink::setCredentialsSource(std::function<Credentials()> source)
{
    m_credentials = std::move(source);
}

void DaemonLink::setStatus(const QString& text)
{
    m_status = text;
    Q_EMIT statusChanged(text);
}

// The Windows Sockets numbers that users of the daemon know from its other clients.
int DaemonLink::socketErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return kLinkLost;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::NetworkError:
        return 10065;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::OperationError:
        return kLinkLost;
    default:
        return 10000 + static_cast<int>(error);
    }
}

QString DaemonLink::fingerprint(const QSslCertificate& certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

void DaemonLink::login(const QString& host, const QString& portText, const QString& pinned)
{
    if (m_socket.state() != QAbstractSocket::UnconnectedState) {
        m_socket.abort();
    }
    forgetConversation();
    bool isNumber = false;
    const uint port = portText.trimmed().toUInt(&isNumber);
    if (!isNumber || port > 65535) {
        Q_EMIT linkFailed(
            kTypeMismatch,
            QStringLiteral("Type mismatch: the port \"%1\" is not a whole number.").arg(portText));
        return;
    }
    m_pinned = pinned;
    m_untrusted.clear();
    // The system's authorities as they are now.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    m_socket.setSslConfiguration(tls);
    m_socket.connectToHostEncrypted(host.trimmed(), static_cast<quint16>(port));
    m_timer1.start();
}

void DaemonLink::onTimer1()
{
    const Credentials credentials = m_credentials ? m_credentials() : Credentials{};
    if (credentials.userName.isEmpty() || credentials.password.isEmpty() ||
        credentials.level.isEmpty() || credentials.level == QLatin1String(" ")) {
        m_timer1.stop();
        Q_EMIT credentialsMissing();
        return;
    }
    if (!isConnected()) {
        setStatus(QStringLiteral("Not currently connected to host"));
        return;
    }
    send(credentials.userName + QLatin1Char(':') + credentials.password + QLatin1Char('-') +
         credentials.level.trimmed());
    setStatus(QStringLiteral("Sending Data"));
    m_timer1.stop();
    Q_EMIT loginSent();
}

bool DaemonLink::send(const QString& message)
{
    if (!isConnected()) {
        Q_EMIT linkLost();
        return false;
    }
    write(message);
    return true;
}

void DaemonLink::write(const QString& message)
{
    m_socket.write(toAnsi(message));
    m_sinceWrite.start();
}

void DaemonLink::requestEvents()
{
    // A closed link has nothing to ask; the next session asks again.
    sendRequest(QStringLiteral("getevents"));
}

std::optional<DaemonRequests::Failure> DaemonLink::sendRequest(const QString& message)
{
    if (!isConnected()) {
        return Failure{kLinkLost, QStringLiteral("The connection to the daemon is closed.")};
    }
    if (!m_queuedRequests.isEmpty() ||
        (m_sinceWrite.isValid() && !m_sinceWrite.hasExpired(kRequestGapMs))) {
        m_queuedRequests.append(message);
        if (!m_requestGap.isActive()) {
            m_requestGap.start(gapLeft());
        }
        return std::nullopt;
    }
    if (m_socket.write(toAnsi(message)) < 0) {
        return Failure{socketErrorNumber(m_socket.error()), m_socket.errorString()};
    }
    m_sinceWrite.start();
    return std::nullopt;
}

int DaemonLink::gapLeft() const
{
    // The gap may end between a check and this reading: a negative interval would leave the
    // timer stopped, and the queued requests unsent for good.
    return m_sinceWrite.isValid() ? static_cast<int>(std::clamp<qint64>(
                                        kRequestGapMs - m_sinceWrite.elapsed(), 0, kRequestGapMs))
                                  : 0;
}

void DaemonLink::sendQueuedRequest()
{
    if (m_queuedRequests.isEmpty() || !isConnected()) {
        m_queuedRequests.clear();
        return;
    }
    // An echo may have gone out meanwhile.
    if (!m_sinceWrite.hasExpired(kRequestGapMs)) {
        m_requestGap.start(gapLeft());
        return;
    }
    write(m_queuedRequests.takeFirst());
    if (!m_queuedRequests.isEmpty()) {
        m_requestGap.start(kRequestGapMs);
    }
}

void DaemonLink::islo(const QString& value)
{
    m_receiver.LogPending = value;
}

void DaemonLink::close()
{
    forgetConversation();
    m_socket.abort();
}

void DaemonLink::forgetConversation()
{
    m_inSession = false;
    m_logQuiet.stop();
    m_logRemaining = -1;
    m_log.clear();
    m_queuedRequests.clear();
    m_requestGap.stop();
    m_sinceWrite.invalidate();
    m_statusz = QStringLiteral("none");
    m_receiver = DaemonReceiver();
    m_banAnswers.reset();
    m_lastRefusal.clear();
    m_rconPassword.reset();
    m_addressWait.stop();
    m_serverAddress.reset();
}

bool DaemonLink::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState && m_socket.isEncrypted();
}

void DaemonLink::onSslErrors(const QList<QSslError>& errors)
{
    const QString presented = fingerprint(m_socket.peerCertificate());
    if (!m_pinned.isEmpty() && presented == m_pinned) {
        m_socket.ignoreSslErrors(errors);
        return;
    }
    // Not ignored, the errors end the handshake; onError tells why.
    m_untrusted = presented;
}

void DaemonLink::echoCommand(const QString& command)
{
    const QString userName = m_credentials ? m_credentials().userName : QString();
    send(userName + QStringLiteral(" - ") + command);
}

void DaemonLink::onReadyRead()
{
    received(fromAnsi(m_socket.readAll()));
}

void DaemonLink::received(QString data)
{
    const auto keep = [this](QStringView more) {
        m_log.append(more.first(std::min(more.size(), kLogLimit - m_log.size())));
    };
    // Everything one receive event delivers is one message, but for the rest of a log and the
    // event lines in front of it; after a log with a header, the next messages may follow it.
    if (m_logRemaining >= 0) {
        m_lastRefusal.clear();
        const qsizetype part = std::min(data.size(), m_logRemaining);
        keep(QStringView(data).first(part));
        m_logRemaining -= part;
        if (m_logRemaining > 0) {
            m_logQuiet.start();
            return;
        }
        m_logQuiet.stop();
        logComplete();
        data.remove(0, part);
        if (data.isEmpty()) {
            return;
        }
    } else if (m_logQuiet.isActive()) {
        m_lastRefusal.clear();
        keep(data);
        m_logQuiet.start();
        return;
    }
    QString message = std::move(data);
    // Event lines and answers about bans may come in any order in front of a message.
    while (m_receiver.RconPassPending != QLatin1String("1")) {
        DaemonReceiver::Split split = m_receiver.takeEventLines(message);
        for (const QString& line : std::as_const(split.eventLines)) {
            if (const std::optional<DaemonEvent> event = DaemonEvent::parse(line)) {
                Q_EMIT eventReceived(*event);
            }
        }
        QList<BanAnswerReader::Answer> answers;
        QString rest = m_banAnswers.take(split.rest, &answers);
        for (const BanAnswerReader::Answer& answer : std::as_const(answers)) {
            Q_EMIT banAnswerReceived(answer);
        }
        if (rest.isEmpty()) {
            return;
        }
        message = std::move(rest);
        // After an answer, event lines may follow again.
        if (answers.isEmpty()) {
            break;
        }
    }
    m_lastRefusal.clear();
    const DaemonReceiver::Taken taken = m_receiver.take(message);
    switch (taken.kind) {
    case DaemonReceiver::Kind::RconPassword:
        m_rconPassword = taken.text;
        // Only now: an answer that came with the password would be taken for part of it.
        if (m_addressWanted && m_addressWanted() && !m_serverAddress) {
            m_addressWait.start();
            sendRequest(QStringLiteral("serveraddress"));
        }
        Q_EMIT rconPasswordReceived(taken.text);
        return;
    case DaemonReceiver::Kind::ServerAddress:
        setStatus(QStringLiteral("Received Data!"));
        if (m_addressWait.isActive()) {
            m_addressWait.stop();
            m_serverAddress = DaemonReceiver::serverAddress(taken.text);
            Q_EMIT serverAddressSettled();
        }
        return;
    case DaemonReceiver::Kind::Log:
        m_log.clear();
        if (const auto header = DaemonReceiver::logHeader(taken.text)) {
            m_logRemaining = header->length;
            m_logQuiet.setInterval(kLogStallMs);
            received(taken.text.sliced(header->headerSize));
            return;
        }
        m_logQuiet.setInterval(kLogQuietMs);
        keep(taken.text);
        m_logQuiet.start();
        return;
    case DaemonReceiver::Kind::LevelAnswer:
        setStatus(QStringLiteral("Received Data!"));
        // The level the user selected is granted, whatever word the daemon answered.
        m_statusz = m_credentials ? m_credentials().level : QString();
        m_inSession = true;
        send(QStringLiteral("getrconpass"));
        // Queued: the grant shows a box, and a socket does not deliver more data while its own
        // data handler is still running; the password must be able to arrive meanwhile.
        QMetaObject::invokeMethod(this, &DaemonLink::levelAnswered, Qt::QueuedConnection);
        return;
    case DaemonReceiver::Kind::Notice:
        setStatus(QStringLiteral("Received Data!"));
        QMetaObject::invokeMethod(
            this, [this, text = taken.text] { Q_EMIT noticeReceived(text); }, Qt::QueuedConnection);
        return;
    case DaemonReceiver::Kind::Refusal:
        // Final: the credentials are not sent again, and nothing stays granted.
        m_timer1.stop();
        m_statusz = QStringLiteral("none");
        m_lastRefusal = taken.text;
        setStatus(QStringLiteral("Refused: ") + taken.text);
        QMetaObject::invokeMethod(
            this,
            [this, reason = taken.text, inSession = m_inSession] {
                Q_EMIT refused(reason, inSession);
            },
            Qt::QueuedConnection);
        return;
    case DaemonReceiver::Kind::ServerState:
        // The daemon sends it in one write, apart from other answers, and under one TLS
        // record's 16 KB: it is whole.
        setStatus(QStringLiteral("Received Data!"));
        QMetaObject::invokeMethod(
            this, [this, text = taken.text] { Q_EMIT serverStateReceived(text); },
            Qt::QueuedConnection);
        return;
    case DaemonReceiver::Kind::Other:
        setStatus(QStringLiteral("Received Data!"));
        m_statusz = QStringLiteral("none");
        return;
    }
}

void DaemonLink::logComplete()
{
    m_logRemaining = -1;
    setStatus(QStringLiteral("Received Log"));
    const QString log = DaemonReceiver::unescapeLog(std::exchange(m_log, QString()));
    Q_EMIT logReceived(log);
}

void DaemonLink::onError(QAbstractSocket::SocketError error)
{
    // What came of a log before the link went is shown.
    if (m_logQuiet.isActive()) {
        m_logQuiet.stop();
        logComplete();
    }
    if (!m_untrusted.isEmpty()) {
        m_timer1.stop();
        setStatus(QStringLiteral("Not currently connected to host"));
        // Queued: the question is a box, and its answer may log in again at once, which the
        // socket cannot do from inside its own error handling.
        QMetaObject::invokeMethod(
            this,
            [this, presented = std::exchange(m_untrusted, QString()), pinned = m_pinned] {
                Q_EMIT certificateUntrusted(presented, pinned);
            },
            Qt::QueuedConnection);
        return;
    }
    // A daemon that speaks plain text takes the handshake for garbage and hangs up.
    if (!m_inSession && !m_socket.isEncrypted() &&
        (error == QAbstractSocket::SslHandshakeFailedError ||
         (error == QAbstractSocket::RemoteHostClosedError &&
          m_socket.mode() != QSslSocket::UnencryptedMode))) {
        m_timer1.stop();
        setStatus(QStringLiteral("Not currently connected to host"));
        Q_EMIT linkFailed(kNoTls,
                          QStringLiteral("The daemon did not answer with TLS (%1). GARRISON logs "
                                         "in over TLS only: is this a garrisond that allows "
                                         "plain text, or no garrisond at all?")
                              .arg(m_socket.errorString()));
        return;
    }
    const int number = socketErrorNumber(error);
    if (number == kLinkLost) {
        m_rconPassword.reset();
        // The status line keeps a refusal that came first: it says why.
        if (m_lastRefusal.isEmpty()) {
            setStatus(QStringLiteral("Not currently connected to host"));
        }
        // A daemon that hangs up before granting anything is not a lost session: the user may
        // log in again.
        if (m_inSession) {
            Q_EMIT linkLost();
        }
        return;
    }
    Q_EMIT linkFailed(number, m_socket.errorString());
}

} // namespace garrison
