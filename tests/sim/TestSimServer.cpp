#include "SimGameLog.h"
#include "SimRedirectBuffer.h"
#include "SimRequest.h"
#include "support/SimFixture.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace garrison::sim;
using garrison::test::addTextRows;
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
    void bytesOnTheWire_data();
    void bytesOnTheWire();
    void statusOverTheWire();
    void longRepliesAreSplit_data();
    void longRepliesAreSplit();
    void garbageIsIgnored_data();
    void garbageIsIgnored();
    void commandsAct_data();
    void commandsAct();
    void cooldownDropsEarlyRequests();
    void quitEndsListening();
    void serverLog();
    void hooksCarryChatAndAntiCheatLines();
    void busyPortIsReported();
    void logStamp_data();
    void logStamp();
};

void TestSimServer::bytesOnTheWire_data()
{
    // The reply is what follows the header.
    addTextRows({"password", "command", "reply"},
                {{"wrong password", "wrong", "status", "Invalid password.\n"},
                 {"empty password", "", "status", "Invalid password.\n"},
                 {"password in other case", "Secret", "status", "Invalid password.\n"},
                 {"start of the password", "secre", "status", "Invalid password.\n"},
                 {"unknown command", "secret", "frob", "Unknown command \"frob\"\n"},
                 {"dvar query", "secret", "g_allowvote",
                  "\"g_allowVote\" is: \"1^7\" default: \"1^7\"\n  Domain is 0 or 1\n"},
                 {"silent command", "secret", "sv_hostname Frontline", ""}});
}

void TestSimServer::bytesOnTheWire()
{
    QFETCH(QString, password);
    QFETCH(QString, command);
    QFETCH(QString, reply);
    SimFixture sim;
    QVERIFY(sim.start());
    QSignalSpy answered(&sim.server(), &SimServer::requestAnswered);

    sim.sendRaw(SimRequest::encode(password, command));

    QVERIFY(answered.wait(SimFixture::kTimeoutMs));
    QCOMPARE(sim.receive(1), QList<QByteArray>{kHeader + reply.toLatin1()});
}

void TestSimServer::statusOverTheWire()
{
    SimFixture sim(settingsWith(0));
    QVERIFY(sim.start());
    SimPlayer player;
    player.name = QStringLiteral("^2Nick");
    player.ip = QStringLiteral("192.0.2.10");
    player.ping = 48;
    player.guid = 1234567890;
    sim.console().world().addPlayer(player);

    QCOMPARE(
        sim.rcon(QStringLiteral("status")),
        QList<QByteArray>{kHeader +
                          "map: mp_castle\n"
                          "num score ping guid       name            lastmsg address               "
                          "qport  rate\n"
                          "--- ----- ---- ---------- --------------- ------- --------------------- "
                          "------ -----\n"
                          "  0     0   48 1234567890 ^2Nick^7                  0 192.0.2.10:28960"
                          "           0 25000\n\n"});
}

void TestSimServer::longRepliesAreSplit_data()
{
    QTest::addColumn<QString>("command");

    QTest::newRow("status of 40 players") << "status";
    QTest::newRow("ban list") << "pb_sv_banlist";
}

void TestSimServer::longRepliesAreSplit()
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
    const bool cutInsideALine = std::any_of(datagrams.cbegin(), datagrams.cend() - 1,
                                            [](const QByteArray& d) { return !d.endsWith('\n'); });
    QCOMPARE(cutInsideALine, command == QStringLiteral("status"));
}

void TestSimServer::garbageIsIgnored_data()
{
    QTest::addColumn<QByteArray>("garbage");

    QTest::newRow("binary") << QByteArray("\x00\x13\xFF\xFE\x80\x7F\x01", 7);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("too short") << QByteArray("\xFF\xFF\xFF");
    QTest::newRow("no marker") << QByteArray("rcon secret status");
    QTest::newRow("password without command") << QByteArray("\xFF\xFF\xFF\xFFrcon secret");
    QTest::newRow("64 KiB request")
        << QByteArray("\xFF\xFF\xFF\xFFrcon secret status ") + QByteArray(65507 - 23, 'a');
    QTest::newRow("64 KiB of marker bytes") << QByteArray(65507, '\xFF');
}

void TestSimServer::garbageIsIgnored()
{
    QFETCH(QByteArray, garbage);
    SimFixture sim;
    QVERIFY(sim.start());
    QSignalSpy ignored(&sim.server(), &SimServer::datagramIgnored);

    sim.sendRaw(garbage);
    QVERIFY(ignored.wait(SimFixture::kTimeoutMs));
    const QList<QByteArray> reply = sim.rcon(QStringLiteral("mapname"));

    QCOMPARE(ignored.size(), 1);
    QCOMPARE(reply.size(), 1);
    QVERIFY(reply.first().contains("\"mapname\" is: \"mp_castle^7\""));
}

void TestSimServer::commandsAct_data()
{
    addTextRows(
        {"command", "query", "before", "after"},
        {{"kicked player is gone", "kick Sgt Pepper", "status", "Sgt Pepper^7", ""},
         {"map change", "map mp_dome", "mapname", "is: \"mp_castle^7\"", "is: \"mp_dome^7\""},
         {"set then query", "set sv_hostname ^1Front^7line", "sv_hostname", "is: \"CoDWaWHost^7\"",
          "is: \"^1Front^7line^7\""}});
}

