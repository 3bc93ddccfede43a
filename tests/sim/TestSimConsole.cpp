#include "SimConsole.h"
#include "SimRedirectBuffer.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QSignalSpy>

using namespace garrison::sim;
using garrison::test::addTextRows;

namespace {

const QString kHead = QStringLiteral(
    "num score ping guid       name            lastmsg address               qport  rate\n"
    "--- ----- ---- ---------- --------------- ------- --------------------- ------ -----\n");

SimSettings withPlayers(int players, quint32 seed = 1)
{
    SimSettings settings;
    settings.players = players;
    settings.seed = seed;
    return settings;
}

SimPlayer human(int slot, const QString& name, const QString& ip, quint16 port)
{
    SimPlayer player;
    player.slot = slot;
    player.name = name;
    player.ip = ip;
    player.port = port;
    return player;
}

QStringList names(const SimWorld& world)
{
    QStringList found;
    for (const SimPlayer& player : world.players()) {
        found.append(player.name);
    }
    return found;
}

} // namespace

class TestSimConsole : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void status_data();
    void status();
    void defaultRosterHasEveryKindOfPlayer();
    void sameSeedTellsTheSameStory();
    void playersComeAndGo();
    void dvarDefaults_data();
    void dvarDefaults();
    void exactReply_data();
    void exactReply();
    void setting_data();
    void setting();
    void infoSettings_data();
    void infoSettings();
    void removals_data();
    void removals();
    void whoComesBack_data();
    void whoComesBack();
    void maps_data();
    void maps();
    void restartsResetScores_data();
    void restartsResetScores();
    void quitEndsTheServer_data();
    void quitEndsTheServer();
    void punkBuster_data();
    void punkBuster();
    void banListNeedsSeveralDatagrams();
    void scheduledTaskRuns();
    void chat_data();
    void chat();
    void tokenize_data();
    void tokenize();
};

void TestSimConsole::status_data()
{
    QTest::addColumn<SimPlayer>("player");
    QTest::addColumn<QString>("line");

    SimPlayer plain = human(0, QStringLiteral("Nickname"), QStringLiteral("192.0.2.10"), 28960);
    plain.score = 10, plain.ping = 48, plain.guid = 1234567890, plain.lastMsg = 50;
    plain.qport = 1234;
    QTest::newRow("plain") << plain
                           << "  0    10   48 1234567890 Nickname^7             50 "
                              "192.0.2.10:28960        1234 25000";

    SimPlayer coloured =
        human(1, QStringLiteral("^1Red^7Baron"), QStringLiteral("198.51.100.7"), 28960);
    coloured.score = 120, coloured.ping = 75, coloured.guid = 987654321, coloured.qport = 65534;
    QTest::newRow("colour codes take no room") << coloured
                                               << "  1   120   75  987654321 ^1Red^7Baron^7        "
                                                  "      0 198.51.100.7:28960        -2 25000";

    SimPlayer connecting =
        human(2, QStringLiteral("NewRecruit"), QStringLiteral("203.0.113.9"), 28960);
    connecting.state = SimPlayer::State::Connecting, connecting.guid = 555666777;
    connecting.lastMsg = 2300, connecting.qport = 31000, connecting.rate = 5000;
    QTest::newRow("connecting")
        << connecting
        << "  2     0 CNCT  555666777 NewRecruit^7         2300 203.0.113.9:28960      31000  5000";

    SimPlayer zombie = human(3, QStringLiteral("Leaver"), QStringLiteral("192.0.2.44"), 28960);
    zombie.state = SimPlayer::State::Zombie, zombie.score = -5, zombie.guid = 42;
    zombie.lastMsg = 1800, zombie.qport = 7, zombie.rate = 20000;
    QTest::newRow("zombie")
        << zombie
        << "  3    -5 ZMBI         42 Leaver^7             1800 192.0.2.44:28960           7 20000";

    SimPlayer bot = human(4, QStringLiteral("bot0"), QString(), 0);
    bot.kind = SimPlayer::Kind::Bot, bot.score = 30, bot.rate = 5000;
    QTest::newRow("bot") << bot
                         << "  4    30    0          0 bot0^7                  0 bot        "
                            "                0  5000";

    SimPlayer host = human(5, QStringLiteral("Host Player"), QString(), 0);
    host.kind = SimPlayer::Kind::Host, host.ping = 5, host.guid = 1111111111;
    QTest::newRow("host") << host
                          << "  5     0    5 1111111111 Host Player^7           0 loopback   "
                             "                0 25000";

    SimPlayer far = human(6, QStringLiteral("Far Away"), QStringLiteral("203.0.113.200"), 50000);
    far.ping = 1500, far.guid = 2000000000, far.lastMsg = 10, far.qport = 40000;
    QTest::newRow("ports print signed, ping stops at 999")
        << far
        << "  6     0  999 2000000000 Far Away^7             10 203.0.113.200:-15536  -25536 25000";

    SimPlayer fifteen =
        human(7, QStringLiteral("Fifteen_Letters"), QStringLiteral("192.0.2.15"), 28960);
    fifteen.ping = 40, fifteen.guid = 123, fifteen.qport = 15;
    QTest::newRow("fifteen characters")
        << fifteen
        << "  7     0   40        123 Fifteen_Letters^7       0 192.0.2.15:28960          15 25000";

    SimPlayer longer =
        human(8, QStringLiteral("Twenty_Characters_Ok"), QStringLiteral("192.0.2.16"), 28960);
    longer.ping = 40, longer.guid = 124, longer.qport = 16;
    QTest::newRow("too long still gets one blank")
        << longer
        << "  8     0   40        124 Twenty_Characters_Ok^7       0 192.0.2.16:28960          16 "
           "25000";
}

