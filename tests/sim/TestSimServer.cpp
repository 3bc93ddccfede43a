#include "SimRedirectBuffer.h"
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
};

GARRISON_TEST_GUILESS_MAIN(TestSimServer)
#include "TestSimServer.moc"
