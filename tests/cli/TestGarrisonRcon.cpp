#include "SimFixture.h"
#include "platform/SettingsStore.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QUdpSocket>

using garrison::SettingsStore;
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
        process.kill();
        process.waitForFinished();
        return {};
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
    file.close();
    file.setPermissions(permissions);
    return path;
}

} // namespace

class TestGarrisonRcon : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void exitCodes_data();
    void exitCodes();
    void statusJsonHoldsTheSimulatorsPlayers();
    void stdinCommandsArePacedForAThrottlingServer();

private:
    QProcessEnvironment environment(const QString& password) const;

    std::unique_ptr<SimFixture> m_sim;
    QUdpSocket m_silent; // bound, never answers
    quint16 m_closedPort = 0;
};

void TestGarrisonRcon::initTestCase()
{
    auto settings = SimFixture::frozenSettings();
    settings.players = 16; // the status reply spans several datagrams
    m_sim = std::make_unique<SimFixture>(settings);
    QVERIFY(m_sim->start());
    QVERIFY(m_silent.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QUdpSocket closed;
    QVERIFY(closed.bind(QHostAddress(QHostAddress::LocalHost), 0));
    m_closedPort = closed.localPort();

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

QProcessEnvironment TestGarrisonRcon::environment(const QString& password) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("GARRISON_RCON_PASSWORD"));
    if (!password.isNull()) {
        environment.insert(QStringLiteral("GARRISON_RCON_PASSWORD"), password);
    }
    return environment;
}

void TestGarrisonRcon::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("password"); // GARRISON_RCON_PASSWORD; null: unset
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHolds");
    QTest::addColumn<QString>("stderrHolds");

    const QString secret = QStringLiteral("secret");
    const QString sim = QString::number(m_sim->port());
    const QStringList at{QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                         QStringLiteral("--port"), sim};
    const QString privateFile =
        writeFile(QStringLiteral("private"), "secret\n", QFile::ReadOwner | QFile::WriteOwner);
    const QString sharedFile = writeFile(QStringLiteral("shared"), "secret\n",
                                         QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    const auto row = [](const char* name, const QStringList& arguments, const QString& password,
                        int code, const char* out, const char* err) {
        QTest::newRow(name) << arguments << password << code << QString::fromUtf8(out)
                            << QString::fromUtf8(err);
    };
    const QString none;
    // The reply is cleaned: header gone, colour codes stripped unless --raw.
    row("command", at + QStringList{"--", "sv_hostname"}, secret, 0, "CoDWaWHost", "");
    row("password file", at + QStringList{"--password-file", privateFile, "--", "sv_hostname"},
        none, 0, "CoDWaWHost", "");
    row("--password warns", at + QStringList{"--password", secret, "--", "sv_hostname"}, none, 0,
        "CoDWaWHost", "other users");
    row("profile", {"--profile", "2", "--", "sv_hostname"}, none, 0, "CoDWaWHost", "");
    row("wrong password", at + QStringList{"--", "status"}, QStringLiteral("wrong"), 2, "",
        "Invalid password.");
    row("closed port",
        {"--host", "127.0.0.1", "--port", QString::number(m_closedPort), "--", "status"}, secret, 3,
        "", "connection refused");
    row("silent server",
        {"--host", "127.0.0.1", "--port", QString::number(m_silent.localPort()), "--timeout", "0.3",
         "--", "status"},
        secret, 3, "", "no answer");
    row("host not found", {"--host", "no-such-host.invalid", "--", "status"}, secret, 5, "",
        "host not found");
    row("no server", {"--", "status"}, secret, 4, "", "--host");
    row("port out of range", {"--host", "127.0.0.1", "--port", "65536", "status"}, secret, 4, "",
        "--port");
    row("unknown option", at + QStringList{"--frobnicate", "status"}, secret, 4, "", "frobnicate");
    row("command without --", at + QStringList{"say", "hi"}, secret, 4, "", "after --");
    row("two things to send", at + QStringList{"status", "--", "say", "hi"}, secret, 4, "",
        "only one");
    row("nothing to send", at, secret, 4, "", "nothing to send");
    row("unknown format", at + QStringList{"status", "--format", "xml"}, secret, 4, "", "xml");
    row("format without status", at + QStringList{"--format", "json", "--", "say", "hi"}, secret, 4,
        "", "belongs to status");
    row("watch of stdin", at + QStringList{"watch", "--stdin"}, secret, 4, "", "watch");
    row("readable password file", at + QStringList{"--password-file", sharedFile, "status"}, none,
        4, "", "chmod 600");
    row("daemon profile", {"--profile", "3", "status"}, secret, 4, "", "daemon");
    row("empty profile", {"--profile", "4", "status"}, secret, 4, "", "no server address");
    row("profile of another store", {"--profile", "2", "--store", "copy", "status"}, secret, 4, "",
        "copy.conf");
    row("no password and no terminal", at + QStringList{"status"}, none, 4, "",
        "GARRISON_RCON_PASSWORD");
}

void TestGarrisonRcon::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHolds);
    QFETCH(QString, stderrHolds);

    const Run run = runRcon(arguments, environment(password));
    QVERIFY2(run.out.contains(stdoutHolds), qPrintable(run.out));
    QVERIFY2(run.err.contains(stderrHolds), qPrintable(run.err));
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode != 0) {
        QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
    }
}

void TestGarrisonRcon::statusJsonHoldsTheSimulatorsPlayers()
{
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
    }
}

void TestGarrisonRcon::stdinCommandsArePacedForAThrottlingServer()
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

GARRISON_TEST_GUILESS_MAIN(TestGarrisonRcon)
#include "TestGarrisonRcon.moc"
