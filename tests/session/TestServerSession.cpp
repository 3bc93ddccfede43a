#include "SimFixture.h"
#include "TestMain.h"
#include "TextRows.h"
#include "UdpPeer.h"
#include "session/ServerSession.h"
#include "session/SessionRecorder.h"

#include <QElapsedTimer>
#include <QSignalSpy>

using namespace garrison;
using garrison::test::SimFixture;
using garrison::test::UdpPeer;

namespace {

struct Recorder final : SessionRecorder {
    QStringList statuses; // "serverKey|hostName|rows"
    QList<PlayerAction> actions;

    void recordStatus(const QString& serverKey, const QString& hostName,
                      const QList<PlayerRow>& rows, HistoryTime) override
    {
        statuses.append(serverKey + u'|' + hostName + u'|' + QString::number(rows.size()));
    }
    void recordAction(const PlayerAction& action) override { actions.append(action); }
};

// A status table without its ending empty line, and one player line ("%1" is the name).
const QByteArray kStatusHeader = "map: mp_dome\n"
                                 "num score ping guid       name            lastmsg address        "
                                 "       qport  rate\n"
                                 "--- ----- ---- ---------- --------------- ------- ------------"
                                 "--------- ------ -----\n";
const QByteArray kStatusLine = "  0     0   48       1234 %1             0 192.0.2.1:28960  "
                               "     1 25000\n";

} // namespace

// One server's session without a window, against the simulated game server on 127.0.0.1 (or a
// loopback peer where a test needs replies cut in its own way).
class TestServerSession : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<ServerSession> m_session;
    Recorder m_recorder;

    void connectTo(quint16 port, const QString& password)
    {
        m_session->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(port), password);
        m_session->IdentDaemon(QStringLiteral("0"));
        QVERIFY(!m_session->Connect());
    }
    // The header chain (status, mapname, sv_hostname) ends with the host name in place.
    void connectAndWaitForTheChain()
    {
        connectTo(m_sim->port(), m_sim->password());
        QTRY_COMPARE_WITH_TIMEOUT(m_session->hostName(), QStringLiteral("Garrison Test"), 8000);
    }

