#include "SimFixture.h"
#include "platform/SettingsStore.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QUdpSocket>

using garrison::SettingsStore;
using garrison::test::addTextRows;
using garrison::test::SimFixture;

namespace {

constexpr int kRunMs = 20000;

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs garrison-rcon while this thread's event loop keeps the simulator answering.
Run runRcon(const QStringList& arguments, const QProcessEnvironment& environment,
            const QByteArray& input = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(GARRISON_RCON_PROGRAM), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!finished.wait(kRunMs)) {
        return {}; // the process is killed with its QProcess
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString writeFile(const QString& name, const QByteArray& text, QFile::Permissions permissions)
{
    const QString path = garrison::test::scratchFolder() + QLatin1Char('/') + name;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    file.setPermissions(permissions);
    return path;
}

} // namespace

class TestGarrisonRcon : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    QUdpSocket m_silent; // bound, never answers
    quint16 m_closedPort = 0;
    QString m_privateFile;
    QString m_sharedFile;

    QProcessEnvironment environment(const QString& password) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("GARRISON_RCON_PASSWORD"));
        if (!password.isNull()) {
            environment.insert(QStringLiteral("GARRISON_RCON_PASSWORD"), password);
        }
        return environment;
    }

private Q_SLOTS:
    void initTestCase()
    {
        auto settings = SimFixture::frozenSettings();
        settings.players = 16;   // the status reply spans several datagrams
        settings.queryBurst = 0; // every row may query it
        m_sim = std::make_unique<SimFixture>(settings);
        QVERIFY(m_sim->start());
        QVERIFY(m_silent.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QUdpSocket closed;
        QVERIFY(closed.bind(QHostAddress(QHostAddress::LocalHost), 0));
        m_closedPort = closed.localPort();
        m_privateFile =
            writeFile(QStringLiteral("private"), "secret\n", QFile::ReadOwner | QFile::WriteOwner);
        m_sharedFile = writeFile(QStringLiteral("shared"), "secret\n",
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);

        const auto save = [](int slot, const char* key, const QString& value) {
            SettingsStore::write(QStringLiteral("garrison"), QStringLiteral("[LOGIN%1]").arg(slot),
                                 QLatin1String(key), value);
        };
        save(2, "IPAddress", QStringLiteral("127.0.0.1"));
        save(2, "Port", QString::number(m_sim->port()));
        save(2, "Pass", m_sim->password());
        save(3, "DaemonIP", QStringLiteral("127.0.0.1"));
        save(3, "DaemonPort", QStringLiteral("28961"));
        save(4, "Name", QStringLiteral("named but empty"));
    }

    // Arguments split at blanks; @sim stands for the simulator's address, @closed and @silent
    // for a port that refuses and one that never answers, @private and @shared for password
    // files; after " < " comes standard input, its lines split at "|". Password "-":
    // GARRISON_RCON_PASSWORD unset. Every row that succeeds asks for the host name, which must
    // be on stdout; a failure leaves stdout empty and says what went wrong once.
    void exitCodes_data()
    {
        addTextRows(
            {"line", "password", "exitCode", "stderrHolds"},
            {{"command", "@sim -- sv_hostname", "secret", "0", ""},
             {"password file", "@sim --password-file @private -- sv_hostname", "-", "0", ""},
             {"--password warns", "@sim --password secret -- sv_hostname", "-", "0", "other users"},
             {"profile", "--profile 2 -- sv_hostname", "-", "0", ""},
             {"wrong password", "@sim -- status", "wrong", "2", "Invalid password."},
             {"closed port", "@closed -- status", "secret", "3", "connection refused"},
             {"silent server", "@silent --timeout 0.3 -- status", "secret", "3", "no answer"},
             {"--stdin stops at a silent server",
              "@silent --timeout 0.3 --stdin < status|say one|say two", "secret", "3", "no answer"},
             {"--stdin stops at a closed port", "@closed --stdin < status|say one", "secret", "3",
              "connection refused"},
             {"host not found", "--host no-such-host.invalid -- status", "secret", "5",
              "host not found"},
             {"no server", "-- status", "secret", "4", "--host"},
             {"port out of range", "--host 127.0.0.1 --port 65536 status", "secret", "4", "--port"},
             {"unknown option", "@sim --frobnicate status", "secret", "4", "frobnicate"},
             {"command without --", "@sim say hi", "secret", "4", "after --"},
             {"two things to send", "@sim status -- say hi", "secret", "4", "only one"},
             {"nothing to send", "@sim", "secret", "4", "nothing to send"},
             {"unknown format", "@sim status --format xml", "secret", "4", "xml"},
             {"format without status", "@sim --format json -- say hi", "secret", "4",
              "belongs to status"},
             {"watch of stdin", "@sim watch --stdin", "secret", "4", "watch"},
             {"readable password file", "@sim --password-file @shared status", "-", "4",
              "chmod 600"},
             {"daemon profile", "--profile 3 status", "secret", "4", "daemon"},
             {"empty profile", "--profile 4 status", "secret", "4", "no server address"},
             {"profile of another store", "--profile 2 --store copy status", "secret", "4",
              "copy.conf"},
             {"no password and no terminal", "@sim status", "-", "4", "GARRISON_RCON_PASSWORD"},
             {"query needs no password", "@sim query", "-", "0", ""},
             {"query of a profile", "--profile 2 query --format json", "-", "0", ""},
             {"query of a silent server", "@silent --timeout 0.3 query", "-", "3", "no answer"},
             {"query of an unknown host", "--host no-such-host.invalid query", "-", "5",
              "host not found"},
             {"query and a command", "@sim query -- say hi", "-", "4", "only one"},
             {"watch of query", "@sim watch query", "-", "4", "watch"}});
    }

    void exitCodes()
    {
        QFETCH(QString, line);
        QFETCH(QString, password);
        QFETCH(QString, exitCode);
        QFETCH(QString, stderrHolds);
        const auto at = [](quint16 port) {
            return QStringLiteral("--host 127.0.0.1 --port ") + QString::number(port);
        };
        line.replace(QLatin1String("@sim"), at(m_sim->port()))
            .replace(QLatin1String("@closed"), at(m_closedPort))
            .replace(QLatin1String("@silent"), at(m_silent.localPort()))
            .replace(QLatin1String("@private"), m_privateFile)
            .replace(QLatin1String("@shared"), m_sharedFile);
        const QStringList parts = line.split(QStringLiteral(" < "));
        const Run run = runRcon(
            parts.constFirst().split(u' ', Qt::SkipEmptyParts),
            environment(password == u"-" ? QString() : password),
            parts.size() > 1 ? QString(parts.constLast()).replace(u'|', u'\n').toUtf8() + '\n'
                             : QByteArray());
        QVERIFY2(exitCode == u"0" ? run.out.contains(u"CoDWaWHost") : run.out.isEmpty(),
                 qPrintable(run.out));
        QVERIFY2(stderrHolds.isEmpty() || run.err.count(stderrHolds) == 1, qPrintable(run.err));
        QCOMPARE(run.exitCode, exitCode.toInt());
    }

    void helpAndVersionGoToStdout()
    {
        for (const auto& [option, holds] : {std::pair{"--help", "Usage: garrison-rcon [options]"},
                                            std::pair{"--version", "garrison-rcon "}}) {
            const Run run = runRcon({QString::fromLatin1(option)}, environment(QString()));
            QCOMPARE(run.exitCode, 0);
            QVERIFY2(run.out.startsWith(QLatin1String(holds)), qPrintable(run.out));
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        }
    }

    // Besides the simulator's players (one of them still connecting), one who has left.
    void statusJsonHoldsTheSimulatorsPlayers()
    {
        garrison::sim::SimPlayer zombie = m_sim->console().world().players().constLast();
        zombie.slot = 30;
        zombie.state = garrison::sim::SimPlayer::State::Zombie;
        m_sim->console().world().addPlayer(zombie);
        QSignalSpy answered(&m_sim->server(), &garrison::sim::SimServer::requestAnswered);
        const Run run = runRcon({"--host", "127.0.0.1", "--port", QString::number(m_sim->port()),
                                 "status", "--format", "json"},
                                environment(m_sim->password()));
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!answered.isEmpty());
        QCOMPARE(answered.first().at(0).toString(), QStringLiteral("status"));
        QVERIFY(answered.first().at(1).toInt() > 1);

        const QJsonObject status = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(status.value(QStringLiteral("host")).toString(), QStringLiteral("CoDWaWHost"));
        QCOMPARE(status.value(QStringLiteral("map")).toString(), QStringLiteral("mp_castle"));
        const QJsonArray players = status.value(QStringLiteral("players")).toArray();
        const auto& expected = m_sim->console().world().players();
        QCOMPARE(players.size(), expected.size());
        for (int i = 0; i < players.size(); ++i) {
            const QJsonObject player = players.at(i).toObject();
            const auto& simulated = expected.at(i);
            QCOMPARE(player.value(QStringLiteral("slot")).toInt(), simulated.slot);
            QCOMPARE(player.value(QStringLiteral("name")).toString(), simulated.plainName());
            QCOMPARE(player.value(QStringLiteral("score")).toInt(), simulated.score);
            const QString address =
                simulated.kind == garrison::sim::SimPlayer::Kind::Human
                    ? simulated.ip + QLatin1Char(':') + QString::number(simulated.port)
                    : simulated.addressText();
            QCOMPARE(player.value(QStringLiteral("address")).toString(), address);
            using State = garrison::sim::SimPlayer::State;
            const QJsonValue ping = player.value(QStringLiteral("ping"));
            QCOMPARE(ping, simulated.state == State::Active
                               ? QJsonValue(std::min(simulated.ping, 999))
                               : QJsonValue(QJsonValue::Null));
            QCOMPARE(player.value(QStringLiteral("state")).toString(),
                     QString::fromLatin1(simulated.state == State::Active       ? "active"
                                         : simulated.state == State::Connecting ? "connecting"
                                                                                : "zombie"));
        }
        QVERIFY(QDateTime::fromString(status.value(QStringLiteral("time")).toString(), Qt::ISODate)
                    .isValid());
    }

    // query in every format: the server's values and its players (one of them with a terminal
    // escape in his name) as the simulator has them; no control character reaches the output.
    void queryFormats_data()
    {
        addTextRows({"format", "raw"},
                    {{"table", "table", ""}, {"json", "json", ""}, {"csv, raw", "csv", "--raw"}});
    }
    void queryFormats()
    {
        QFETCH(QString, format);
        QFETCH(QString, raw);
        auto& world = m_sim->console().world();
        if (world.playerBySlot(31) == nullptr) {
            garrison::sim::SimPlayer escape = world.players().constFirst();
            escape.slot = 31;
            escape.name = QStringLiteral("^1Esc\x1B[2J");
            world.addPlayer(escape);
        }
        QStringList arguments = {"--host", "127.0.0.1", "--port", QString::number(m_sim->port()),
                                 "query",  "--format",  format};
        if (!raw.isEmpty()) {
            arguments.append(raw);
        }
        const Run run = runRcon(arguments, environment(QString()));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(std::all_of(run.out.cbegin(), run.out.cend(),
                             [](QChar c) { return c >= u' ' || c == u'\n'; }),
                 qPrintable(run.out));

        QStringList expected;
        for (const garrison::sim::SimPlayer& player : world.players()) {
            if (player.state != garrison::sim::SimPlayer::State::Zombie) {
                QString name = raw.isEmpty() ? player.plainName() : player.name;
                if (format != u"json") {
                    name.replace(QChar(0x1B), QStringLiteral("\\x1B"));
                }
                expected.append(QStringLiteral("%1/%2").arg(name).arg(player.score));
            }
        }
        QString server;
        QStringList players;
        if (format == u"json") {
            const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
            QCOMPARE(object.keys(),
                     (QStringList{"clients", "gametype", "host", "map", "max_clients",
                                  "password_needed", "ping_ms", "players"}));
            server = QStringLiteral("%1|%2|%3|%4/%5|%6")
                         .arg(object["host"].toString(), object["map"].toString(),
                              object["gametype"].toString())
                         .arg(object["clients"].toInt())
                         .arg(object["max_clients"].toInt())
                         .arg(object["password_needed"].toBool() ? "true" : "false");
            QVERIFY(object["ping_ms"].toInt(-1) >= 0);
            for (const QJsonValue& player : object["players"].toArray()) {
                QVERIFY(player["ping"].isDouble());
                players.append(QStringLiteral("%1/%2")
                                   .arg(player["name"].toString())
                                   .arg(player["score"].toInt()));
            }
        } else if (format == u"csv") {
            QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.takeFirst(), QStringLiteral("name,score,ping,host,map,gametype,clients,"
                                                       "max_clients,password_needed,ping_ms"));
            for (const QString& line : lines) {
                const QStringList fields = line.split(u',');
                QCOMPARE(fields.size(), 10);
                players.append(fields[0] + u'/' + fields[1]);
                server = QStringLiteral("%1|%2|%3|%4/%5|%6")
                             .arg(fields[3], fields[4], fields[5], fields[6], fields[7], fields[8]);
            }
        } else {
            const QStringList lines = run.out.split(u'\n');
            const auto value = [&](const QString& label) {
                return lines.filter(QRegularExpression(u'^' + label + QStringLiteral(": ")))
                    .value(0)
                    .section(QStringLiteral(": "), 1);
            };
            server = QStringList{value("host"), value("map"), value("gametype"), value("players"),
                                 value("password") == u"none" ? "false" : "true"}
                         .join(u'|');
            const qsizetype header = lines.indexOf(QRegularExpression("^Name +Score +Ping$"));
            QVERIFY(header > 0);
            for (const QString& line : lines.mid(header + 1)) {
                const QStringList cells = line.split(QRegularExpression("  +"));
                if (cells.size() == 3) {
                    players.append(cells[0] + u'/' + cells[1]);
                }
            }
        }
        QCOMPARE(server,
                 QStringLiteral("CoDWaWHost|mp_castle|tdm|%1/24|false").arg(expected.size()));
        QCOMPARE(players, expected);
    }

    // Rounds of watch make one CSV file: one header, every line with the time of its status
    // reply in ISO 8601 (UTC).
    void watchCsvHasOneHeaderAndATimeColumn()
    {
        const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
        QProcess process;
        process.setProcessEnvironment(environment(m_sim->password()));
        process.start(QStringLiteral(GARRISON_RCON_PROGRAM),
                      {"--host", "127.0.0.1", "--port", QString::number(m_sim->port()), "--pace",
                       "0", "watch", "--interval", "0.1", "status", "--format", "csv"});
        const qsizetype players = m_sim->console().world().players().size();
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT(
            (out += process.readAllStandardOutput()).count('\n') >= 1 + 3 * players, kRunMs);
        process.kill();
        process.waitForFinished();
        const QDateTime ended = QDateTime::currentDateTimeUtc().addSecs(1);

        const QStringList lines = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.constFirst(),
                 QStringLiteral("name,score,ping,guid,slot,address,host,map,state,time"));
        for (const QString& line : lines.mid(1)) {
            const QStringList fields = line.split(u',');
            QCOMPARE(fields.size(), 10);
            const QDateTime time = QDateTime::fromString(fields.constLast(), Qt::ISODate);
            QVERIFY2(time.timeSpec() == Qt::UTC && time >= started && time <= ended,
                     qPrintable(line));
        }
    }

    void stdinCommandsArePacedForAThrottlingServer()
    {
        auto settings = SimFixture::frozenSettings();
        settings.cooldownMs = 400;
        SimFixture throttled(settings);
        QVERIFY(throttled.start());
        QSignalSpy answered(&throttled.server(), &garrison::sim::SimServer::requestAnswered);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> times;
        connect(&throttled.server(), &garrison::sim::SimServer::requestAnswered, this,
                [&] { times.append(clock.elapsed()); });

        const Run run = runRcon({"--host", "127.0.0.1", "--port", QString::number(throttled.port()),
                                 "--stdin", "--pace", "500"},
                                environment(throttled.password()),
                                "sv_hostname\n\n# a comment\nmapname\ng_gametype\nsv_hostname\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(answered.size(), 4);
        for (int i = 1; i < times.size(); ++i) {
            QVERIFY2(times[i] - times[i - 1] >= settings.cooldownMs,
                     qPrintable(QString::number(times[i] - times[i - 1])));
        }
        QCOMPARE(run.out.count(QStringLiteral("\"sv_hostname\" is")), 2);
        QVERIFY(run.out.indexOf(QStringLiteral("mp_castle")) <
                run.out.lastIndexOf(QStringLiteral("\"sv_hostname\" is")));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestGarrisonRcon)
#include "TestGarrisonRcon.moc"
