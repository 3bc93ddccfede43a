#include "SimQuery.h"
#include "SimRateLimit.h"
#include "SimRedirectBuffer.h"
#include "rcon/QueryResponse.h"
#include "rcon/RconDatagram.h"
#include "rcon/StatusParser.h"
#include "rcon/TextLines.h"
#include "support/SimFixture.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

using namespace garrison::sim;
using garrison::test::SimFixture;

namespace {

const QByteArray kHeader = QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\n");
const QByteArray kMarker = QByteArrayLiteral("\xFF\xFF\xFF\xFF");

// "kind;challenge;host|map|clients|max|gametype|needpass;players", the values from whichever
// keys the answer uses, "-" for a missing one; or "none" when no answer came.
QString summary(const std::optional<QByteArray>& answer)
{
    const std::optional<garrison::QueryResponse> response =
        answer ? garrison::QueryResponse::parse(*answer) : std::nullopt;
    if (!response) {
        return QStringLiteral("none");
    }
    const garrison::InfoString& info = response->variables;
    const auto value = [&](QStringView key, QStringView other) {
        return info.find(key).value_or(info.find(other).value_or(QStringLiteral("-")));
    };
    const bool isInfo = response->kind == garrison::QueryResponse::Kind::Info;
    return QStringList{isInfo ? QStringLiteral("info") : QStringLiteral("status"),
                       info.find(u"challenge").value_or(QStringLiteral("-")),
                       QStringList{value(u"hostname", u"sv_hostname"), value(u"mapname", u""),
                                   value(u"clients", u""), value(u"sv_maxclients", u""),
                                   value(u"gametype", u"g_gametype"), value(u"g_needpass", u"")}
                           .join(u'|'),
                       isInfo ? QStringLiteral("-") : QString::number(response->players.size())}
        .join(u';');
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

    // getinfo and getstatus as servers of this family answer them: to anyone, the challenge
    // echoed where the info string can hold it.
    void queries_data()
    {
        const QString longest(garrison::sim::SimQuery::kMaxChallenge, u'c');
        garrison::test::addTextRows(
            {"request", "joinPassword", "answer"},
            {{"getinfo", "getinfo abc", "", "info;abc;CoDWaWHost|mp_castle|8|24|tdm|0;-"},
             {"getstatus", "getstatus xyz", "", "status;xyz;CoDWaWHost|mp_castle|-|24|tdm|0;8"},
             {"join password", "getinfo abc", "pw", "info;abc;CoDWaWHost|mp_castle|8|24|tdm|1;-"},
             {"word in capitals, quoted challenge", "GETSTATUS \"a b\"", "pw",
              "status;a b;CoDWaWHost|mp_castle|-|24|tdm|1;8"},
             {"no challenge", "getinfo", "", "info;-;CoDWaWHost|mp_castle|8|24|tdm|0;-"},
             {"challenge with a backslash", "getinfo a\\b", "",
              "info;-;CoDWaWHost|mp_castle|8|24|tdm|0;-"},
             {"line end ends the request", "getinfo abc\ngetstatus", "",
              "info;abc;CoDWaWHost|mp_castle|8|24|tdm|0;-"},
             {"unknown word", "getchallenge abc", "", "none"}});
        QTest::newRow("longest challenge")
            << "getinfo " + longest << ""
            << "info;" + longest + ";CoDWaWHost|mp_castle|8|24|tdm|0;-";
        QTest::newRow("challenge too long") << "getinfo " + longest + "c"
                                            << ""
                                            << "none";
    }
    void queries()
    {
        QFETCH(QString, request);
        QFETCH(QString, joinPassword);
        QFETCH(QString, answer);
        SimSettings settings = SimFixture::frozenSettings();
        settings.joinPassword = joinPassword;
        SimFixture sim(settings);
        QVERIFY(sim.start());
        QCOMPARE(summary(sim.query(kMarker + request.toLatin1())), answer);
    }

    // A server answers each address a couple of queries at a time; another address has its own
    // allowance, whatever the port.
    void queriesAreLimitedPerAddress()
    {
        SimFixture sim;
        QVERIFY(sim.start());
        const QByteArray getinfo = kMarker + "getinfo x";
        QVERIFY(sim.query(getinfo));
        QVERIFY(sim.query(getinfo));
        QSignalSpy dropped(&sim.server(), &SimServer::queryDropped);
        QVERIFY(!sim.query(getinfo));
        QCOMPARE(dropped.size(), 1);
        QUdpSocket otherPort;
        otherPort.writeDatagram(getinfo, QHostAddress(QHostAddress::LocalHost), sim.port());
        QVERIFY(dropped.wait(SimFixture::kTimeoutMs));
        if (garrison::test::underWine()) {
            QSKIP("Wine sends from 127.0.0.1 whatever loopback address a socket is bound to");
        }
        QUdpSocket otherAddress;
        QVERIFY(otherAddress.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        otherAddress.writeDatagram(getinfo, QHostAddress(QHostAddress::LocalHost), sim.port());
        QTRY_VERIFY_WITH_TIMEOUT(otherAddress.hasPendingDatagrams(), SimFixture::kTimeoutMs);
        QCOMPARE(dropped.size(), 2);
    }

    // The leaky bucket on a given clock: "a" and "b" are two addresses, "@" the time in ms;
    // y for an answer, n for a drop.
    void rateLimit_data()
    {
        garrison::test::addTextRows(
            {"limit", "requests", "answered"},
            {{"burst, then one per period", "2/1000", "a@0 a@0 a@0 a@999 a@1000 a@1000", "yynnyn"},
             {"a long pause empties it", "2/1000", "a@0 a@0 a@5000 a@5000 a@5000", "yyyyn"},
             {"part of a period is kept", "3/1000", "a@0 a@0 a@0 a@1500 a@2000 a@2000", "yyyyyn"},
             {"per address", "2/1000", "a@0 a@0 a@0 b@0 b@0 b@0", "yynyyn"},
             {"clock going back", "2/1000", "a@1000 a@1000 a@0 a@0", "yynn"},
             {"no limit", "0/1000", "a@0 a@0 a@0 a@0", "yyyy"}});
    }
    void rateLimit()
    {
        QFETCH(QString, limit);
        QFETCH(QString, requests);
        QFETCH(QString, answered);
        SimRateLimit bucket(limit.section(u'/', 0, 0).toInt(), limit.section(u'/', 1).toInt());
        QString got;
        for (const QString& request : requests.split(u' ')) {
            const QHostAddress address(request.startsWith(u'a') ? QStringLiteral("127.0.0.1")
                                                                : QStringLiteral("127.0.0.2"));
            got += bucket.allow(address, request.section(u'@', 1).toLongLong()) ? u'y' : u'n';
        }
        QCOMPARE(got, answered);
    }

    // QStat, a client of its own, reads the simulator's answers: server, map, counts and every
    // player (it strips the colour codes itself).
    void quakestatReadsTheAnswers()
    {
        const QString quakestat = QStandardPaths::findExecutable(QStringLiteral("quakestat"));
        if (quakestat.isEmpty()) {
            QSKIP("quakestat is not installed (Debian package qstat)");
        }
        SimSettings settings = SimFixture::frozenSettings();
        settings.players = 6;
        SimFixture sim(settings);
        QVERIFY(sim.start());
        QProcess process;
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(quakestat,
                      {"-q3s", QStringLiteral("127.0.0.1:%1").arg(sim.port()), "-P", "-raw", ";"});
        QVERIFY(finished.wait(20000));
        QStringList lines =
            QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(!lines.isEmpty(), qPrintable(process.readAllStandardError()));
        const QStringList server = lines.takeFirst().split(u';');
        QCOMPARE(server.mid(2, 4), (QStringList{"CoDWaWHost", "mp_castle", "24", "6"}));
        QStringList expected;
        for (const SimPlayer& player : sim.console().world().players()) {
            const int ping = player.state != SimPlayer::State::Active ? 999
                             : player.kind == SimPlayer::Kind::Bot    ? 0
                                                                      : player.ping;
            expected.append(
                QStringLiteral("%1;%2;%3").arg(player.plainName()).arg(player.score).arg(ping));
        }
        QCOMPARE(lines, expected);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSimServer)
#include "TestSimServer.moc"