private Q_SLOTS:
    void init()
    {
        // A coloured name, names with blanks, "rate" and "name" in them, a bot, one connecting.
        sim::SimSettings settings = SimFixture::frozenSettings();
        settings.players = 14;
        m_sim = std::make_unique<SimFixture>(settings);
        QVERIFY(m_sim->start());
        m_sim->console().reply(QStringLiteral("sv_hostname ^1Garrison ^7Test"));
        m_recorder = {};
        m_session = std::make_unique<ServerSession>();
        m_session->setRecorder(&m_recorder);
    }
    void cleanup()
    {
        m_session.reset();
        m_sim.reset();
    }

    // status -> rows and count -> about 2 s -> map -> about 2 s -> host name; each table goes
    // into the history, under the host name once it is known. A map change asks for the map
    // again; a refusal is said on the status line.
    void headerChainFillsTheGridAndTheHeader()
    {
        QSignalSpy said(m_session.get(), &ServerSession::statusMessage);
        const QString key = QStringLiteral("127.0.0.1:%1").arg(m_sim->port());
        connectTo(m_sim->port(), m_sim->password());
        QTRY_COMPARE_WITH_TIMEOUT(m_session->gridModel().rows(), m_sim->gridRows(), 3000);
        QCOMPARE(m_session->playerCount(), QStringLiteral("14"));
        QCOMPARE(m_session->hostName(), ServerSession::kLoading);
        QTRY_COMPARE_WITH_TIMEOUT(m_session->mapName(), QStringLiteral("mp_castle"), 4000);
        QTRY_COMPARE_WITH_TIMEOUT(m_session->hostName(), QStringLiteral("Garrison Test"), 4000);
        QCOMPARE(m_sim->answered(),
                 QStringList({QStringLiteral("status"), QStringLiteral("mapname"),
                              QStringLiteral("sv_hostname")}));
        m_session->Send(QStringLiteral("status"));
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder.statuses.size(), 2, 3000);
        QCOMPARE(m_recorder.statuses, QStringList({key + QStringLiteral("||14"),
                                                   key + QStringLiteral("|Garrison Test|14")}));

        m_session->Send(QStringLiteral("map mp_dome"));
        QVERIFY(said.constLast().at(0).toString().startsWith(
            QStringLiteral("Last command: /map mp_dome at ")));
        QTRY_COMPARE_WITH_TIMEOUT(m_session->mapName(), QStringLiteral("mp_dome"), 5000);
        m_session->Send(QStringLiteral("sv_maxping abc"));
        QTRY_COMPARE_WITH_TIMEOUT(said.constLast().at(0).toString(),
                                  QStringLiteral("The server refused /sv_maxping abc: 'abc' is not "
                                                 "a valid value for dvar 'sv_maxPing' (the whole "
                                                 "answer is on the Terminal page)"),
                                  3000);
    }

    // Every command of the session gets the refusal; the session is refused once.
    void invalidPasswordIsRefusedOnce()
    {
        QSignalSpy refused(m_session.get(), &ServerSession::passwordRefused);
        QSignalSpy replies(&m_session->rcon(), &RconClient::datagramReceived);
        connectTo(m_sim->port(), QStringLiteral("wrong"));
        m_session->Send(QStringLiteral("mapname"));
        m_session->Send(QStringLiteral("sv_hostname"));
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 3, 3000);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(m_session->gridModel().rowCount(), 0);
        QCOMPARE(m_session->playerCount(), QStringLiteral("0"));
        QVERIFY(m_recorder.statuses.isEmpty());
    }

    void listsReaderAndIndicatorsTakeTheirReplies()
    {
        connectAndWaitForTheChain();
        QSignalSpy published(m_session.get(), &ServerSession::listPublished);
        m_session->Send(QStringLiteral("pb_sv_banlist"));
        QVERIFY(published.wait(5000));
        const QString list = published.at(0).at(0).toString();
        QVERIFY(!list.contains(QStringLiteral("PunkBuster Server")));
        QVERIFY(list.size() > 1000); // more than one datagram's worth
        QTest::qWait(1500);
        QCOMPARE(published.size(), 1);

        QSignalSpy reader(m_session.get(), &ServerSession::readerText);
        m_session->Send(QStringLiteral("serverinfo"));
        QTRY_VERIFY_WITH_TIMEOUT(!reader.isEmpty(), 3000);
        QVERIFY(reader.at(0).at(0).toString().contains(QStringLiteral("Server info settings:")));

        QSignalSpy indicator(m_session.get(), &ServerSession::indicatorParsed);
        m_sim->console().reply(QStringLiteral("set sv_voice 1"));
        m_session->Send(QStringLiteral("sv_voice"));
        QTRY_COMPARE_WITH_TIMEOUT(indicator.size(), 1, 3000);
        QCOMPARE(indicator.at(0).at(0).value<ReplyRouter::Indicator>(),
                 ReplyRouter::Indicator::Voice);
        QVERIFY(indicator.at(0).at(1).toBool());
    }

    // The automatic refresh neither replaces a deferred command nor lets its reply mix into the
    // table: "status" leaves once the deferred command has gone and the line has been quiet.
    void refreshWaitsForAQuietLine()
    {
        connectAndWaitForTheChain();
        QElapsedTimer clock;
        clock.start();
        QList<std::pair<QString, qint64>> sent;
        connect(&m_session->rcon(), &RconClient::commandSent, this, [&](const QString& command) {
            sent.append({command, clock.elapsed()});
        });
        m_session->WaitSend(QStringLiteral("sv_voice"));
        m_session->refresh();
        QVERIFY(m_session->refreshWaiting());
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->answered().constLast(), QStringLiteral("status"), 8000);
        QCOMPARE(m_sim->answered().mid(3),
                 QStringList({QStringLiteral("sv_voice"), QStringLiteral("status")}));
        QCOMPARE(sent.size(), 2);
        QVERIFY(sent[1].second - sent[0].second >= ServerSession::kRefreshQuietMs - 50);
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder.statuses.size(), 2, 3000);
        QCOMPARE(m_session->gridModel().rows(), m_sim->gridRows());
    }

    // Reads go one at a time after a deferred command and a quiet line, paced for engines that
    // ignore commands in quick succession, and stay out of the console and the pages' displays;
    // a value the user sets is read again.
    void valuesAreReadQuietlyAndAgainAfterAChange()
    {
        connectAndWaitForTheChain();
        m_sim->console().reply(QStringLiteral("set sv_voice 1"));
        QElapsedTimer clock;
        clock.start();
        QList<qint64> sentAt;
        connect(&m_session->rcon(), &RconClient::commandSent, this,
                [&] { sentAt.append(clock.elapsed()); });
        QSignalSpy read(m_session.get(), &ServerSession::valueRead);
        QSignalSpy console(m_session.get(), &ServerSession::consoleText);
        QSignalSpy indicator(m_session.get(), &ServerSession::indicatorParsed);
        QSignalSpy header(m_session.get(), &ServerSession::headerChanged);
        m_session->WaitSend(QStringLiteral("sv_fps"));
        m_session->readValues({QStringLiteral("sv_voice"), QStringLiteral("sv_hostname"),
                               QStringLiteral("sv_maxping")});
        QTRY_COMPARE_WITH_TIMEOUT(read.size(), 3, 10000);
        QCOMPARE(m_sim->answered().mid(3),
                 QStringList({"sv_fps", "sv_voice", "sv_hostname", "sv_maxping"}));
        QCOMPARE(read,
                 (QList<QVariantList>{
                     {"sv_voice", "1"}, {"sv_hostname", "Garrison Test"}, {"sv_maxping", "0"}}));
        QVERIFY(sentAt[1] - sentAt[0] >= ServerSession::kRefreshQuietMs - 50);
        QVERIFY(sentAt[2] - sentAt[1] >= ServerSession::kReadPaceMs - 50);
        QCOMPARE(console.size(), 2); // the echo of sv_fps and its reply
        QVERIFY(indicator.isEmpty() && header.isEmpty());

        m_session->Send(QStringLiteral("sv_maxPing 250"));
        QTRY_COMPARE_WITH_TIMEOUT(read.size(), 4, 5000);
        QCOMPARE(read.constLast(), (QVariantList{"sv_maxping", "250"}));
        // Only what was read before is read again.
        m_session->Send(QStringLiteral("scr_hardcore 1"));
        m_session->Send(QStringLiteral("set sv_maxping 300"));
        QTRY_COMPARE_WITH_TIMEOUT(read.size(), 5, 5000);
        QCOMPARE(read.constLast(), (QVariantList{"sv_maxping", "300"}));
        QVERIFY(!m_sim->answered().contains(QStringLiteral("scr_hardcore")));
    }

    // Whoever sends "status", its table is read alone: the rest of an older one never mixes in.
    void statusStartsAFreshTable()
    {
        UdpPeer server;
        connectTo(server.port(), QStringLiteral("pw"));
        QVERIFY(server.waitFor(1));
        QSignalSpy arrived(&m_session->rcon(), &RconClient::datagramReceived);
        server.reply(
            UdpPeer::replyDatagram(kStatusHeader + QByteArray(kStatusLine).replace("%1", "Old")));
        QVERIFY(arrived.wait(2000));
        m_session->Send(QStringLiteral("status"));
        QVERIFY(server.waitFor(2));
        server.reply(UdpPeer::replyDatagram(kStatusHeader +
                                            QByteArray(kStatusLine).replace("%1", "New") + "\n"));
        QTRY_COMPARE_WITH_TIMEOUT(m_session->gridModel().rowCount(), 1, 2000);
        QCOMPARE(m_session->gridModel().row(0)[PlayerRow::Name], QStringLiteral("New"));
        QCOMPARE(m_session->playerCount(), QStringLiteral("1"));
    }

    // Log out closes the line and empties the cells (a table it cuts short never fills them);
    // Disconnect forgets the password; a later deferred send still echoes.
    void logOutAndDisconnect()
    {
        UdpPeer server;
        connectTo(server.port(), QStringLiteral("pw"));
        QVERIFY(server.waitFor(1));
        QSignalSpy arrived(&m_session->rcon(), &RconClient::datagramReceived);
        server.reply(UdpPeer::replyDatagram(kStatusHeader + kStatusLine));
        QVERIFY(arrived.wait(2000));
        m_session->logOut();
        QTest::qWait(3 * StatusReply::kQuietGapMs);
        QCOMPARE(m_session->gridModel().rowCount(), 0);
        QCOMPARE(
            QStringList({m_session->hostName(), m_session->mapName(), m_session->playerCount()}),
            QStringList({"nohostname", "nomap", "0"}));
        QVERIFY(!m_session->rcon().isOpen());

        connectTo(server.port(), QStringLiteral("pw"));
        QSignalSpy disconnected(m_session.get(), &ServerSession::disconnected);
        QSignalSpy console(m_session.get(), &ServerSession::consoleText);
        m_session->Disconnect();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(
            QStringList({m_session->hostName(), m_session->mapName(), m_session->playerCount()}),
            QStringList({"loading...", "loading...", "0"}));
        QVERIFY(m_session->txtRcon().isEmpty());
        m_session->Send(QStringLiteral("sv_hostname"));
        QVERIFY(
            console.constLast().at(0).toString().endsWith(QStringLiteral("] - /sv_hostname\r\n")));

        m_session->takeLoginValues(QStringLiteral("127.0.0.1"), QStringLiteral("abc"), "pw");
        QVERIFY(m_session->Connect());
    }

    // Who acted, as the history keeps it: the daemon user in a daemon session, else "rcon".
    void actionsAreRecordedWithTheirActor_data()
    {
        test::addTextRows({"flag", "user", "actor"},
                          {{"direct", "0", "alice", "rcon"}, {"daemon", "1", "alice", "alice"}});
    }
    void actionsAreRecordedWithTheirActor()
    {
        QFETCH(QString, flag);
        QFETCH(QString, user);
        QFETCH(QString, actor);
        m_session->takeLoginValues(QStringLiteral("192.0.2.7"), QStringLiteral("28961"), "pw");
        m_session->IdentDaemon(flag);
        m_session->setDaemonUser(user);
        m_session->recordAction({"Nick^7", " 10", " 48", "1234", "  3", "192.0.2.1:28960"},
                                QStringLiteral("kick Nick^7"), QStringLiteral("camping"));
        QCOMPARE(m_recorder.actions.size(), 1);
        const PlayerAction& action = m_recorder.actions[0];
        QCOMPARE(QStringList({action.serverKey, action.actor, action.command, action.name,
                              action.guid, action.slot, action.address, action.reason}),
                 QStringList({"192.0.2.7:28961", actor, "kick Nick^7", "Nick^7", "1234", "  3",
                              "192.0.2.1:28960", "camping"}));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestServerSession)
#include "TestServerSession.moc"
