#include "rcon/RconDatagram.h"
#include "rcon/ReplyRouter.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

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
                      const QString& domain = QStringLiteral("0 or 1"))
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
        const auto row = [](const char* tag, const QByteArray& datagram, const QString& text) {
            QTest::newRow(tag) << datagram << text;
        };
        row("header and one word", kHeader + "word\n", "word\r\n");
        row("no header", "word\n", "word\r\n");
        row("header inside", "a" + kHeader + "b", "ab");
        row("two headers", kHeader + "a\n" + kHeader + "b\n", "a\r\nb\r\n");
        row("short header stays", "\xFF\xFF\xFFprint\nx",
            QStringLiteral(u"\u00FF\u00FF\u00FFprint\r\nx"));
        row("CR LF gets a second CR", "a\r\nb", "a\r\r\nb");
        row("colour code before a blank", kHeader + "Name^7 x^7\n", "Name   x^7\r\n");
        row("doubled code", "^7^7 x", "^7   x");
        row("Windows-1252 bytes", "\x80\xE9\xFE\x81", QStringLiteral(u"\u20AC\u00E9\u00FE\u0081"));
        row("control bytes", "\x01\x1F\x7F", "\x01\x1F\x7F");
        row("NUL in the middle", QByteArray("a\0b\n", 4), QStringLiteral("a") + QChar(0) + "b\r\n");
        row("header only", kHeader, "");
    }
    void reception()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, expected);
        QCOMPARE(RconDatagram::cleanReply(datagram), expected);
    }

    // The variable's name and default of the four indicators are checked by the indicator table.
    void route_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Action>("action");
        QTest::addColumn<Indicator>("indicator");
        const auto row = [](const char* command, Action action,
                            Indicator indicator = Indicator::Vote) {
            QTest::newRow(command) << command << action << indicator;
        };
        row("status", Action::GetPlayers);
        row("pb_sv_banlist", Action::ListAppend);
        row("PB_SV_BadNameList", Action::ListAppend);
        row("serverinfo", Action::Reader);
        row("systeminfo", Action::Reader);
        row("g_allowvote", Action::Indicator, Indicator::Vote);
        row("sv_punkbuster", Action::Indicator, Indicator::PunkBuster);
        row("sv_voice", Action::Indicator, Indicator::Voice);
        row("scr_teambalance", Action::Indicator, Indicator::TeamBalance);
        row("sv_hostname", Action::HostName);
        row("mapname", Action::MapName);
        row("Status", Action::None);
        row("pb_sv_BanList", Action::None);
        row("pb_sv_badnamelist", Action::None);
        row("g_allowVote", Action::None);
        row("status ", Action::None);
        row("sv_hostname My Server", Action::None);
        row("", Action::None);
    }
    void route()
    {
        QFETCH(QString, command);
        QFETCH(Action, action);
        const ReplyRouter::Route route = ReplyRouter::route(command);
        QCOMPARE(route.action, action);
        if (action == Action::Indicator) {
            QTEST(route.indicator.indicator, "indicator");
        }
    }

    void indicator_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("on");
        const auto row = [](const char* tag, const char* command, const QString& reply, bool on) {
            QTest::newRow(tag) << command << reply << on;
        };
        row("vote 1", "g_allowvote", variableReply("g_allowVote", "1", "1"), true);
        row("vote 0", "g_allowvote", variableReply("g_allowVote", "0", "1"), false);
        row("vote spelt small", "g_allowvote", variableReply("g_allowvote", "1", "1"), false);
        row("voice 0", "sv_voice", variableReply("sv_voice", "0", "0"), false);
        row("voice 1", "sv_voice", variableReply("sv_voice", "1", "0"), true);
        // The default clause is removed only with the default the program expects.
        row("voice 1, other default", "sv_voice", variableReply("sv_voice", "1", "1"), false);
        row("punkbuster 1", "sv_punkbuster", variableReply("sv_punkbuster", "1", "1"), true);
        row("team balance 1", "scr_teambalance", variableReply("scr_teambalance", "1", "1"), true);
        row("team balance 2", "scr_teambalance", variableReply("scr_teambalance", "2", "1"), false);
        row("coloured value", "g_allowvote", variableReply("g_allowVote", "^21", "1"), true);
        row("other domain line", "g_allowvote",
            variableReply("g_allowVote", "1", "1", QStringLiteral("any text")), false);
        row("invalid password", "sv_voice", "Invalid password.\r\n", false);
        row("ioquake3 on, the default", "g_allowvote",
            "\"g_allowVote\" is:\"1^7\", the default\r\n", true);
        row("ioquake3 off", "g_allowvote", "\"g_allowVote\" is:\"0^7\" default:\"1^7\"\r\n", false);
        row("bare value", "g_allowvote", "1\r\n", true);
        row("empty", "g_allowvote", "", false);
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

    // The host-name parse on replies to "sv_hostname", the map parse on replies to "mapname".
    void labels_data()
    {
        const QString host = QStringLiteral("\"sv_hostname\" is: \"%1^7\" default: "
                                            "\"CoDWaWHost^7\"\r\n  Domain is any text\r\n");
        const QString map = variableReply("mapname", "%1", "", QStringLiteral("any text"));
        QTest::addColumn<bool>("isMap");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("label");
        const auto row = [](const char* tag, bool isMap, const QString& reply, const char* label) {
            QTest::newRow(tag) << isMap << reply << QString::fromUtf8(label);
        };
        row("host", false, host.arg("My Server"), "My Server");
        row("host colour codes", false, host.arg("^1Red ^7Team^3!"), "Red Team!");
        row("default host", false, host.arg("CoDWaWHost"), "");
        row("host contains the default", false, host.arg("Best CoDWaWHost Ever"), "Best  Ever");
        row("other carets stay", false, host.arg("^8Eight^^"), "^8Eight^^");
        row("host, invalid password", false, "Invalid password.\r\n", "Invalid password.");
        row("ioquake3 default host", false, "\"sv_hostname\" is:\"noname^7\", the default\r\n",
            "noname");
        row("ioquake3 coloured host", false,
            "\"sv_hostname\" is:\"^1My ^7Server^7\" default:\"noname^7\"\r\n", "My Server");
        row("map", true, map.arg("mp_castle"), "mp_castle");
        row("custom coloured map", true, map.arg("^1mp_^7nacht"), "mp_nacht");
        row("ioquake3 map", true, "\"mapname\" is:\"oa_dm1^7\"\r\n", "oa_dm1");
    }
    void labels()
    {
        QFETCH(bool, isMap);
        QFETCH(QString, reply);
        QTEST(isMap ? ReplyRouter::parseMapName(reply) : ReplyRouter::parseHostName(reply),
              "label");
    }

    // A read variable's value, as the page shows it beside its field: the default not removed,
    // a late report of another variable not taken.
    void values_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");
        const auto row = [](const char* tag, const QString& reply, const char* name,
                            const char* value) {
            QTest::newRow(tag) << reply << QString::fromUtf8(name) << (value != nullptr)
                               << QString::fromUtf8(value);
        };
        const QString text = QStringLiteral("any text");
        row("text", variableReply("sv_hostname", "My Server", "CoDWaWHost", text), "sv_hostname",
            "My Server");
        row("the default", variableReply("sv_hostname", "CoDWaWHost", "CoDWaWHost", text),
            "sv_hostname", "CoDWaWHost");
        row("name in the server's case", variableReply("g_allowVote", "0", "1"), "g_allowvote",
            "0");
        row("colour codes", variableReply("sv_hostname", "^1Red^7Team", "x", text), "sv_hostname",
            "RedTeam");
        row("quotes in the value", variableReply("sv_hostname", "A \"B\" C", "x", text),
            "sv_hostname", "A \"B\" C");
        row("empty", variableReply("sv_privatePassword", "", "", text), "sv_privatePassword", "");
        row("latched", "\"g_gametype\" is: \"war^7\" default: \"dm^7\" latched: \"sd^7\"\r\n",
            "g_gametype", "war");
        row("ioquake3", "\"sv_hostname\" is:\"noname^7\", the default\r\n", "sv_hostname",
            "noname");
        row("another variable", variableReply("sv_voice", "1", "0"), "sv_punkbuster", nullptr);
        row("unknown", "Unknown command \"scr_foo\"\r\n", "scr_foo", nullptr);
        row("invalid password", "Invalid password.\r\n", "sv_voice", nullptr);
    }
    void values()
    {
        QFETCH(QString, reply);
        QFETCH(QString, name);
        QFETCH(bool, found);
        const std::optional<QString> value = ReplyRouter::parseValue(reply, name);
        QCOMPARE(value.has_value(), found);
        if (found) {
            QTEST(*value, "value");
        }
    }

    // isInvalidPassword on replies, changesMap on commands, hostNameWanted on the host label.
    void predicates_data()
    {
        test::addTextRows(
            {"function", "text", "holds"},
            {{"invalid alone", "invalid", "Invalid password.\r\n", "yes"},
             {"invalid twice", "invalid", "Invalid password.\r\nInvalid password.\r\n", "yes"},
             {"invalid after other lines", "invalid", "map: mp_castle\r\nInvalid password.\r\n",
              "yes"},
             {"invalid coloured and padded", "invalid", " ^1Invalid password.^7 \r\n", "yes"},
             {"invalid in small letters", "invalid", "invalid password.\r\n", ""},
             {"invalid inside a chat line", "invalid", "console: Invalid password. lol\r\n", ""},
             {"newer engine's refusal", "invalid", "Bad rconpassword.\r\n", ""},
             {"map", "map", "map mp_castle", "yes"},
             {"map in any case", "map", "Map mp_castle", "yes"},
             {"map after leading blanks", "map", "  map_restart", "yes"},
             {"fast restart", "map", "fast_restart", "yes"},
             {"rotate", "map", "map_rotate", "yes"},
             {"developer map", "map", "devmap mp_dome", "yes"},
             {"asking the map", "map", "mapname", ""},
             {"rotation variable", "map", "sv_mapRotation gametype tdm map mp_dome", ""},
             {"saying map", "map", "say map mp_castle next", ""},
             {"host wanted while loading", "host", "loading...", "yes"},
             {"host wanted without one", "host", "nohostname", "yes"},
             {"known host", "host", "My Server", ""},
             {"loading in other case", "host", "Loading...", ""},
             {"empty host", "host", "", ""}});
    }
    void predicates()
    {
        QFETCH(QString, function);
        QFETCH(QString, text);
        QFETCH(QString, holds);
        const bool result = function == QLatin1String("invalid")
                                ? ReplyRouter::isInvalidPassword(text)
                            : function == QLatin1String("map") ? ReplyRouter::changesMap(text)
                                                               : ReplyRouter::hostNameWanted(text);
        QCOMPARE(result, !holds.isEmpty());
    }

    void publishList_data()
    {
        // Every prefix the lists carry, the colon-less forms after those with a colon.
        const QString prefixes = QStringLiteral(
            "^3PunkBuster Server:|^1PunkBuster Server:|^2PunkBuster Server:|^4PunkBuster Server:|"
            "^6PunkBuster Server:|^7PunkBuster Server:|^5PunkBustr Server:|^5PunkBuster Server:|"
            "^5PunkBuster Server|^4PunkBuster Server|^3PunkBuster Server|^2PunkBuster Server|"
            "^1PunkBuster Server|^6PunkBuster Server|^7PunkBuster Server|^3PunkBuster Serve:");
        QString every;
        QString cleaned;
        for (const QString& prefix : prefixes.split(u'|')) {
            every += prefix + QStringLiteral(" x\r\n");
            cleaned += QStringLiteral(" x\r\n");
        }
        for (const char* prefix : {"^1PunkBuster Server:", "^3PunkBuster Server:",
                                   "^5PunkBuster Server:", "^7PunkBuster Server:"}) {
            every += QLatin1String(prefix) + QStringLiteral(" y\r\n");
            cleaned += QStringLiteral(" y\r\n");
        }
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every prefix, and again") << every << cleaned;
        QTest::newRow("unknown colour stays") << "^9PunkBuster Server: x"
                                              << "^9PunkBuster Server: x";
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
