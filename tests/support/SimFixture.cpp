#include "SimFixture.h"

#include "SimRequest.h"

#include <QSignalSpy>
#include <QTest>

namespace garrison::test {

sim::SimSettings SimFixture::frozenSettings()
{
    sim::SimSettings settings;
    settings.password = QStringLiteral("secret");
    settings.seed = 1;
    settings.players = 8;
    settings.tickMs = 0;
    return settings;
}

sim::SimSettings SimFixture::listedSettings(const char* map, const char* gametype, int players,
                                            const char* joinPassword)
{
    sim::SimSettings settings = frozenSettings();
    settings.map = QString::fromLatin1(map);
    settings.gametype = QString::fromLatin1(gametype);
    settings.players = players;
    settings.joinPassword = QString::fromLatin1(joinPassword);
    settings.queryBurst = 0;
    return settings;
}

SimFixture::SimFixture(const sim::SimSettings& settings)
    : m_server(std::make_unique<sim::SimServer>(settings))
{
    QObject::connect(m_server.get(), &sim::SimServer::requestAnswered, m_server.get(),
                     [this](const QString& command) { m_answered.append(command); });
}

SimFixture::~SimFixture() = default;

bool SimFixture::start(quint16 port)
{
    m_port = m_server->start(QHostAddress(QHostAddress::LocalHost), port);
    return m_port != 0 && m_client.bind(QHostAddress(QHostAddress::LocalHost), 0);
}

QList<QByteArray> SimFixture::rcon(const QString& command, int timeoutMs)
{
    QSignalSpy answered(m_server.get(), &sim::SimServer::requestAnswered);
    sendRaw(sim::SimRequest::encode(password(), command));
    if (!answered.wait(timeoutMs)) {
        return {};
    }
    const int count = answered.first().at(1).toInt();
    QList<QByteArray> datagrams;
    [[maybe_unused]] const bool complete = QTest::qWaitFor(
        [&] {
            while (m_client.hasPendingDatagrams()) {
                const qint64 size = m_client.pendingDatagramSize();
                if (size < 0) {
                    break;
                }
                QByteArray datagram(static_cast<qsizetype>(size), '\0');
                m_client.readDatagram(datagram.data(), datagram.size());
                datagrams.append(datagram);
            }
            return datagrams.size() >= count;
        },
        timeoutMs);
    return datagrams;
}

QList<PlayerRow> SimFixture::gridRows()
{
    QList<PlayerRow> rows;
    for (const sim::SimPlayer& player : console().world().players()) {
        using State = sim::SimPlayer::State;
        const QString ping = player.state == State::Connecting ? QStringLiteral("CNCT")
                             : player.state == State::Zombie   ? QStringLiteral("ZMBI")
                                                               : QString::number(player.ping);
        // The status table prints ports above 32767 negative; the grid shows the real one.
        const QString address = player.kind == sim::SimPlayer::Kind::Human
                                    ? player.ip + u':' + QString::number(player.port)
                                    : player.addressText();
        rows.append(
            PlayerRow{{player.name, QString::number(player.score), ping,
                       console().statusGuid(player), QString::number(player.slot), address}});
    }
    return rows;
}

std::optional<QByteArray> SimFixture::query(const QByteArray& datagram, int timeoutMs)
{
    QSignalSpy answered(m_server.get(), &sim::SimServer::queryAnswered);
    QSignalSpy dropped(m_server.get(), &sim::SimServer::queryDropped);
    QSignalSpy ignored(m_server.get(), &sim::SimServer::datagramIgnored);
    sendRaw(datagram);
    if (!QTest::qWaitFor(
            [&] { return !answered.isEmpty() || !dropped.isEmpty() || !ignored.isEmpty(); },
            timeoutMs) ||
        answered.isEmpty() ||
        !(m_client.hasPendingDatagrams() || m_client.waitForReadyRead(timeoutMs))) {
        return std::nullopt;
    }
    QByteArray answer(static_cast<qsizetype>(m_client.pendingDatagramSize()), '\0');
    m_client.readDatagram(answer.data(), answer.size());
    return answer;
}

void SimFixture::sendRaw(const QByteArray& datagram)
{
    m_client.writeDatagram(datagram, QHostAddress(QHostAddress::LocalHost), m_port);
}

} // namespace garrison::test