void TestSimServer::commandsAct()
{
    QFETCH(QString, command);
    QFETCH(QString, query);
    QFETCH(QString, before);
    QFETCH(QString, after);
    SimFixture sim;
    QVERIFY(sim.start());
    QVERIFY(sim.rconText(query).contains(before));

    QCOMPARE(sim.rcon(command).size(), 1);
    const QString reply = sim.rconText(query);

    QVERIFY2(!reply.contains(before), qPrintable(reply));
    QVERIFY2(reply.contains(after), qPrintable(reply));
}

void TestSimServer::cooldownDropsEarlyRequests()
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

void TestSimServer::quitEndsListening()
{
    SimFixture sim;
    QVERIFY(sim.start());
    QSignalSpy finished(&sim.server(), &SimServer::finished);

    sim.sendRaw(SimRequest::encode(sim.password(), QStringLiteral("killserver")));

    QVERIFY(finished.wait(SimFixture::kTimeoutMs));
    QVERIFY(!sim.server().isListening());
    QVERIFY(sim.receive(1, 200).isEmpty());
}

void TestSimServer::serverLog()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimSettings settings = settingsWith(10);
    settings.logFile = dir.filePath(QStringLiteral("games_mp.log"));
    {
        SimFixture sim(settings);
        QVERIFY(sim.start());
        QCOMPARE(sim.rconText(QStringLiteral("say hello there")),
                 QStringLiteral("console: hello there\n"));
        sim.tick(20 * 60 * 1000);
        sim.rcon(QStringLiteral("clientkick 3"));
        sim.rcon(QStringLiteral("map mp_dome"));
        sim.sendRaw(SimRequest::encode(QStringLiteral("guess"), QStringLiteral("status")));
        QCOMPARE(sim.receive(1).size(), 1);
    }
    QFile file(settings.logFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts);

    static const QRegularExpression stamped(QStringLiteral("^ *\\d+:\\d\\d \\S"));
    for (const QString& line : lines) {
        QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
    }
    const auto has = [&](const QString& pattern) {
        return !lines.filter(QRegularExpression(pattern)).isEmpty();
    };
    QVERIFY(has(QStringLiteral("^  0:00 InitGame: .*\\\\mapname\\\\mp_castle")));
    QVERIFY(has(QStringLiteral("^  0:00 Rcon from 127\\.0\\.0\\.1:\\d+: say hello there$")));
    QVERIFY(has(QStringLiteral("^  0:00 say;0;-1;Console;hello there$")));
    QVERIFY(has(QStringLiteral("^ *\\d+:\\d\\d J;\\d+;\\d+;")));
    QVERIFY(has(QStringLiteral("^ *\\d+:\\d\\d Q;\\d+;\\d+;")));
    QVERIFY(has(QStringLiteral("^ *\\d+:\\d\\d say;\\d+;\\d+;[^;]+;")));
    QVERIFY(has(QStringLiteral("^ 20:00 Q;0;3;bot0$")));
    QVERIFY(has(QStringLiteral("^ 20:00 InitGame: .*\\\\mapname\\\\mp_dome")));
    QVERIFY(has(QStringLiteral("^ 20:00 Bad rcon from 127\\.0\\.0\\.1:\\d+: status$")));
    QVERIFY(!has(QStringLiteral("secret|guess")));
}

void TestSimServer::hooksCarryChatAndAntiCheatLines()
{
    SimFixture sim;
    QVERIFY(sim.start());
    QSignalSpy chat(&sim.server(), &SimServer::chatLine);
    QSignalSpy punkBuster(&sim.server(), &SimServer::punkBusterLine);

    sim.rcon(QStringLiteral("say hi"));
    sim.rcon(QStringLiteral("pb_sv_restart"));
    sim.tick(10 * 60 * 1000);

    QVERIFY(chat.size() > 1);
    QCOMPARE(chat.first(), (QList<QVariant>{-1, QStringLiteral("Console"), QStringLiteral("hi")}));
    QVERIFY(punkBuster.size() > 2);
    QCOMPARE(punkBuster.at(1).first().toString(),
             QStringLiteral("^3PunkBuster Server: PunkBuster Server Enabled"));
}

void TestSimServer::busyPortIsReported()
{
    SimFixture first;
    QVERIFY(first.start());
    SimServer second(SimFixture::frozenSettings());

    QCOMPARE(second.start(QHostAddress(QHostAddress::LocalHost), first.port()), quint16(0));
    QVERIFY(!second.errorString().isEmpty());
    QVERIFY(!second.isListening());
}

void TestSimServer::logStamp_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("stamp");

    QTest::newRow("start") << qint64(0) << "  0:00 ";
    QTest::newRow("seconds only") << qint64(65999) << "  1:05 ";
    QTest::newRow("three-digit minutes") << qint64(6000000) << "100:00 ";
}

void TestSimServer::logStamp()
{
    QFETCH(qint64, ms);
    QFETCH(QString, stamp);

    QCOMPARE(SimGameLog::stamp(ms), stamp);
}

GARRISON_TEST_GUILESS_MAIN(TestSimServer)
#include "TestSimServer.moc"
