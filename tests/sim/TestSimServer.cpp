#include "SimRedirectBuffer.h"
#include "SimRequest.h"
#include "support/SimFixture.h"
#include "support/TestMain.h"

#include <QSignalSpy>

using namespace garrison::sim;
using garrison::test::SimFixture;

namespace {

const QByteArray kHeader = QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\n");

SimSettings settingsWith(int players)
{
    SimSettings settings = SimFixture::frozenSettings();
    settings.players = players;
    return settings;
}

} // namespace

class TestSimServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void longRepliesAreSplit_data()
    {
        QTest::addColumn<QString>("command");

        QTest::newRow("status of 40 players") << "status";
        QTest::newRow("ban list") << "pb_sv_banlist";
    }
    void longRepliesAreSplit()
    {
        QFETCH(QString, command);
        SimFixture sim(settingsWith(40));
        QVERIFY(sim.start());

        const QList<QByteArray> datagrams = sim.rcon(command);

        QVERIFY(datagrams.size() >= 3);
        for (const QByteArray& datagram : datagrams) {
            QVERIFY(datagram.startsWith(kHeader));
            QVERIFY(datagram.size() <= kHeader.size() + 1007);
            // Only the last one is sent before the buffer is nearly full.
            QVERIFY(datagram.size() > kHeader.size() + 900 || &datagram == &datagrams.last());
        }
        QCOMPARE(SimRedirectBuffer::join(datagrams), sim.console().reply(command));
        const bool cutInsideALine =
            std::any_of(datagrams.cbegin(), datagrams.cend() - 1,
                        [](const QByteArray& d) { return !d.endsWith('\n'); });
        QCOMPARE(cutInsideALine, command == QStringLiteral("status"));
    }
    void cooldownDropsEarlyRequests()
    {
        SimSettings settings = SimFixture::frozenSettings();
        settings.cooldownMs = 60000;
        SimFixture sim(settings);
        QVERIFY(sim.start());
        QSignalSpy dropped(&sim.server(), &SimServer::requestDropped);
        QSignalSpy answered(&sim.server(), &SimServer::requestAnswered);

        QCOMPARE(sim.rcon(QStringLiteral("mapname")).size(), 1);
        sim.sendRaw(SimRequest::encode(sim.password(), QStringLiteral("status")));

        QVERIFY(dropped.wait(SimFixture::kTimeoutMs));
        QCOMPARE(dropped.first().first().toString(), QStringLiteral("status"));
        QCOMPARE(answered.size(), 1);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSimServer)
#include "TestSimServer.moc"