void TestSimConsole::status()
{
    QFETCH(SimPlayer, player);
    QFETCH(QString, line);
    SimConsole console(withPlayers(0));
    console.world().addPlayer(player);

    QCOMPARE(console.reply(QStringLiteral("status")),
             QStringLiteral("map: mp_castle\n") + kHead + line + QStringLiteral("\n\n"));
}

void TestSimConsole::defaultRosterHasEveryKindOfPlayer()
{
    SimConsole console(withPlayers(8));
    const QList<SimPlayer>& players = console.world().players();

    QCOMPARE(players.size(), 8);
    const auto count = [&](auto predicate) {
        return std::count_if(players.cbegin(), players.cend(), predicate);
    };
    QVERIFY(count([](const SimPlayer& p) { return p.name.contains(u'^'); }) >= 1);
    QVERIFY(count([](const SimPlayer& p) { return p.name.contains(u' '); }) >= 1);
    QVERIFY(count([](const SimPlayer& p) { return p.name.size() == 15; }) >= 1);
    QCOMPARE(count([](const SimPlayer& p) { return p.kind == SimPlayer::Kind::Bot; }), 1);
    QCOMPARE(count([](const SimPlayer& p) { return p.state == SimPlayer::State::Connecting; }), 1);
    for (const SimPlayer& player : players) {
        if (player.kind == SimPlayer::Kind::Human) {
            QVERIFY2(player.ip.startsWith(QStringLiteral("192.0.2.")) ||
                         player.ip.startsWith(QStringLiteral("198.51.100.")) ||
                         player.ip.startsWith(QStringLiteral("203.0.113.")),
                     qPrintable(player.ip));
        }
    }
}

void TestSimConsole::sameSeedTellsTheSameStory()
{
    SimConsole once(withPlayers(10, 7));
    SimConsole stepwise(withPlayers(10, 7));
    SimConsole other(withPlayers(10, 8));
    once.tick(600000);
    for (int i = 0; i < 600; ++i) {
        stepwise.tick(1000);
    }
    other.tick(600000);

    QCOMPARE(stepwise.reply(QStringLiteral("status")), once.reply(QStringLiteral("status")));
    QVERIFY(other.reply(QStringLiteral("status")) != once.reply(QStringLiteral("status")));
}

