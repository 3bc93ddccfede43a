#include "SimRedirectBuffer.h"
#include "rcon/RconDatagram.h"
#include "rcon/StatusParser.h"
#include "support/SimFixture.h"
#include "support/TestMain.h"

using namespace garrison::sim;
using garrison::test::SimFixture;

namespace {

const QByteArray kHeader = QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\n");

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
        SimSettings settings = SimFixture::frozenSettings();
        settings.players = 40;
        SimFixture sim(settings);
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

    // Every player of the table, however his row is printed, becomes a grid row with his slot,
    // name, guid and address, after reception as the program does it.
    void statusParsesIntoEveryPlayer_data()
    {
        QTest::addColumn<bool>("hexGuids");
        QTest::addColumn<bool>("highPorts");
        QTest::newRow("plain") << false << false;
        QTest::newRow("hex guids") << true << false;
        QTest::newRow("high ports") << false << true;
    }
    void statusParsesIntoEveryPlayer()
    {
        QFETCH(bool, hexGuids);
        QFETCH(bool, highPorts);
        SimSettings settings = SimFixture::frozenSettings();
        settings.players = 24;
        settings.hexGuids = hexGuids;
        settings.highPorts = highPorts;
        SimFixture sim(settings);
        QVERIFY(sim.start());
        QString reply;
        for (const QByteArray& datagram : sim.rcon(QStringLiteral("status"))) {
            reply += garrison::RconDatagram::cleanReply(datagram);
        }
        QCOMPARE(garrison::StatusParser::parse(reply).rows, sim.gridRows());
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSimServer)
#include "TestSimServer.moc"
