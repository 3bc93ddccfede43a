#include "SimConsole.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QSignalSpy>

using namespace garrison::sim;
using garrison::test::addTextRows;

namespace {

SimSettings withPlayers(int players)
{
    SimSettings settings;
    settings.players = players;
    settings.seed = 1;
    return settings;
}

SimPlayer human(int slot, const QString& name, const QString& ip)
{
    SimPlayer player;
    player.slot = slot;
    player.name = name;
    player.ip = ip;
    return player;
}

// Runs the commands, separated by "|", and returns the last reply.
QString runAll(SimConsole& console, const QString& commands)
{
    QString reply;
    for (const QString& command : commands.split(u'|')) {
        reply = console.reply(command);
    }
    return reply;
}

} // namespace

// The replies that GARRISON parses or shows, to the commands that it sends.
class TestSimConsole : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Colour codes take no room in the name column; the qport is shown as a signed number.
    void status()
    {
        SimPlayer plain = human(0, QStringLiteral("Nickname"), QStringLiteral("192.0.2.10"));
        plain.score = 10, plain.ping = 48, plain.guid = 1234567890, plain.lastMsg = 50;
        plain.qport = 1234;
        SimPlayer coloured =
            human(1, QStringLiteral("^1Red^7Baron"), QStringLiteral("198.51.100.7"));
        coloured.score = 120, coloured.ping = 75, coloured.guid = 987654321, coloured.qport = 65534;
        SimConsole console(withPlayers(0));
        console.world().addPlayer(plain);
        console.world().addPlayer(coloured);
        QCOMPARE(
            console.reply(QStringLiteral("status")),
            QStringLiteral(
                "map: mp_castle\n"
                "num score ping guid       name            lastmsg address               qport "
                " rate\n"
                "--- ----- ---- ---------- --------------- ------- --------------------- ------ "
                "-----\n"
                "  0    10   48 1234567890 Nickname^7             50 "
                "192.0.2.10:28960        1234 25000\n"
                "  1   120   75  987654321 ^1Red^7Baron^7        "
                "      0 198.51.100.7:28960        -2 25000\n\n"));
    }
    void exactReply_data()
    {
        // left is the number of players after the command, of eight.
        addTextRows(
            {"command", "reply", "left"},
            {{"registered capital", "g_allowvote",
              "\"g_allowVote\" is: \"1^7\" default: \"1^7\"\n  Domain is 0 or 1\n", "8"},
             {"text", "sv_hostname",
              "\"sv_hostname\" is: \"CoDWaWHost^7\" default: \"CoDWaWHost^7\"\n"
              "  Domain is any text\n",
              "8"},
             {"map name has no default", "mapname",
              "\"mapname\" is: \"mp_castle^7\" default: \"^7\"\n  Domain is any text\n", "8"},
             {"integer, any case", "SV_MAXPING",
              "\"sv_maxPing\" is: \"0^7\" default: \"0^7\"\n"
              "  Domain is any integer from 0 to 1000\n",
              "8"},
             {"unknown word", "frob", "Unknown command \"frob\"\n", "8"},
             {"say", "say hello  all", "console: hello  all\n", "8"},
             {"tell", "tell 1 behave", "console: behave\n", "8"},
             {"kick nobody", "kick Nobody", "Player Nobody is not on the server\n", "8"},
             {"empty slot", "clientkick 20", "Client 20 is not active\n", "8"},
             {"kick, name with a blank", "kick Sgt Pepper", "Sgt Pepper^7 was kicked\n", "7"},
             {"kick as the grid sends it", "kick ^1Red^7Baron   ", "^1Red^7Baron^7 was kicked\n",
              "7"},
             {"clientkick", "clientkick 3", "bot0^7 was kicked\n", "7"},
             {"banuser", "banuser Pirate", "Pirate^7 was banned\n", "7"},
             {"banclient", "banclient 7", "Hans Wurst^7 was banned\n", "7"},
             {"tempbanUser", "tempbanUser Fifteen_Letters",
              "Fifteen_Letters^7 was temporarily banned\n", "7"},
             {"tempbanClient", "tempbanClient 5", "^4Blue^2Fox^7 was temporarily banned\n", "7"}});
    }
    void exactReply()
    {
        QFETCH(QString, command);
        QFETCH(QString, reply);
        QFETCH(QString, left);
        SimConsole console(withPlayers(8));

        QCOMPARE(console.reply(command), reply);
        QCOMPARE(console.world().players().size(), left.toInt());
        QCOMPARE(console.reply(QStringLiteral("status")).count(u'\n'), 3 + left.toInt() + 1);
    }
    // The commands that script an evening, "|" between them: the last one's reply, a text the
    // status reply then holds, and the players left. What they write to the game log is
    // garrisond's parser's test.
    void scriptsAnEvening_data()
    {
        addTextRows(
            {"commands", "reply", "status", "players"},
            {{"join", "sim_join \"Hans Wurst\" 4242", "Hans Wurst^7 joined in slot 0\n",
              "4242 Hans Wurst^7", "1"},
             {"join with an address", "sim_join Bob 7 10.0.0.5:27000", "Bob^7 joined in slot 0\n",
              "10.0.0.5:27000", "1"},
             {"say", "sim_join Bob 7|sim_say 0 gg all", "Bob^7: gg all\n", "", "1"},
             {"say team", "sim_join Bob 7|sim_sayteam 0 rush b", "(Team) Bob^7: rush b\n", "", "1"},
             {"leave", "sim_join Bob 7|sim_leave 0", "Bob^7 left slot 0\n", "", "0"},
             {"say in an empty slot", "sim_say 3 hi", "Client 3 is not active\n", "", "0"},
             {"leave an empty slot", "sim_leave 3", "Client 3 is not active\n", "", "0"},
             {"join without a guid", "sim_join Bob",
              "Usage: sim_join <name> <guid> [<address>[:<port>]]\n", "", "0"}});
    }
    void scriptsAnEvening()
    {
        QFETCH(QString, commands);
        QFETCH(QString, reply);
        QFETCH(QString, status);
        QFETCH(QString, players);
        SimConsole console(withPlayers(0));
        QCOMPARE(runAll(console, commands), reply);
        QVERIFY(console.reply(QStringLiteral("status")).contains(status));
        QCOMPARE(console.world().players().size(), players.toInt());
    }

    void setting_data()
    {
        addTextRows(
            {"command", "commandReply", "query", "value"},
            {{"set, blanks kept", "set sv_hostname My ^1Great^7 Server", "", "sv_hostname",
              "My ^1Great^7 Server"},
             {"bare name", "sv_hostname Frontline", "", "sv_hostname", "Frontline"},
             {"quoted rotation",
              "set sv_mapRotation \"gametype dm map mp_castle gametype sd map mp_dome\"", "",
              "sv_mapRotation", "gametype dm map mp_castle gametype sd map mp_dome"},
             {"switch off", "g_allowvote 0", "", "g_allowvote", "0"},
             {"not an integer", "sv_minping abc",
              "'abc' is not a valid value for dvar 'sv_minPing'\n"
              "  Domain is any integer from 0 to 1000\n",
              "sv_minping", "0"},
             {"read only", "mapname mp_dome", "mapname is read only.\n", "mapname", "mp_castle"},
             {"no value", "set sv_hostname", "USAGE: set <variable> <value>\n", "sv_hostname",
              "CoDWaWHost"}});
    }
    void setting()
    {
        QFETCH(QString, command);
        QFETCH(QString, commandReply);
        QFETCH(QString, query);
        QFETCH(QString, value);
        SimConsole console(withPlayers(0));

        QCOMPARE(console.reply(command), commandReply);
        const QString reply = console.reply(query);
        QVERIFY2(reply.contains(QStringLiteral(" is: \"%1^7\" default: ").arg(value)),
                 qPrintable(reply));
    }
    void maps_data()
    {
        addTextRows(
            {"commands", "lastReply", "map", "gametype"},
            {{"map in capitals", "map MP_Dome", "", "mp_dome", "tdm"},
             {"unknown map", "map mp_nowhere", "Can't find map mp_nowhere\n", "mp_castle", "tdm"},
             {"rotate", "map_rotate", "", "mp_airfield", "tdm"},
             {"new rotation", "set sv_mapRotation \"gametype sd map mp_seelow\"|map_rotate", "",
              "mp_seelow", "sd"},
             {"game type, then restart", "g_gametype war|map_restart", "", "mp_castle", "war"}});
    }
    void maps()
    {
        QFETCH(QString, commands);
        QFETCH(QString, lastReply);
        QFETCH(QString, map);
        QFETCH(QString, gametype);
        SimConsole console(withPlayers(4));

        QCOMPARE(runAll(console, commands), lastReply);
        QVERIFY(console.reply(QStringLiteral("mapname"))
                    .startsWith(QStringLiteral("\"mapname\" is: \"%1^7\"").arg(map)));
        QVERIFY(console.reply(QStringLiteral("status"))
                    .startsWith(QStringLiteral("map: %1\n").arg(map)));
        QCOMPARE(console.dvars().value(u"g_gametype"), gametype);
    }
    void punkBuster_data()
    {
        // gone is the slot a command removes, or -1.
        addTextRows(
            {"command", "firstLine", "gone"},
            {{"kick with reasons", "pb_sv_kick 2 0 Teamkill Teamkill",
              "Kick Command Issued (Teamkill Teamkill) for (slot#2) ", "1"},
             {"kick, empty slot", "pb_sv_kick 20 0 x y", "Player Slot #20 not found", "-1"},
             {"ban", "pb_sv_ban 7 0 Teamkill Teamkill", "Ban Added to Ban List (#31) ", "6"},
             {"unban nothing", "pb_sv_unban 0", "Ban #0 not found", "-1"},
             {"bad name on the server", "pb_sv_badname 30 pepper",
              "BadName Added (#3, 30 sec grace): pepper", "1"},
             {"bad name list", "PB_SV_BadNameList", "BadName List: (#, grace seconds, name)", "-1"},
             {"ucon user", "pb_sv_uconadd 2 192.0.2.1 GARRISON-192.0.2.1 pw",
              "UCON User Added: GARRISON-192.0.2.1 [192.0.2.1] (level 2)", "-1"}});
    }
    void punkBuster()
    {
        QFETCH(QString, command);
        QFETCH(QString, firstLine);
        QFETCH(QString, gone);
        const int goneSlot = gone.toInt();
        SimConsole console(withPlayers(8));
        QSignalSpy events(&console, &SimConsole::punkBusterLine);

        const QString reply = console.reply(command);

        QVERIFY2(reply.startsWith(QStringLiteral("^3PunkBuster Server: ") + firstLine),
                 qPrintable(reply));
        QVERIFY(reply.endsWith(u'\n'));
        const QStringList lines = reply.chopped(1).split(u'\n');
        for (const QString& line : lines) {
            QVERIFY2(line.startsWith(QStringLiteral("^3PunkBuster Server: ")), qPrintable(line));
        }
        // Every console line also goes to the relays; a kick adds the lost connection.
        QCOMPARE(events.size(), lines.size() + (goneSlot >= 0 ? 1 : 0));
        QCOMPARE(console.world().players().size(), goneSlot >= 0 ? 7 : 8);
        QVERIFY(goneSlot < 0 || console.world().playerBySlot(goneSlot) == nullptr);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSimConsole)
#include "TestSimConsole.moc"