void TestSimConsole::playersComeAndGo()
{
    SimConsole console(withPlayers(10));
    QSignalSpy joined(&console.world(), &SimWorld::playerConnected);
    QSignalSpy left(&console.world(), &SimWorld::playerLeft);
    const QString before = console.reply(QStringLiteral("status"));

    console.tick(30 * 60 * 1000);

    QVERIFY(joined.size() > 0);
    QVERIFY(left.size() > 0);
    QVERIFY(console.reply(QStringLiteral("status")) != before);
    QVERIFY(console.world().players().size() <= 10);
}

void TestSimConsole::dvarDefaults_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("registered");
    QTest::addColumn<QString>("value");

    const QList<std::array<const char*, 3>> rows = {
        {"sv_hostname", "sv_hostname", "CoDWaWHost"},
        {"g_gametype", "g_gametype", "tdm"},
        {"g_allowvote", "g_allowVote", "1"},
        {"sv_punkbuster", "sv_punkbuster", "1"},
        {"sv_voice", "sv_voice", "0"},
        {"scr_teambalance", "scr_teambalance", "1"},
        {"scr_hardcore", "scr_hardcore", "0"},
        {"scr_oldschool", "scr_oldschool", "0"},
        {"scr_game_allowkillcam", "scr_game_allowkillcam", "1"},
        {"scr_team_fftype", "scr_team_fftype", "0"},
        {"sv_minping", "sv_minPing", "0"},
        {"sv_maxping", "sv_maxPing", "0"},
        {"sv_privateclients", "sv_privateClients", "0"},
        {"sv_privatePassword", "sv_privatePassword", ""},
        {"sv_maxclients", "sv_maxclients", "24"},
    };
    for (const auto& row : rows) {
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1])
                              << QString::fromLatin1(row[2]);
    }
}

void TestSimConsole::dvarDefaults()
{
    QFETCH(QString, query);
    QFETCH(QString, registered);
    QFETCH(QString, value);
    SimConsole console(withPlayers(0));

    const QString reply = console.reply(query);
    QVERIFY2(reply.startsWith(QStringLiteral("\"%1\" is: \"%2^7\" default: \"%2^7\"\n  Domain is ")
                                  .arg(registered, value)),
             qPrintable(reply));
}

void TestSimConsole::exactReply_data()
{
    addTextRows(
        {"command", "reply"},
        {
            {"registered capital", "g_allowvote",
             "\"g_allowVote\" is: \"1^7\" default: \"1^7\"\n  Domain is 0 or 1\n"},
            {"text", "sv_hostname",
             "\"sv_hostname\" is: \"CoDWaWHost^7\" default: \"CoDWaWHost^7\"\n"
             "  Domain is any text\n"},
            {"map name has no default", "mapname",
             "\"mapname\" is: \"mp_castle^7\" default: \"^7\"\n  Domain is any text\n"},
            {"integer, any case", "SV_MAXPING",
             "\"sv_maxPing\" is: \"0^7\" default: \"0^7\"\n"
             "  Domain is any integer from 0 to 1000\n"},
            {"rotation set by the configuration", "sv_mapRotation",
             "\"sv_mapRotation\" is: \"gametype tdm map mp_airfield gametype tdm map "
             "mp_castle gametype dm map mp_dome gametype sd map mp_upheaval^7\" default: "
             "\"^7\"\n  Domain is any text\n"},
            {"unknown word", "frob", "Unknown command \"frob\"\n"},
            {"first word as typed", "Frob the server", "Unknown command \"Frob\"\n"},
            {"unknown anti-cheat command", "pb_sv_frob", "Unknown command \"pb_sv_frob\"\n"},
            {"kick nobody", "kick Nobody", "Player Nobody is not on the server\n"},
            {"empty slot", "clientkick 20", "Client 20 is not active\n"},
            {"slot not a number", "banclient x", "Bad client slot: x\n"},
            {"slot beyond the server", "clientkick 64", "Bad client slot: 64\n"},
            {"no argument", "clientkick", "Usage: clientkick <client number>\n"},
            {"host", "kick Host", "Cannot kick host player\n"},
            {"unban unknown", "unbanuser Nobody", "Nobody^7 is not banned\n"},
        });
}

