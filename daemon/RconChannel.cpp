#include "RconChannel.h"

#include "WireText.h"

#include <QUdpSocket>

namespace garrisond {

namespace {
const QByteArray kHeader("\xFF\xFF\xFF\xFF", 4);
} // namespace

RconChannel::RconChannel(QObject* parent) : QObject(parent), m_socket(new QUdpSocket(this))
{
    m_buffer.resize(65536);
    connect(m_socket, &QUdpSocket::readyRead, this, &RconChannel::readReplies);
}

RconChannel::~RconChannel() = default;

void RconChannel::configure(const QString& password, quint16 port)
{
    m_password = password;
    m_port = port;
}

QByteArray RconChannel::request(const QString& password, const QString& command)
{
    return kHeader + "rcon " + WireText::encode(password) + ' ' + WireText::encode(command);
}

bool RconChannel::send(const QString& command)
{
    if (m_password.isEmpty() || m_port == 0) {
        return false;
    }
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        m_socket->bind(QHostAddress(QHostAddress::LocalHost), 0);
    }
    m_socket->writeDatagram(request(m_password, command), QHostAddress(QHostAddress::LocalHost),
                            m_port);
    return true;
}

void RconChannel::readReplies()
{
    while (m_socket->hasPendingDatagrams()) {
        QHostAddress from;
        quint16 fromPort = 0;
        const qint64 size =
            m_socket->readDatagram(m_buffer.data(), m_buffer.size(), &from, &fromPort);
        if (size < kHeader.size() || fromPort != m_port || !from.isLoopback()) {
            continue;
        }
        const QByteArrayView reply(m_buffer.constData(), size);
        if (!reply.startsWith(kHeader)) {
            continue;
        }
        const QByteArrayView text = reply.sliced(kHeader.size());
        const bool refused = text.startsWith("print\nInvalid password.") ||
                             text.startsWith("print\nThe server must set 'rcon_password'");
        Q_EMIT replied(refused);
        if (!refused && text.startsWith("print\n")) {
            Q_EMIT replyText(WireText::decode(text.sliced(6).toByteArray()));
        }
    }
}

} // namespace garrisond
