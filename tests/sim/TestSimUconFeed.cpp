#include "SimFixture.h"
#include "SimUconFeed.h"
#include "TestMain.h"

#include <QSignalSpy>
#include <QUdpSocket>

using garrison::sim::SimServer;
using garrison::sim::SimUconFeed;
using garrison::test::SimFixture;

namespace {

const QByteArray kHeader("\xFF\xFF\xFF\xFF");

// A relay's socket on loopback: says hello and collects what the server streams to it.
class FakeRelay {
public:
    FakeRelay()
    {
        m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams()) {
                QByteArray data(int(m_socket.pendingDatagramSize()), '\0');
                m_socket.readDatagram(data.data(), data.size());
                m_arrived.append(data);
            }
        });
    }
    void hello(quint16 serverPort, const QByteArray& credentials)
    {
        m_socket.writeDatagram(kHeader + "ucon_hello " + credentials,
                               QHostAddress(QHostAddress::LocalHost), serverPort);
    }
    bool waitFor(int count)
    {
        return QTest::qWaitFor([&] { return m_arrived.size() >= count; }, SimFixture::kTimeoutMs);
    }
    const QList<QByteArray>& arrived() const { return m_arrived; }

private:
    QUdpSocket m_socket;
    QList<QByteArray> m_arrived;
};

} // namespace

class TestSimUconFeed : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;

    bool announce(FakeRelay& relay, const QByteArray& credentials)
    {
        QSignalSpy announced(&m_sim->server(), &SimServer::relayAnnounced);
        relay.hello(m_sim->port(), credentials);
        if (!announced.wait(SimFixture::kTimeoutMs)) {
            return false;
        }
        return announced.constFirst().constFirst().toBool();
    }

private Q_SLOTS:
    void init()
    {
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
    }
    void cleanup() { m_sim.reset(); }

    void credentials_data()
    {
        QTest::addColumn<QString>("registration");
        QTest::addColumn<QByteArray>("hello");
        QTest::addColumn<bool>("accepted");

        const QString add = QStringLiteral("pb_sv_uconadd 2 127.0.0.1 GARRISON-127.0.0.1 pw1");
        QTest::newRow("matching") << add << QByteArray("GARRISON-127.0.0.1 pw1") << true;
        QTest::newRow("wrong password") << add << QByteArray("GARRISON-127.0.0.1 pw2") << false;
        QTest::newRow("wrong name") << add << QByteArray("GARRISON-127.0.0.2 pw1") << false;
        QTest::newRow("name case differs") << add << QByteArray("garrison-127.0.0.1 pw1") << false;
        QTest::newRow("nobody registered")
            << QString() << QByteArray("GARRISON-127.0.0.1 pw1") << false;
        QTest::newRow("no password") << add << QByteArray("GARRISON-127.0.0.1") << false;
        QTest::newRow("empty") << add << QByteArray() << false;
        QTest::newRow("binary") << add << QByteArray("\x00\xFA \xFF", 4) << false;
    }
    void credentials()
    {
        QFETCH(QString, registration);
        QFETCH(QByteArray, hello);
        QFETCH(bool, accepted);
        if (!registration.isEmpty()) {
            m_sim->rcon(registration);
        }
        FakeRelay relay;
        QCOMPARE(announce(relay, hello), accepted);
        m_sim->rcon(QStringLiteral("pb_sv_kick 1 0 cheating"));
        m_sim->rcon(QStringLiteral("say hello"));
        // welcome, the kick, the player's lost connection, the chat line
        if (accepted) {
            QVERIFY(relay.waitFor(4));
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->server().uconFeed().relays().size(), accepted ? 1 : 0,
                                  SimFixture::kTimeoutMs);
        const QList<QByteArray> arrived = relay.arrived();
        QCOMPARE(arrived.size(), accepted ? 4 : 0);
        if (!accepted) {
            return;
        }
        QCOMPARE(arrived.at(0), kHeader + "ucon_welcome");
        QVERIFY2(arrived.at(1).startsWith(kHeader + "ucon_line PunkBuster Server\xFA"
                                                    "Kick Command Issued (cheating) for (slot#1)"),
                 arrived.at(1).constData());
        QCOMPARE(arrived.at(3), kHeader + "ucon_line Chat\xFA"
                                          "Console: hello");
    }

    void helloAgainIsOneRelay()
    {
        m_sim->rcon(QStringLiteral("pb_sv_uconadd 2 127.0.0.1 me pw"));
        FakeRelay relay;
        QVERIFY(announce(relay, "me pw"));
        QVERIFY(announce(relay, "me pw"));
        FakeRelay second;
        QVERIFY(announce(second, "me pw"));
        QCOMPARE(m_sim->server().uconFeed().relays().size(), 2);
        m_sim->rcon(QStringLiteral("say x"));
        QVERIFY(relay.waitFor(3));
        QVERIFY(second.waitFor(2));
    }

    void sessionLimitCapsRelays()
    {
        m_sim->rcon(QStringLiteral("pb_sv_uconadd 2 127.0.0.1 me pw"));
        m_sim->rcon(QStringLiteral("pb_sv_USessionLimit 1"));
        FakeRelay first;
        FakeRelay second;
        QVERIFY(announce(first, "me pw"));
        QVERIFY(!announce(second, "me pw"));
    }

    void consoleLineFormat_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("datagram");

        QTest::newRow("service line") << QStringLiteral("^3PunkBuster Server: Player joined")
                                      << kHeader + "ucon_line PunkBuster Server\xFAPlayer joined";
        QTest::newRow("no source")
            << QStringLiteral("plain") << kHeader + "ucon_line PunkBuster Server\xFAplain";
        QTest::newRow("accent kept in Windows-1252")
            << QStringLiteral("^3PunkBuster Server: B\u00e9la: hi")
            << kHeader + "ucon_line PunkBuster Server\xFA"
                         "B\xE9la: hi";
    }
    void consoleLineFormat()
    {
        QFETCH(QString, line);
        QTEST(SimUconFeed::punkBusterLine(line), "datagram");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSimUconFeed)
#include "TestSimUconFeed.moc"
