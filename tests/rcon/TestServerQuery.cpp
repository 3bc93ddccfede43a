#include "rcon/ServerQuery.h"
#include "rcon/TextLines.h"
#include "support/SimFixture.h"
#include "support/TestMain.h"
#include "support/UdpPeer.h"

#include <QEventLoop>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace garrison;
using garrison::test::SimFixture;
using garrison::test::UdpPeer;
using State = QueriedServer::State;

namespace {

constexpr int kWaitMs = 5000;

QString challengeOf(const QByteArray& request)
{
    return QString::fromLatin1(request.sliced(request.indexOf(' ') + 1));
}

} // namespace

class TestServerQuery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Three servers of different shapes and a port where nothing answers: one round fills every
    // row, all from one socket; the silent server is shown as not answering and stays listed.
    void oneRoundFillsEveryRow()
    {
        struct Shape {
            const char* map;
            const char* gametype;
            int players;
            const char* joinPassword;
        };
        const QList<Shape> shapes = {{"mp_dome", "dm", 3, ""},
                                     {"mp_makin", "sd", 0, "letmein"},
                                     {"mp_castle", "tdm", 12, ""}};
        std::vector<std::unique_ptr<SimFixture>> sims;
        QSet<quint16> sourcePorts;
        ServerQuery query;
        query.setReplyTimeoutMs(500);
        for (const Shape& shape : shapes) {
            sim::SimSettings settings = SimFixture::frozenSettings();
            settings.map = QString::fromLatin1(shape.map);
            settings.gametype = QString::fromLatin1(shape.gametype);
            settings.players = shape.players;
            settings.joinPassword = QString::fromLatin1(shape.joinPassword);
            sims.push_back(std::make_unique<SimFixture>(settings));
            QVERIFY(sims.back()->start());
            connect(&sims.back()->server(), &sim::SimServer::queryAnswered, this,
                    [&](const QString&, const QHostAddress&, quint16 port) {
                        sourcePorts.insert(port);
                    });
            QCOMPARE(query.addServer(QStringLiteral("127.0.0.1"), sims.back()->port()),
                     static_cast<int>(sims.size()) - 1);
        }
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress(QHostAddress::LocalHost), 0));
        query.addServer(QStringLiteral("127.0.0.1"), silent.localPort());
        QCOMPARE(query.addServer(QStringLiteral("127.0.0.1"), silent.localPort()), -1);

        QSignalSpy finished(&query, &ServerQuery::queryFinished);
        query.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 4, kWaitMs);

        for (int row = 0; row < 3; ++row) {
            const QueriedServer& server = query.server(row);
            const Shape& shape = shapes.at(row);
            QCOMPARE(server.state, State::Answering);
            QCOMPARE(server.hostName, QStringLiteral("CoDWaWHost"));
            QCOMPARE(server.map, QLatin1String(shape.map));
            QCOMPARE(server.gameType, QLatin1String(shape.gametype));
            QCOMPARE(server.maxClients, 24);
            QCOMPARE(server.passwordNeeded, *shape.joinPassword != '\0');
            QVERIFY(server.pingMs >= 0 && server.lastSeen.isValid());
            QStringList expected;
            for (const sim::SimPlayer& player : sims.at(row)->console().world().players()) {
                expected.append(QStringLiteral("%1 %2").arg(player.name).arg(player.score));
            }
            QStringList players;
            for (const QueryPlayer& player : server.players) {
                players.append(QStringLiteral("%1 %2").arg(player.name).arg(player.score));
            }
            QCOMPARE(players, expected);
            QCOMPARE(server.clients, expected.size());
            QVERIFY(server.playersKnown);
        }
        QCOMPARE(query.count(), 4);
        QCOMPARE(query.server(3).state, State::NotAnswering);
        QCOMPARE(sourcePorts, QSet<quint16>{query.localPort()});
        QCOMPARE(query.droppedDatagrams(), 0u);
    }

    // Only an answer from the address and port that was asked, echoing the challenge of that
    // very query, counts; everything else is dropped, and so is a second copy of the answer.
    void onlyTheAskedQueryCounts_data()
    {
        QTest::addColumn<QString>("challenge");
        QTest::addColumn<bool>("fromServer");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("echoed challenge") << "info" << true << true;
        QTest::newRow("challenge of the other query") << "status" << true << false;
        QTest::newRow("no challenge") << "" << true << false;
        QTest::newRow("another challenge") << "12345678" << true << false;
        QTest::newRow("echoed challenge from another port") << "info" << false << false;
    }
    void onlyTheAskedQueryCounts()
    {
        QFETCH(QString, challenge);
        QFETCH(bool, fromServer);
        QFETCH(bool, accepted);
        UdpPeer server;
        ServerQuery query;
        query.setReplyTimeoutMs(kWaitMs * 2);
        query.addServer(QStringLiteral("127.0.0.1"), server.port());
        query.refresh();
        QVERIFY(server.waitFor(2));
        QVERIFY(server.received().at(0).data.contains("getinfo "));
        if (challenge == u"info") {
            challenge = challengeOf(server.received().at(0).data);
        } else if (challenge == u"status") {
            challenge = challengeOf(server.received().at(1).data);
        }
        const QByteArray answer =
            "\xFF\xFF\xFF\xFFinfoResponse\n\\hostname\\Spoof" +
            (challenge.isEmpty() ? QByteArray() : "\\challenge\\" + challenge.toLatin1());
        QUdpSocket other;
        const auto send = [&] {
            if (fromServer) {
                server.reply(answer);
            } else {
                other.writeDatagram(answer, QHostAddress(QHostAddress::LocalHost),
                                    query.localPort());
            }
        };
        send();
        if (accepted) {
            QTRY_COMPARE_WITH_TIMEOUT(query.server(0).state, State::Answering, kWaitMs);
            QCOMPARE(query.server(0).hostName, QStringLiteral("Spoof"));
            send();
        }
        QTRY_COMPARE_WITH_TIMEOUT(query.droppedDatagrams(), 1u, kWaitMs);
        QCOMPARE(query.server(0).state, accepted ? State::Answering : State::Asking);
    }

    // However often the list is refreshed, a server hears from it at most once every five
    // seconds (on the list's clock); a running list asks each server as soon as it is due.
    void aServerIsAskedAtMostEveryFiveSeconds()
    {
        sim::SimSettings settings = SimFixture::frozenSettings();
        settings.queryBurst = 0;
        SimFixture sim(settings);
        QVERIFY(sim.start());
        int asked = 0;
        connect(&sim.server(), &sim::SimServer::queryAnswered, this, [&] { ++asked; });
        qint64 clock = 0;
        ServerQuery query;
        query.setClock([&clock] { return clock; });
        query.addServer(QStringLiteral("127.0.0.1"), sim.port());
        QSignalSpy finished(&query, &ServerQuery::queryFinished);

        query.refresh();
        QVERIFY(finished.wait(kWaitMs));
        clock = ServerQuery::kMinimumIntervalMs - 1;
        query.refresh();
        clock = ServerQuery::kMinimumIntervalMs;
        query.refresh();
        // Answers come in the order of the queries: a query at 4999 ms would be answered first.
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(asked, 4);

        clock = 2 * ServerQuery::kMinimumIntervalMs;
        query.start();
        QVERIFY(finished.wait(kWaitMs));
        QCOMPARE(asked, 6);
        query.pause();
        QVERIFY(!query.isRunning());
    }

    // Servers that answer from another thread, as other processes do, so that answers arrive
    // while the list is still busy with earlier ones: round after round every row is filled
    // again. (The socket once went deaf for good after some hundred rounds.)
    void everyRoundIsHeard()
    {
        constexpr int kServers = 10;
        constexpr int kRounds = 2000;
        sim::SimSettings settings = SimFixture::frozenSettings();
        settings.queryBurst = 0;
        QThread thread;
        thread.start();
        std::vector<sim::SimServer*> servers;
        const auto stop = qScopeGuard([&] {
            for (sim::SimServer* server : servers) {
                QMetaObject::invokeMethod(
                    server, [server] { delete server; }, Qt::BlockingQueuedConnection);
            }
            thread.quit();
            thread.wait();
        });
        qint64 clock = 0;
        ServerQuery query;
        query.setClock([&clock] { return clock; });
        for (int i = 0; i < kServers; ++i) {
            auto* server = new sim::SimServer(settings);
            server->moveToThread(&thread);
            servers.push_back(server);
            quint16 port = 0;
            QMetaObject::invokeMethod(
                server, [&] { port = server->start(QHostAddress(QHostAddress::LocalHost), 0); },
                Qt::BlockingQueuedConnection);
            query.addServer(QStringLiteral("127.0.0.1"), port);
        }
        int finished = 0;
        QEventLoop round;
        connect(&query, &ServerQuery::queryFinished, &round, [&] {
            if (++finished == kServers) {
                round.quit();
            }
        });
        for (int i = 1; i <= kRounds; ++i) {
            finished = 0;
            clock += ServerQuery::kMinimumIntervalMs;
            query.refresh();
            round.exec(); // a silent round ends by the reply timeout
            for (int row = 0; row < kServers; ++row) {
                QVERIFY2(query.server(row).answered(),
                         qPrintable(QStringLiteral("round %1").arg(i)));
            }
        }
    }
};

GARRISON_TEST_GUILESS_MAIN(TestServerQuery)
#include "TestServerQuery.moc"
