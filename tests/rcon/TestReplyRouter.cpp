#include "rcon/RconDatagram.h"
#include "rcon/ReplyRouter.h"
#include "support/TestMain.h"

#include <QTest>

using namespace garrison;
using ReplyRouter::Action;
using ReplyRouter::Indicator;

Q_DECLARE_METATYPE(ReplyRouter::Action)
Q_DECLARE_METATYPE(ReplyRouter::Indicator)

namespace {

const QByteArray kHeader = QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\n");

// A variable's reply as the server words it, already through reception.
QString variableReply(const QString& name, const QString& value, const QString& defaultValue,
                      const QString& domain)
{
    return QStringLiteral("\"%1\" is: \"%2^7\" default: \"%3^7\"\r\n  Domain is %4\r\n")
        .arg(name, value, defaultValue, domain);
}

} // namespace

class TestReplyRouter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reception_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("expected");
        QTest::newRow("header and one word") << kHeader + "word\n"
                                             << "word\r\n";
        QTest::newRow("no header") << QByteArray("word\n") << "word\r\n";
        QTest::newRow("header inside") << "a" + kHeader + "b"
                                       << "ab";
        QTest::newRow("two headers") << kHeader + "a\n" + kHeader + "b\n"
                                     << "a\r\nb\r\n";
        QTest::newRow("short header stays") << QByteArray("\xFF\xFF\xFFprint\nx")
                                            << QStringLiteral(u"\u00FF\u00FF\u00FFprint\r\nx");
        QTest::newRow("CR LF gets a second CR") << QByteArray("a\r\nb") << "a\r\r\nb";
        QTest::newRow("colour code before a blank") << kHeader + "Name^7 x^7\n"
                                                    << "Name   x^7\r\n";
        QTest::newRow("doubled code") << QByteArray("^7^7 x") << "^7   x";
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("\x80\xE9\xFE\x81") << QStringLiteral(u"\u20AC\u00E9\u00FE\u0081");
        QTest::newRow("control bytes") << QByteArray("\x01\x1F\x7F") << "\x01\x1F\x7F";
        QTest::newRow("NUL in the middle")
            << QByteArray("a\0b\n", 4) << QString(QStringLiteral("a") + QChar(0) + "b\r\n");
        QTest::newRow("empty datagram") << QByteArray() << "";
        QTest::newRow("header only") << kHeader << "";
    }
    void reception()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, expected);
        QCOMPARE(RconDatagram::cleanReply(datagram), expected);
    }

    void largeDatagram()
    {
        const QByteArray datagram = kHeader + QByteArray(65536 - kHeader.size(), '\n');
        const QString text = RconDatagram::cleanReply(datagram);
        QCOMPARE(text.size(), 2 * (65536 - kHeader.size()));
        QVERIFY(text.startsWith(QStringLiteral("\r\n\r\n")));
    }

    void route_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Action>("action");
        QTest::addColumn<Indicator>("indicator");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("defaultValue");
        const auto plain = [](const char* tag, const char* command, Action action) {
            QTest::newRow(tag) << command << action << Indicator::Vote << ""
                               << "";
        };
        plain("status", "status", Action::GetPlayers);
        plain("ban list", "pb_sv_banlist", Action::ListAppend);
        plain("bad-name list", "PB_SV_BadNameList", Action::ListAppend);
        plain("serverinfo", "serverinfo", Action::Reader);
        plain("systeminfo", "systeminfo", Action::Reader);
        QTest::newRow("vote") << "g_allowvote" << Action::Indicator << Indicator::Vote
                              << "g_allowVote"
                              << "1";
        QTest::newRow("punkbuster")
            << "sv_punkbuster" << Action::Indicator << Indicator::PunkBuster << "sv_punkbuster"
            << "1";
        QTest::newRow("voice") << "sv_voice" << Action::Indicator << Indicator::Voice << "sv_voice"
                               << "0";
        QTest::newRow("team balance")
            << "scr_teambalance" << Action::Indicator << Indicator::TeamBalance << "scr_teambalance"
            << "1";
        plain("host name", "sv_hostname", Action::HostName);
        plain("map", "mapname", Action::MapName);
        plain("capitalised status", "Status", Action::None);
        plain("ban list in mixed case", "pb_sv_BanList", Action::None);
        plain("bad-name list in small letters", "pb_sv_badnamelist", Action::None);
        plain("vote spelt as in the reply", "g_allowVote", Action::None);
        plain("trailing blank", "status ", Action::None);
        plain("command with argument", "sv_hostname My Server", Action::None);
        plain("other command", "kick Nickname", Action::None);
        plain("empty", "", Action::None);
    }
    void route()
    {
        QFETCH(QString, command);
        QFETCH(Action, action);
        const ReplyRouter::Route route = ReplyRouter::route(command);
        QCOMPARE(route.action, action);
        if (action == Action::Indicator) {
            QFETCH(Indicator, indicator);
            QFETCH(QString, name);
            QFETCH(QString, defaultValue);
            QCOMPARE(route.indicator.indicator, indicator);
            QCOMPARE(route.indicator.name, name);
            QCOMPARE(route.indicator.defaultValue, defaultValue);
        }
    }

    void indicator_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("on");
        const QString bool01 = QStringLiteral("0 or 1");
        QTest::newRow("vote 1") << "g_allowvote" << variableReply("g_allowVote", "1", "1", bool01)
                                << true;
        QTest::newRow("vote 0") << "g_allowvote" << variableReply("g_allowVote", "0", "1", bool01)
                                << false;
        QTest::newRow("vote spelt small")
            << "g_allowvote" << variableReply("g_allowvote", "1", "1", bool01) << false;
        QTest::newRow("voice 0") << "sv_voice" << variableReply("sv_voice", "0", "0", bool01)
                                 << false;
        QTest::newRow("voice 1") << "sv_voice" << variableReply("sv_voice", "1", "0", bool01)
                                 << true;
        // The default clause is removed only with the default the program expects.
        QTest::newRow("voice 1, other default")
            << "sv_voice" << variableReply("sv_voice", "1", "1", bool01) << false;
        QTest::newRow("punkbuster 1")
            << "sv_punkbuster" << variableReply("sv_punkbuster", "1", "1", bool01) << true;
        QTest::newRow("team balance 1")
            << "scr_teambalance" << variableReply("scr_teambalance", "1", "1", bool01) << true;
        QTest::newRow("team balance 2")
            << "scr_teambalance" << variableReply("scr_teambalance", "2", "1", bool01) << false;
        QTest::newRow("coloured value")
            << "g_allowvote" << variableReply("g_allowVote", "^21", "1", bool01) << true;
        QTest::newRow("other domain line")
            << "g_allowvote" << variableReply("g_allowVote", "1", "1", "any text") << false;
        QTest::newRow("invalid password") << "sv_voice"
                                          << "Invalid password.\r\n"
                                          << false;
        QTest::newRow("ioquake3 on, the default") << "g_allowvote"
                                                  << "\"g_allowVote\" is:\"1^7\", the default\r\n"
                                                  << true;
        QTest::newRow("ioquake3 off") << "g_allowvote"
                                      << "\"g_allowVote\" is:\"0^7\" default:\"1^7\"\r\n"
                                      << false;
        QTest::newRow("bare value") << "g_allowvote"
                                    << "1\r\n"
                                    << true;
        QTest::newRow("empty") << "g_allowvote"
                               << "" << false;
    }
    void indicator()
    {
        QFETCH(QString, command);
        QFETCH(QString, reply);
        QFETCH(bool, on);
        const ReplyRouter::Route route = ReplyRouter::route(command);
        QCOMPARE(route.action, Action::Indicator);
        QCOMPARE(ReplyRouter::indicatorIsOn(reply, route.indicator), on);
    }

    void hostName_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("expected");
        const auto reply = [](const QString& value) {
            return variableReply("sv_hostname", value, "CoDWaWHost", "any text");
        };
        QTest::newRow("plain") << reply("My Server") << "My Server";
        QTest::newRow("colour codes") << reply("^1Red ^7Team^3!") << "Red Team!";
        QTest::newRow("default host") << reply("CoDWaWHost") << "";
        QTest::newRow("contains the default") << reply("Best CoDWaWHost Ever") << "Best  Ever";
        QTest::newRow("other carets stay") << reply("^8Eight^^") << "^8Eight^^";
        QTest::newRow("invalid password") << "Invalid password.\r\n"
                                          << "Invalid password.";
        // As an ioquake3 server words it.
        QTest::newRow("ioquake3 default") << "\"sv_hostname\" is:\"noname^7\", the default\r\n"
                                          << "noname";
        QTest::newRow("ioquake3 coloured")
            << "\"sv_hostname\" is:\"^1My ^7Server^7\" default:\"noname^7\"\r\n"
            << "My Server";
    }
    void hostName()
    {
        QFETCH(QString, reply);
        QFETCH(QString, expected);
        QCOMPARE(ReplyRouter::parseHostName(reply), expected);
    }

    void mapName_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("expected");
        QTest::newRow("map") << variableReply("mapname", "mp_castle", "", "any text")
                             << "mp_castle";
        QTest::newRow("custom coloured map")
            << variableReply("mapname", "^1mp_^7nacht", "", "any text") << "mp_nacht";
        QTest::newRow("ioquake3") << "\"mapname\" is:\"oa_dm1^7\"\r\n"
                                  << "oa_dm1";
    }
    void mapName()
    {
        QFETCH(QString, reply);
        QFETCH(QString, expected);
        QCOMPARE(ReplyRouter::parseMapName(reply), expected);
    }

    void invalidPassword_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("invalid");
        QTest::newRow("alone") << "Invalid password.\r\n" << true;
        QTest::newRow("twice") << "Invalid password.\r\nInvalid password.\r\n" << true;
        QTest::newRow("after other lines") << "map: mp_castle\r\nInvalid password.\r\n" << true;
        QTest::newRow("coloured and padded") << " ^1Invalid password.^7 \r\n" << true;
        QTest::newRow("small letters") << "invalid password.\r\n" << false;
        QTest::newRow("inside a chat line") << "console: Invalid password. lol\r\n" << false;
        QTest::newRow("newer engine's refusal") << "Bad rconpassword.\r\n" << false;
    }
    void invalidPassword()
    {
        QFETCH(QString, reply);
        QFETCH(bool, invalid);
        QCOMPARE(ReplyRouter::isInvalidPassword(reply), invalid);
    }

    void changesMap_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("changes");
        QTest::newRow("map") << "map mp_castle" << true;
        QTest::newRow("any case") << "Map mp_castle" << true;
        QTest::newRow("leading blanks") << "  map_restart" << true;
        QTest::newRow("fast restart") << "fast_restart" << true;
        QTest::newRow("rotate") << "map_rotate" << true;
        QTest::newRow("developer map") << "devmap mp_dome" << true;
        QTest::newRow("asking the map") << "mapname" << false;
        QTest::newRow("rotation variable") << "sv_mapRotation gametype tdm map mp_dome" << false;
        QTest::newRow("saying map") << "say map mp_castle next" << false;
    }
    void changesMap()
    {
        QFETCH(QString, command);
        QFETCH(bool, changes);
        QCOMPARE(ReplyRouter::changesMap(command), changes);
    }

    void hostNameWanted_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("wanted");
        QTest::newRow("loading") << "loading..." << true;
        QTest::newRow("no host name") << "nohostname" << true;
        QTest::newRow("known") << "My Server" << false;
        QTest::newRow("case differs") << "Loading..." << false;
        QTest::newRow("empty") << "" << false;
    }
    void hostNameWanted()
    {
        QFETCH(QString, label);
        QFETCH(bool, wanted);
        QCOMPARE(ReplyRouter::hostNameWanted(label), wanted);
    }

    void publishList_data()
    {
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("colon prefix") << "^3PunkBuster Server: 1 ban"
                                      << " 1 ban";
        QTest::newRow("colour 5 with colon") << "^5PunkBuster Server: x"
                                             << " x";
        QTest::newRow("colour 5 without colon") << "^5PunkBuster Server x"
                                                << " x";
        QTest::newRow("misspelt Bustr") << "^5PunkBustr Server: x"
                                        << " x";
        QTest::newRow("misspelt Serve") << "^3PunkBuster Serve: x"
                                        << " x";
        QTest::newRow("colour 1 without colon") << "^1PunkBuster Server x"
                                                << " x";
        QTest::newRow("unknown colour stays") << "^9PunkBuster Server: x"
                                              << "^9PunkBuster Server: x";
        QTest::newRow("two datagrams")
            << "^3PunkBuster Server: Ban List\r\n^3PunkBuster Server: 1 abc\r\n"
               "^7PunkBuster Server: 2 def\r\n^5PunkBuster Server End of List\r\n"
            << " Ban List\r\n 1 abc\r\n 2 def\r\n End of List\r\n";
    }
    void publishList()
    {
        QFETCH(QString, buffer);
        QFETCH(QString, expected);
        QCOMPARE(ReplyRouter::publishList(buffer), expected);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestReplyRouter)
#include "TestReplyRouter.moc"
