#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace garrisond {

// The game server's remote console as garrisond uses it: requests to 127.0.0.1 and the game
// server's port, with the RCON password. Replies are told apart as answers or refusals of the
// password; their text goes to whoever reads it (the bans read the players of "status").
class RconChannel : public QObject {
    Q_OBJECT

public:
    explicit RconChannel(QObject* parent = nullptr);
    ~RconChannel() override;

    void configure(const QString& password, quint16 port);
    quint16 port() const { return m_port; }
    // False when there is no password to send it with.
    bool send(const QString& command);

    static QByteArray request(const QString& password, const QString& command);

Q_SIGNALS:
    // A reply datagram came from the game server. `refused`: it refused the password.
    void replied(bool refused);
    // The text of a reply datagram, after its "print" line (a long reply comes in several).
    void replyText(const QString& text);

private:
    void readReplies();

    QUdpSocket* m_socket;
    QString m_password;
    quint16 m_port = 0;
    QByteArray m_buffer;
};

} // namespace garrisond
