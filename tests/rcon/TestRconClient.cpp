#include "SimFixture.h"
#include "SimServer.h"
#include "TestMain.h"
#include "TextRows.h"
#include "UdpPeer.h"
#include "rcon/AnswerWatch.h"
#include "rcon/DaemonEcho.h"
#include "rcon/RconClient.h"
#include "rcon/RconDatagram.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QUdpSocket>

using namespace garrison;
using garrison::test::UdpPeer;

namespace {

struct RecordingEcho : DaemonEcho {
    QStringList echoes;
    void echoCommand(const QString& command) override { echoes.append(command); }
};

// Connects the client to the peer; true once its first "status" has arrived.
bool connectTo(RconClient& client, UdpPeer& peer)
{
    return !client.Connect(QStringLiteral("127.0.0.1"), peer.portText(), QStringLiteral("pw")) &&
           peer.waitFor(1);
}

} // namespace

class TestRconClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestDatagram_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char* tag, const char16_t* password, const char16_t* command,
                            const QByteArray& request) {
            QTest::newRow(tag) << QString::fromUtf16(password) << QString::fromUtf16(command)
                               << "\xFF\xFF\xFF\xFFrcon " + request;
        };
        row("status", u"secret", u"status", "secret status");
        row("empty password gives two blanks", u"", u"status", " status");
        row("non-ascii in windows-1252", u"pässwort", u"say Grüße €",
            "p\xE4sswort say Gr\xFC\xDF\x65 \x80");
        row("nothing is quoted or escaped", u"a b", u"say \"x\";quit", "a b say \"x\";quit");
    }
    // The client puts exactly these bytes on the wire. It echoes each command as it leaves
    // (LastCommand already that command), in the system's time format without its time zone,
    // whatever the locale.
    void requestDatagram()
    {
        QFETCH(QString, password);
        QFETCH(QString, command);
        QFETCH(QByteArray, bytes);
        QCOMPARE(RconDatagram::request(password, command), bytes);

        UdpPeer peer;
        RconClient client;
        client.setClock([] { return QDateTime(QDate(2026, 12, 4), QTime(13, 5, 9)); });
        QStringList lastCommandAtEcho;
        QStringList echoes;
        connect(&client, &RconClient::echoed, this, [&](const QString& line) {
            lastCommandAtEcho << client.LastCommand();
            echoes << line;
        });
        QVERIFY(!client.Connect(QStringLiteral("localhost"), peer.portText(), password));
        QVERIFY(peer.waitFor(1));
        QCOMPARE(peer.lastData(), RconDatagram::request(password, QStringLiteral("status")));
        client.Send(command);
        QVERIFY(peer.waitFor(2));
        QCOMPARE(peer.lastData(), bytes);
        QCOMPARE(lastCommandAtEcho, (QStringList{"status", command}));
        QVERIFY2(QRegularExpression(QStringLiteral("^\r\n\\[[0-9:.]*05:09[ APMapm.]*\\] - /") +
                                    QRegularExpression::escape(command) + QStringLiteral("\r\n$"))
                     .match(echoes.at(1))
                     .hasMatch(),
                 qPrintable(echoes.at(1)));
    }

    // A second WaitSend within the second replaces the first and starts the count again; the
    // slot is empty once it has left. With the daemon on, each command is echoed to it when
    // asked for and again when it leaves.
    void waitSendLeavesAboutTwoSecondsAfterTheLastCall()
    {
        UdpPeer peer;
        RconClient client;
        RecordingEcho echo;
        client.setDaemonEcho(&echo);
        client.setDaemonFlag(QStringLiteral("1"));
        QVERIFY(connectTo(client, peer));
        client.WaitSend(QStringLiteral("first"));
        QTest::qWait(600);
        QElapsedTimer clock;
        clock.start();
        client.WaitSend(QStringLiteral("mapname"));
        QCOMPARE(echo.echoes, (QStringList{"status", "first", "mapname"}));
        QCOMPARE(client.PendingCommand(), QStringLiteral("mapname"));
        QCOMPARE(client.LastCommand(), QStringLiteral("status"));
        QVERIFY(peer.waitFor(2, 4000));
        QVERIFY2(clock.elapsed() >= 1800 && clock.elapsed() <= 3000,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(peer.lastData(), RconDatagram::request(QStringLiteral("pw"), "mapname"));
        QCOMPARE(client.LastCommand(), QStringLiteral("mapname"));
        QCOMPARE(echo.echoes, (QStringList{"status", "first", "mapname", "mapname"}));
        QVERIFY(!client.Timer2().isActive());
        QVERIFY(client.PendingCommand().isEmpty());
        // The first never leaves.
        QTest::qWait(1500);
        QCOMPARE(peer.received().size(), 2);

        client.setDaemonFlag(QStringLiteral("0"));
        client.Send(QStringLiteral("status"));
        QCOMPARE(echo.echoes.size(), 4);
    }

    // Unconnected: a send still records and echoes the command. The list timer counts the
    // shared counter up too; the deferral must still end.
    void unconnectedSendAndOverlappingTimers()
    {
        RconClient client;
        QSignalSpy echoes(&client, &RconClient::echoed);
        client.Send(QStringLiteral("sv_hostname"));
        QCOMPARE(client.LastCommand(), QStringLiteral("sv_hostname"));
        QCOMPARE(echoes.size(), 1);
        client.WaitSend(QStringLiteral("mapname"));
        client.advanceTick();
        client.advanceTick();
        QTRY_VERIFY_WITH_TIMEOUT(!client.Timer2().isActive(), 2500);
        QCOMPARE(client.LastCommand(), QStringLiteral("mapname"));
    }

    // The number is the one the error box shows in its caption.
    void connectRefusesBadPeers_data()
    {
        test::addTextRows({"host", "port", "number"},
                          {{"empty port", "127.0.0.1", "", "13"},
                           {"letters", "127.0.0.1", "abc", "13"},
                           {"negative", "127.0.0.1", "-1", "380"},
                           {"zero", "127.0.0.1", "0", "380"},
                           {"too large", "127.0.0.1", "70000", "380"},
                           {"unresolvable host", "no-such-host.invalid", "28960", "11001"},
                           {"empty host", "", "28960", "11001"}});
    }
    void connectRefusesBadPeers()
    {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, number);
        RconClient client;
        const auto failure = client.Connect(host, port, QStringLiteral("pw"));
        QVERIFY(failure.has_value());
        QCOMPARE(QString::number(failure->number), number);
        QVERIFY(!failure->description.isEmpty());
        QVERIFY(!client.isOpen());
    }

    // Refusals while nobody listens (as many as a long wait for the server brings) leave the
    // session neither deaf nor noisy: the first command after the server came up is answered.
    // A handler may end the session on that reply.
    void aServerThatStartsLateIsHeard()
    {
        if (test::underWine()) {
            QSKIP("Wine reports no ICMP port unreachable on UDP sockets (Windows does)");
        }
        quint16 port = 0;
        {
            QUdpSocket probe;
            QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
            port = probe.localPort();
        }
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        RconClient client;
        QSignalSpy received(&client, &RconClient::datagramReceived);
        // Each refusal is announced on the socket.
        QSignalSpy refusals(&client.socket(), &QUdpSocket::readyRead);
        QVERIFY(!client.Connect(QStringLiteral("127.0.0.1"), QString::number(port), "secret"));
        for (int sent = 1; sent <= 20; ++sent) {
            QTRY_COMPARE_WITH_TIMEOUT(refusals.size(), sent, 2000);
            client.Send(QStringLiteral("status"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(refusals.size(), 21, 2000);
        QVERIFY(received.isEmpty());

        sim::SimServer server(test::SimFixture::frozenSettings());
        QCOMPARE(server.start(QHostAddress(QHostAddress::LocalHost), port), port);
        connect(&client, &RconClient::datagramReceived, &client, &RconClient::close);
        client.Send(QStringLiteral("sv_hostname"));
        QVERIFY(received.wait(2000));
        QVERIFY(RconDatagram::cleanReply(received.constFirst().constFirst().toByteArray())
                    .startsWith(QStringLiteral("\"sv_hostname\" is:")));
    }

    void onlyTheServerIsHeard()
    {
        UdpPeer peer;
        RconClient client;
        QSignalSpy received(&client, &RconClient::datagramReceived);
        QVERIFY(connectTo(client, peer));
        const quint16 clientPort = peer.received().constFirst().senderPort;

        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress::LocalHost, 0));
        stranger.writeDatagram(UdpPeer::replyDatagram("forged\n"), QHostAddress::LocalHost,
                               clientPort);
        QVERIFY(!received.wait(300));

        QByteArray big(65000, '\0');
        for (int i = 0; i < big.size(); ++i) {
            big[i] = static_cast<char>(i % 256);
        }
        peer.reply(big);
        QVERIFY(received.wait(2000));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toByteArray(), big);
    }

    // The no-answer note is for a server that never answered: a reply, or the end of the
    // session, ends the wait.
    void answerWatchWaitsOnlyForTheFirstReply()
    {
        AnswerWatch watch;
        watch.setSilenceMs(20);
        QSignalSpy silence(&watch, &AnswerWatch::silence);
        watch.sessionStarted(QStringLiteral("127.0.0.1"), QStringLiteral("28960"));
        watch.replyReceived();
        QVERIFY(!silence.wait(200));
        watch.sessionStarted(QStringLiteral("127.0.0.1"), QStringLiteral("28960"));
        watch.stop();
        QVERIFY(!silence.wait(200));
    }

    // A flood overflows the system's buffer when the window is busy elsewhere, or the queue
    // when the server sends faster than the handlers take its replies (here each handled
    // datagram brings more): every datagram is then either handed on or counted as lost, and
    // the queue stays bounded. A burst the size of a full status is never dropped.
    void everyDatagramIsTakenOrCounted_data()
    {
        QTest::addColumn<int>("sentAtOnce");
        QTest::addColumn<int>("sentPerHandled");
        QTest::addColumn<int>("sent");
        QTest::addColumn<bool>("lossExpected");
        QTest::newRow("system buffer overflows") << 10000 << 0 << 10000 << true;
        QTest::newRow("handlers slower than the server") << 1 << 20 << 20000 << true;
        QTest::newRow("a full status") << 1 << 16 << 17 << false;
    }
    void everyDatagramIsTakenOrCounted()
    {
        QFETCH(int, sentAtOnce);
        QFETCH(int, sentPerHandled);
        QFETCH(int, sent);
        QFETCH(bool, lossExpected);
#ifdef Q_OS_WIN
        if (sentAtOnce > 1) {
            QSKIP("Windows does not tell how many datagrams a socket's full buffer dropped");
        }
#endif
        UdpPeer peer;
        RconClient client;
        QVERIFY(connectTo(client, peer));
        const QByteArray reply = UdpPeer::replyDatagram(QByteArray(1000, 'x'));
        int sending = 0;
        const auto send = [&](int count) {
            for (int i = 0; i < count && sending < sent; ++i, ++sending) {
                peer.reply(reply);
            }
        };
        int received = 0;
        quint64 lost = 0;
        connect(&client, &RconClient::datagramReceived, this, [&] {
            ++received;
            send(sentPerHandled);
        });
        connect(&client, &RconClient::datagramsLost, this,
                [&lost](quint64 count) { lost += count; });
        send(sentAtOnce);
        QTRY_COMPARE_WITH_TIMEOUT(quint64(received) + lost, quint64(sent), 20000);
        QCOMPARE(lost > 0, lossExpected);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRconClient)
#include "TestRconClient.moc"