void TestSimConsole::exactReply()
{
    QFETCH(QString, command);
    QFETCH(QString, reply);
    SimConsole console(withPlayers(8));
    SimPlayer host;
    host.slot = 9, host.name = QStringLiteral("Host"), host.kind = SimPlayer::Kind::Host;
    console.world().addPlayer(host);

    QCOMPARE(console.reply(command), reply);
    QCOMPARE(console.world().players().size(), 9);
}

void TestSimConsole::setting_data()
{
    addTextRows(
        {"command", "commandReply", "query", "value"},
        {
            {"set, blanks kept", "set sv_hostname My ^1Great^7 Server", "", "sv_hostname",
             "My ^1Great^7 Server"},
            {"bare name", "sv_hostname Frontline", "", "sv_hostname", "Frontline"},
            {"quoted rotation",
             "set sv_mapRotation \"gametype dm map mp_castle gametype sd map mp_dome\"", "",
             "sv_mapRotation", "gametype dm map mp_castle gametype sd map mp_dome"},
            {"switch off", "g_allowvote 0", "", "g_allowvote", "0"},
            {"switch reads a number", "sv_voice 5", "", "sv_voice", "1"},
            {"integer", "sv_maxping 300", "", "sv_maxping", "300"},
            {"not an integer", "sv_minping abc",
             "'abc' is not a valid value for dvar 'sv_minPing'\n"
             "  Domain is any integer from 0 to 1000\n",
             "sv_minping", "0"},
            {"out of range", "scr_team_fftype 4",
             "'4' is not a valid value for dvar 'scr_team_fftype'\n"
             "  Domain is any integer from 0 to 3\n",
             "scr_team_fftype", "0"},
            {"read only", "mapname mp_dome", "mapname is read only.\n", "mapname", "mp_castle"},
            {"new variable", "set my_var hello", "", "my_var", "hello"},
            {"private password", "set sv_privatePassword Password", "", "sv_privatePassword",
             "Password"},
            {"no value", "set sv_hostname", "USAGE: set <variable> <value>\n", "sv_hostname",
             "CoDWaWHost"},
        });
}

void TestSimConsole::setting()
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

void TestSimConsole::infoSettings_data()
{
    addTextRows(
        {"command", "title", "line"},
        {
            {"server", "serverinfo", "Server info settings:\n", "sv_hostname         CoDWaWHost\n"},
            {"server, after a change", "serverinfo", "Server info settings:\n",
             "g_gametype          sd\n"},
            {"system", "systeminfo", "System info settings:\n", "sv_pure             1\n"},
        });
}

void TestSimConsole::infoSettings()
{
    QFETCH(QString, command);
    QFETCH(QString, title);
    QFETCH(QString, line);
    SimConsole console(withPlayers(0));
    console.reply(QStringLiteral("g_gametype sd"));

    const QString reply = console.reply(command);
    QVERIFY2(reply.startsWith(title), qPrintable(reply));
    QVERIFY2(reply.contains(u'\n' + line), qPrintable(reply));
}

void TestSimConsole::removals_data()
{
    addTextRows(
        {"command", "reply", "slot"},
        {
            {"kick, name with a blank", "kick Sgt Pepper", "Sgt Pepper^7 was kicked\n", "1"},
            {"kick as the grid sends it", "kick ^1Red^7Baron   ", "^1Red^7Baron^7 was kicked\n",
             "0"},
            {"kick without colours and case", "kick redbaron", "^1Red^7Baron^7 was kicked\n", "0"},
            {"clientkick", "clientkick 3", "bot0^7 was kicked\n", "3"},
            {"banuser", "banuser Pirate", "Pirate^7 was banned\n", "6"},
            {"banclient", "banclient 7", "Hans Wurst^7 was banned\n", "7"},
            {"tempbanUser", "tempbanUser Fifteen_Letters",
             "Fifteen_Letters^7 was temporarily banned\n", "2"},
            {"tempbanClient", "tempbanClient 5", "^4Blue^2Fox^7 was temporarily banned\n", "5"},
            {"connecting player", "clientkick 4", "NewRecruit^7 was kicked\n", "4"},
        });
}

