#include "GameEventSink.h"
#include "GameEventWebhook.h"
#include "GameEvents.h"
#include "GameLogFollower.h"
#include "GameLogParser.h"
#include "SimConsole.h"
#include "TestMain.h"
#include "Webhook.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <ctime>

using namespace garrisond;

namespace {

QByteArray player(const GameLogLine::Player& p)
{
    return p.guid + ';' + QByteArray::number(p.slot) + ';' + p.team + ';' + p.name;
}

// One line of the parser's result, as the table below spells it.
QByteArray summary(const GameLogLine& line)
{
    const QByteArray at = QByteArray::number(line.uptime) + ' ';
    switch (line.kind) {
    case GameLogLine::Kind::Say:
        return "say " + at + player(line.player) + " : " + line.message;
    case GameLogLine::Kind::SayTeam:
        return "team " + at + player(line.player) + " : " + line.message;
    case GameLogLine::Kind::Join:
        return "join " + at + player(line.player);
    case GameLogLine::Kind::Quit:
        return "quit " + at + player(line.player);
    case GameLogLine::Kind::JoinTeam:
        return "jointeam " + at + player(line.player);
    case GameLogLine::Kind::Kill:
    case GameLogLine::Kind::Damage:
        return (line.kind == GameLogLine::Kind::Kill ? "kill " : "damage ") + at +
               player(line.player) + " by " + player(line.attacker) + " : " + line.weapon + ' ' +
               QByteArray::number(line.damage) + ' ' + line.means + ' ' + line.hitLocation;
    case GameLogLine::Kind::InitGame:
        return "map " + at + line.map + ' ' + line.gameType;
    case GameLogLine::Kind::ShutdownGame:
        return "shutdown " + at;
    case GameLogLine::Kind::ExitLevel:
        return "exit " + at;
    case GameLogLine::Kind::Other:
        break;
    }
    return "other " + at + line.text;
}

struct Collector : GameEventSink {
    QStringList events;
    void takeEvent(const GameEvent& event) override
    {
        events.append(GameEvent::kindName(event.kind) + QLatin1Char(' ') + event.describe() +
                      (event.other.slot >= 0
                           ? QStringLiteral(" #%1 %2").arg(event.other.slot).arg(event.other.guid)
                           : QString()));
    }
};

void append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestGameLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        ::tzset();
    }
    void parsesTheEnginesLines_data()
    {
        QTest::addColumn<QByteArrayList>("before");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("parsed");
        const auto row = [](const char* tag, const QByteArrayList& before, const QByteArray& line,
                            const QByteArray& parsed) {
            QTest::newRow(tag) << before << line << parsed;
        };
        row("say", {}, "  0:06 say;1234567;3;Bob;hello there",
            "say 6 1234567;3;;Bob : hello there");
        row("team chat, control byte, many minutes", {}, "1234:56 sayteam;0a1b;0;^1Al;\x15rush b",
            "team 74096 0a1b;0;;^1Al : rush b");
        row("text holds ';'", {}, "  1:00 say;1;2;Bob;a;b; c", "say 60 1;2;;Bob : a;b; c");
        row("name holds ';', known from the join", {"  0:01 J;9;5;Semi;Colon"},
            "  0:02 say;9;5;Semi;Colon;hi", "say 2 9;5;;Semi;Colon : hi");
        row("name holds ';', cut by the control byte", {}, "  0:02 say;9;5;Semi;Colon;\x15hi;x",
            "say 2 9;5;;Semi;Colon : hi;x");
        row("team remembered from the team join", {"  0:01 JT;7;4;axis;Anna;"},
            "  0:03 say;7;4;Anna;go", "say 3 7;4;axis;Anna : go");
        row("join", {}, "  0:10 J;2310346615;0;Sgt Pepper", "join 10 2310346615;0;;Sgt Pepper");
        row("join, name holds ';'", {}, "  0:10 J;9;5;Semi;Colon", "join 10 9;5;;Semi;Colon");
        row("quit", {}, " 12:00 Q;2310346615;0;Sgt Pepper", "quit 720 2310346615;0;;Sgt Pepper");
        row("kill", {},
            "  2:05 K;111;1;axis;Victim;222;2;allies;Killer;m1garand_mp;100;MOD_RIFLE_BULLET;head",
            "kill 125 111;1;axis;Victim by 222;2;allies;Killer : m1garand_mp 100 MOD_RIFLE_BULLET "
            "head");
        row("kill by the world", {},
            "  2:05 K;111;1;axis;Victim;;-1;world;;none;100000;MOD_FALLING;none",
            "kill 125 111;1;axis;Victim by ;-1;world; : none 100000 MOD_FALLING none");
        row("victim's name holds ';'", {},
            "K;111;1;axis;A;B;222;2;allies;Killer;mp40_mp;35;MOD_PISTOL_BULLET;torso_upper",
            "kill -1 111;1;axis;A;B by 222;2;allies;Killer : mp40_mp 35 MOD_PISTOL_BULLET "
            "torso_upper");
        row("damage", {},
            "  3:00 D;1;1;allies;X;2;2;axis;Y;kar98k_mp;40;MOD_RIFLE_BULLET;left_arm_lower",
            "damage 180 1;1;allies;X by 2;2;axis;Y : kar98k_mp 40 MOD_RIFLE_BULLET left_arm_lower");
        row("new map", {},
            "  0:00 InitGame: \\g_gametype\\sd\\gamename\\Some "
            "Game\\mapname\\mp_carentan\\sv_hostname\\x",
            "map 0 mp_carentan sd");
        row("shutdown", {}, "  9:59 ShutdownGame:", "shutdown 599 ");
        row("exit", {}, "  9:58 ExitLevel: executed", "exit 598 ");
        row("win line kept raw", {}, "  9:57 W;axis;1;Anna", "other 597 W;axis;1;Anna");
        row("no stamp, CR LF", {}, "say;1;2;Bob;hi\r\n", "say -1 1;2;;Bob : hi");
        row("slot no number", {}, "  0:01 say;1;x;Bob;hi", "other 1 say;1;x;Bob;hi");
        row("chat without text", {}, "  0:01 say;1;2;Bob", "other 1 say;1;2;Bob");
        row("kill cut short", {}, "  0:01 K;1;2;axis", "other 1 K;1;2;axis");
        row("kill's damage no number", {}, "K;1;1;axis;V;2;2;allies;A;w;lots;MOD_X;head",
            "other -1 K;1;1;axis;V;2;2;allies;A;w;lots;MOD_X;head");
        row("bad stamp", {}, "  12:3 say;1;2;Bob;hi", "other -1   12:3 say;1;2;Bob;hi");
        row("empty", {}, "", "other -1 ");
        row("separator", {}, "------------------------------------------------------------",
            "other -1 ------------------------------------------------------------");
    }
    void parsesTheEnginesLines()
    {
        QFETCH(QByteArrayList, before);
        QFETCH(QByteArray, line);
        GameLogParser parser;
        for (const QByteArray& earlier : before) {
            parser.parse(earlier);
        }
        QTEST(summary(parser.parse(line)), "parsed");
    }

    // What garrison-sim's scripting commands write to its game log reads as the engine's.
    void readsTheSimulatorsLines_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QByteArrayList>("parsed");
        const QByteArray hans = "4242;0;;Hans Wurst";
        QTest::newRow("an evening")
            << QStringLiteral("sim_join \"Hans Wurst\" 4242|sim_say 0 gg all|"
                              "sim_sayteam 0 rush b|sim_leave 0|sim_say 0 nobody")
            << QByteArrayList{"join 1 " + hans, "say 1 " + hans + " : gg all",
                              "team 1 " + hans + " : rush b", "quit 1 " + hans};
    }
    void readsTheSimulatorsLines()
    {
        QFETCH(QString, commands);
        QFETCH(QByteArrayList, parsed);
        garrison::sim::SimSettings settings;
        settings.players = 0;
        garrison::sim::SimConsole console(settings);
        GameLogParser parser;
        QByteArrayList read;
        connect(&console, &garrison::sim::SimConsole::gameLogLine, this, [&](const QString& line) {
            read.append(summary(parser.parse("  0:01 " + line.toUtf8())));
        });
        for (const QString& command : commands.split(u'|')) {
            console.reply(command);
        }
        QCOMPARE(read, parsed);
    }

    // Alerts and reports come from chat lines; the rest of the events as the log says.
    void raisesEvents_data()
    {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QStringList>("events");
        const QByteArray join = "  0:01 J;42;3;^1Evil^7Guy";
        QTest::newRow("chat, join, quit, kill, map")
            << QByteArrayList{join, "  0:02 say;1;1;Bob;hi", "  0:03 Q;42;3;^1Evil^7Guy",
                              "  0:04 K;1;1;axis;Bob;2;2;allies;Al;mp40_mp;30;MOD_X;head",
                              "  0:05 InitGame: \\mapname\\mp_dawnville\\g_gametype\\tdm"}
            << QStringList{"join ^1Evil^7Guy joined", "chat Bob: hi", "quit ^1Evil^7Guy left",
                           "kill Al killed Bob (mp40_mp) #2 2", "map Map mp_dawnville (tdm) began"};
        QTest::newRow("alert word: case and colour codes ignored")
            << QByteArrayList{"  0:02 sayteam;1;1;Bob;he uses a WALL^3HACK"}
            << QStringList{"chat Bob: he uses a WALL^3HACK",
                           "alert Alert \"wallhack\": Bob said \"he uses a WALL^3HACK\""};
        QTest::newRow("report of a player present, by part of his name")
            << QByteArrayList{join, "  0:02 say;1;1;Bob;\x15!report evil aimbot all map"}
            << QStringList{"join ^1Evil^7Guy joined", "chat Bob: !report evil aimbot all map",
                           "report Bob reported ^1Evil^7Guy: aimbot all map #3 42"};
        QTest::newRow("report of a name with blanks: the longest known name that fits")
            << QByteArrayList{"  0:01 J;11;4;Hans", "  0:01 J;12;5;Hans Wurst",
                              "  0:02 say;1;1;Bob;!report hans wurst spawn killing"}
            << QStringList{"join Hans joined", "join Hans Wurst joined",
                           "chat Bob: !report hans wurst spawn killing",
                           "report Bob reported Hans Wurst: spawn killing #5 12"};
        QTest::newRow("report of a player known from a kill, colour codes aside")
            << QByteArrayList{"  0:01 K;1;1;axis;Bob;77;6;allies;^1Hans "
                              "^7Wurst;mp40_mp;30;MOD_X;head",
                              "  0:02 say;1;1;Bob;!report Hans Wurst spawn killing"}
            << QStringList{"kill ^1Hans ^7Wurst killed Bob (mp40_mp) #6 77",
                           "chat Bob: !report Hans Wurst spawn killing",
                           "report Bob reported ^1Hans ^7Wurst: spawn killing #6 77"};
        QTest::newRow("report of a player known from a team change")
            << QByteArrayList{"  0:01 JT;88;7;axis;Anna;", "  0:02 say;1;1;Bob;!report anna camps"}
            << QStringList{"chat Bob: !report anna camps", "report Bob reported Anna: camps #7 88"};
        QTest::newRow("a known name ends at a blank")
            << QByteArrayList{"  0:01 J;11;4;Al", "  0:02 say;1;1;Bob;!report Alfred camps"}
            << QStringList{"join Al joined", "chat Bob: !report Alfred camps",
                           "report Bob reported Alfred: camps"};
        QTest::newRow("no known name fits: the first word")
            << QByteArrayList{"  0:02 say;1;1;Bob;!report Hans Wurst spawn killing"}
            << QStringList{"chat Bob: !report Hans Wurst spawn killing",
                           "report Bob reported Hans: Wurst spawn killing"};
        QTest::newRow("report of a name nobody has")
            << QByteArrayList{"  0:02 say;1;1;Bob;!REPORT Ghost"}
            << QStringList{"chat Bob: !REPORT Ghost", "report Bob reported Ghost"};
        QTest::newRow("no report: another command, no name")
            << QByteArrayList{"  0:02 say;1;1;Bob;!reports x", "  0:03 say;1;1;Bob;!report"}
            << QStringList{"chat Bob: !reports x", "chat Bob: !report"};
    }
    void raisesEvents()
    {
        QFETCH(QByteArrayList, lines);
        GameEvents events;
        events.configure(QString(), {QStringLiteral(" ^1Wall^7hack "), QStringLiteral("cheat")},
                         QStringLiteral("!report <name> <reason>"));
        Collector sink;
        events.addSink(&sink);
        events.takeLines(lines);
        QTEST(sink.events, "events");
    }

    // One webhook post per alert word and player within the window; the next one after it
    // counts what was left out. Alerts are "seconds guid name word", from 23:10 on.
    void foldsRepeatedAlerts_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<QStringList>("alerts");
        QTest::addColumn<QStringList>("posted");
        const QString bob = QStringLiteral("Alert \"wallhack\": Bob said \"wallhack\"");
        QTest::newRow("repeats counted in the post after the window")
            << 300 << QStringList{"0 7 Bob wallhack",   "60 7 Bob wallhack",  "120 7 Bob wallhack",
                                  "299 7 Bob wallhack", "300 7 Bob wallhack", "301 7 Bob wallhack"}
            << QStringList{bob, bob + " (and 3 more since 23:10)"};
        QTest::newRow("other players and words are posted")
            << 300
            << QStringList{"0 7 Bob wallhack", "10 8 Al wallhack", "20 7 Bob aimbot",
                           "30 7 Bob wallhack"}
            << QStringList{bob, "Alert \"wallhack\": Al said \"wallhack\"",
                           "Alert \"aimbot\": Bob said \"aimbot\""};
        QTest::newRow("a new name does not start anew")
            << 300 << QStringList{"0 7 Bob wallhack", "10 7 Bobby wallhack"} << QStringList{bob};
        QTest::newRow("window 0: every alert")
            << 0 << QStringList{"0 7 Bob wallhack", "1 7 Bob wallhack"} << QStringList{bob, bob};
        // "!report" rows are Bob's reports of Al.
        const QString report = QStringLiteral("Bob reported Al: cheat");
        QTest::newRow("a player's posts beyond three are folded and counted")
            << 300 << QStringList{"0 7 Bob !report",  "1 7 Bob !report",  "2 7 Bob aimbot",
                                  "3 7 Bob !report",  "4 7 Bob wallhack", "5 8 Al !report",
                                  "301 7 Bob !report"}
            << QStringList{report, report, "Alert \"aimbot\": Bob said \"aimbot\"",
                           "Al reported Al: cheat",
                           report + " (2 more from this player folded since 23:10)"};
    }
    void foldsRepeatedAlerts()
    {
        QFETCH(int, window);
        QFETCH(QStringList, alerts);
        Webhook webhook;
        GameEventWebhook poster(webhook);
        poster.setRepeatWindow(std::chrono::seconds(window));
        const QDateTime start(QDate(2030, 6, 1), QTime(23, 10), Qt::UTC);
        QStringList posted;
        for (const QString& alert : std::as_const(alerts)) {
            const QStringList parts = alert.split(u' ');
            GameEvent event;
            event.kind = GameEvent::Kind::Alert;
            event.at = start.addSecs(parts.at(0).toInt());
            event.player = {parts.at(1), 3, QString(), parts.at(2)};
            event.word = event.text = parts.at(3);
            if (event.word == QLatin1String("!report")) {
                event.kind = GameEvent::Kind::Report;
                event.other = {QStringLiteral("9"), 4, QString(), QStringLiteral("Al")};
                event.text = QStringLiteral("cheat");
            }
            if (const std::optional<Notification> notification = poster.notificationFor(event)) {
                posted.append(notification->text);
            }
        }
        QTEST(posted, "posted");
    }

    // From the end of the file that is there, then what is added; through rotation and
    // truncation, without losing the rest of the old file or a line cut in two.
    void followsTheLog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("games_mp.log"));
        append(path, "old 1\nold 2\nhalf a li");
        GameLogFollower follower;
        QSignalSpy read(&follower, &GameLogFollower::linesRead);
        follower.follow(path);
        const auto next = [&](const QByteArrayList& expected) {
            follower.poll();
            QByteArrayList lines;
            for (const QList<QVariant>& call : std::as_const(read)) {
                lines += call.first().value<QList<QByteArray>>();
            }
            read.clear();
            QCOMPARE(lines, expected);
        };
        next({});
        append(path, "ne\nnew 1\nnew");
        next({"new 1"});
        append(path, " 2\n");
        next({"new 2"});

        QFile::resize(path, 0);
        append(path, "after truncation\n");
        next({"after truncation"});

        QVERIFY(QFile::rename(path, path + QStringLiteral(".1")));
        append(path + QStringLiteral(".1"), "last of the old\n");
        append(path, "first of the new\n");
        next({"last of the old", "first of the new"});

        QVERIFY(QFile::remove(path));
        next({});
        append(path, "a log begun anew\n");
        next({"a log begun anew"});
    }
    // A log that grows faster than it is read keeps no client waiting: one slice per turn of
    // the event loop, and a skip to the end, with its size, when too much waits.
    void keepsUpWithAFastLog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("games_mp.log"));
        append(path, "");
        GameLogFollower follower;
        QSignalSpy read(&follower, &GameLogFollower::linesRead);
        QSignalSpy skipped(&follower, &GameLogFollower::skipped);
        follower.follow(path);
        const QByteArray line(99, 'x');
        const qsizetype count = 3 * GameLogFollower::kTurnBytes / 100;
        append(path, (line + '\n').repeated(count));
        follower.poll();
        QCOMPARE(read.size(), 1);
        QVERIFY(read.first().first().value<QList<QByteArray>>().size() * 100 <=
                GameLogFollower::kTurnBytes);
        QTRY_COMPARE_WITH_TIMEOUT(follower.position(), 100 * count, 5000);

        const QByteArray flood =
            (line + '\n').repeated(GameLogFollower::kMaxBehindBytes / 100 + 1) + "cut off";
        append(path, flood);
        read.clear();
        follower.poll();
        QCOMPARE(skipped.size(), 1);
        QCOMPARE(skipped.first().first().toLongLong(), flood.size());
        append(path, " line\nafter the flood\n");
        follower.poll();
        QCOMPARE(read.size(), 1);
        QCOMPARE(read.first().first().value<QList<QByteArray>>(),
                 QByteArrayList{"after the flood"});
    }
};

GARRISON_TEST_GUILESS_MAIN(TestGameLog)
#include "TestGameLog.moc"