void TestSimConsole::removals()
{
    QFETCH(QString, command);
    QFETCH(QString, reply);
    QFETCH(QString, slot);
    SimConsole console(withPlayers(8));
    const QString name = console.world().playerBySlot(slot.toInt())->name;
    QSignalSpy log(&console, &SimConsole::gameLogLine);

    QCOMPARE(console.reply(command), reply);
    QVERIFY(console.world().playerBySlot(slot.toInt()) == nullptr);
    QVERIFY(!console.reply(QStringLiteral("status")).contains(name));
    QVERIFY(!log.isEmpty());
    QVERIFY(log.first().first().toString().startsWith(QStringLiteral("Q;")));
}

void TestSimConsole::whoComesBack_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("back");

    QTest::newRow("kicked") << QStringList{"kick Pirate"} << true;
    QTest::newRow("banned") << QStringList{"banuser Pirate"} << false;
    QTest::newRow("banned by slot") << QStringList{"banclient 6"} << false;
    QTest::newRow("banned by the anti-cheat") << QStringList{"pb_sv_ban 7 0 Aimbot"} << false;
    QTest::newRow("banned, then unbanned")
        << QStringList{"banuser Pirate", "unbanuser Pirate"} << true;
    QTest::newRow("anti-cheat ban lifted")
        << QStringList{"pb_sv_ban 7 0 Aimbot", "pb_sv_unban 31"} << true;
    QTest::newRow("temporary ban runs out") << QStringList{"tempbanUser Pirate"} << true;
}

void TestSimConsole::whoComesBack()
{
    QFETCH(QStringList, commands);
    QFETCH(bool, back);
    SimConsole console(withPlayers(40));
    QCOMPARE(console.world().playerBySlot(6)->name, QStringLiteral("Pirate"));
    for (const QString& command : commands) {
        console.reply(command);
    }
    QVERIFY(console.world().playerByName(u"Pirate") == nullptr);

    bool seen = false;
    for (int minute = 0; minute < 60 && !seen; ++minute) {
        console.tick(60000);
        seen = names(console.world()).contains(QStringLiteral("Pirate"));
    }
    QCOMPARE(seen, back);
}

void TestSimConsole::maps_data()
{
    // Commands are separated by "|".
    addTextRows(
        {"commands", "lastReply", "map", "gametype"},
        {
            {"map", "map mp_dome", "", "mp_dome", "tdm"},
            {"map in capitals", "map MP_Dome", "", "mp_dome", "tdm"},
            {"unknown map", "map mp_nowhere", "Can't find map mp_nowhere\n", "mp_castle", "tdm"},
            {"no map", "map ", "USAGE: map <map name>\n", "mp_castle", "tdm"},
            {"rotate", "map_rotate", "", "mp_airfield", "tdm"},
            {"rotate on", "map_rotate|map_rotate|map_rotate", "", "mp_dome", "dm"},
            {"rotation wraps around", "map_rotate|map_rotate|map_rotate|map_rotate|map_rotate", "",
             "mp_airfield", "tdm"},
            {"new rotation", "set sv_mapRotation \"gametype sd map mp_seelow\"|map_rotate", "",
             "mp_seelow", "sd"},
            {"empty rotation restarts", "set sv_mapRotation \"\"|map_rotate", "", "mp_castle",
             "tdm"},
            {"game type, then restart", "g_gametype war|map_restart", "", "mp_castle", "war"},
        });
}

void TestSimConsole::maps()
{
    QFETCH(QString, commands);
    QFETCH(QString, lastReply);
    QFETCH(QString, map);
    QFETCH(QString, gametype);
    SimConsole console(withPlayers(4));

    QString reply;
    for (const QString& command : commands.split(u'|')) {
        reply = console.reply(command);
    }
    QCOMPARE(reply, lastReply);
    QVERIFY(console.reply(QStringLiteral("mapname"))
                .startsWith(QStringLiteral("\"mapname\" is: \"%1^7\"").arg(map)));
    QVERIFY(
        console.reply(QStringLiteral("status")).startsWith(QStringLiteral("map: %1\n").arg(map)));
    QCOMPARE(console.dvars().value(u"g_gametype"), gametype);
}

void TestSimConsole::restartsResetScores_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("reconnect");

    QTest::newRow("fast_restart") << "fast_restart" << false;
    QTest::newRow("map_restart") << "map_restart" << true;
    QTest::newRow("map") << "map mp_makin" << true;
}

void TestSimConsole::restartsResetScores()
{
    QFETCH(QString, command);
    QFETCH(bool, reconnect);
    SimConsole console(withPlayers(8));
    console.tick(120000);
    const auto total = [&] {
        int sum = 0;
        for (const SimPlayer& player : console.world().players()) {
            sum += player.score;
        }
        return sum;
    };
    QVERIFY(total() > 0);

    console.reply(command);

    QCOMPARE(total(), 0);
    const QString status = console.reply(QStringLiteral("status"));
    QCOMPARE(status.contains(QStringLiteral(" CNCT ")), reconnect);
}

void TestSimConsole::quitEndsTheServer_data()
{
    QTest::addColumn<QString>("command");

    QTest::newRow("Quit") << "Quit";
    QTest::newRow("killserver") << "killserver";
}

void TestSimConsole::quitEndsTheServer()
{
    QFETCH(QString, command);
    SimConsole console(withPlayers(2));
    QSignalSpy shutdown(&console, &SimConsole::shutdownRequested);

    QVERIFY(console.execute(command).isEmpty());
    QCOMPARE(shutdown.size(), 1);
    QVERIFY(console.isShutDown());
    QVERIFY(console.execute(QStringLiteral("status")).isEmpty());
}

void TestSimConsole::punkBuster_data()
{
    // gone is the slot a command removes, or -1.
    addTextRows(
        {"command", "firstLine", "gone"},
        {
            {"kick with reasons", "pb_sv_kick 2 0 Teamkill Teamkill",
             "Kick Command Issued (Teamkill Teamkill) for (slot#2) ", "1"},
            {"kick, empty slot", "pb_sv_kick 20 0 x y", "Player Slot #20 not found", "-1"},
            {"ban", "pb_sv_ban 7 0 Teamkill Teamkill", "Ban Added to Ban List (#31) ", "6"},
            {"unban", "pb_sv_unban 1",
             "Guid 88276d574fd366ebb6d37e3248df9021 (xX_Aimer1) has been Unbanned", "-1"},
            {"unban nothing", "pb_sv_unban 0", "Ban #0 not found", "-1"},
            {"screenshot", "pb_sv_getss 1", "Screenshot pb000001.png Requested from 1 ^1Red^7Baron",
             "-1"},
            {"screenshot all", "pb_sv_getss", "Screenshot pb000001.png Requested from 1 ", "-1"},
            {"task", "PB_SV_Task 10 180 PB_SV_GETSS 1",
             "Task Added (ID#1): start in 10 sec, repeat every 180 sec: PB_SV_GETSS 1", "-1"},
            {"bad name", "pb_sv_badname 30 NAZI", "BadName Added (#3, 30 sec grace): NAZI", "-1"},
            {"bad name, cancelled", "pb_sv_badname 30 ",
             "Usage: pb_sv_badname [grace seconds] [name]", "-1"},
            {"bad name on the server", "pb_sv_badname 30 pepper",
             "BadName Added (#3, 30 sec grace): pepper", "1"},
            {"bad name list", "PB_SV_BadNameList", "BadName List: (#, grace seconds, name)", "-1"},
            {"restart", "pb_sv_restart", "Restarting PunkBuster Server...", "-1"},
            {"ucon user", "pb_sv_uconadd 2 192.0.2.1 GARRISON-192.0.2.1 pw",
             "UCON User Added: GARRISON-192.0.2.1 [192.0.2.1] (level 2)", "-1"},
            {"session limit", "pb_sv_USessionLimit 16", "Setting pb_sv_USessionLimit set to 16",
             "-1"},
            {"write configuration", "pb_sv_writecfg", "Settings Written to pbsv.cfg", "-1"},
            {"write file", "pb_sv_writecfg pbucon.use", "Settings Written to pbucon.use", "-1"},
        });
}

void TestSimConsole::punkBuster()
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
    // Every console line also goes to the hook; a kick adds the lost connection.
    QCOMPARE(events.size(), lines.size() + (goneSlot >= 0 ? 1 : 0));
    if (goneSlot >= 0) {
        QVERIFY(console.world().playerBySlot(goneSlot) == nullptr);
    } else {
        QCOMPARE(console.world().players().size(), 8);
    }
}

void TestSimConsole::banListNeedsSeveralDatagrams()
{
    SimConsole console(withPlayers(8));
    console.reply(QStringLiteral("pb_sv_ban 7 0 Aimbot"));

    const QList<QByteArray> datagrams = console.execute(QStringLiteral("pb_sv_banlist"));

    QVERIFY(datagrams.size() >= 3);
    const QString list = SimRedirectBuffer::join(datagrams);
    QVERIFY(list.contains(QStringLiteral("31 ") + console.punkBuster().banList().last().pbGuid +
                          QStringLiteral("(-) \"Pirate\" ")));
    QVERIFY(list.endsWith(QStringLiteral("End of Ban List (31 of 31 displayed)\n")));
}

void TestSimConsole::scheduledTaskRuns()
{
    SimConsole console(withPlayers(2));
    console.reply(QStringLiteral("PB_SV_Task 10 180 PB_SV_GETSS 1"));
    QSignalSpy events(&console, &SimConsole::punkBusterLine);

    console.tick(9000);
    QCOMPARE(events.size(), 0);
    console.tick(1000);
    QCOMPARE(events.size(), 1);
    QVERIFY(events.first().first().toString().contains(QStringLiteral("Screenshot pb000001.png")));
    console.tick(180000);
    QCOMPARE(events.size(), 2);
}

void TestSimConsole::chat_data()
{
    addTextRows(
        {"command", "reply", "logLine"},
        {
            {"say", "say hello  all", "console: hello  all\n", "say;0;-1;Console;hello  all"},
            {"tell", "tell 1 behave", "console: behave\n", "tell;1363774835;1;Sgt Pepper;behave"},
        });
}

void TestSimConsole::chat()
{
    QFETCH(QString, command);
    QFETCH(QString, reply);
    QFETCH(QString, logLine);
    SimConsole console(withPlayers(8));
    QSignalSpy chat(&console, &SimConsole::chatLine);
    QSignalSpy log(&console, &SimConsole::gameLogLine);

    QCOMPARE(console.reply(command), reply);
    QCOMPARE(chat.size(), 1);
    QCOMPARE(chat.first().at(1).toString(), QStringLiteral("Console"));
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().first().toString(), logLine);
}

void TestSimConsole::tokenize_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("tokens");

    QTest::newRow("blanks") << "  kick   Sgt  Pepper " << QStringList{"kick", "Sgt", "Pepper"};
    QTest::newRow("quotes") << "set a \"b c\" d" << QStringList{"set", "a", "b c", "d"};
    QTest::newRow("open quote") << "set a \"b c" << QStringList{"set", "a", "b c"};
    QTest::newRow("empty quotes") << "set a \"\"" << QStringList{"set", "a", ""};
    QTest::newRow("tab and control") << "status\t\x01x" << QStringList{"status", "x"};
}

void TestSimConsole::tokenize()
{
    QFETCH(QString, line);
    QFETCH(QStringList, tokens);

    QCOMPARE(SimConsole::tokenize(line), tokens);
}

GARRISON_TEST_GUILESS_MAIN(TestSimConsole)
#include "TestSimConsole.moc"
