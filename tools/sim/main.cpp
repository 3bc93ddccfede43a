#include "GarrisonVersion.h"
#include "SimServer.h"
#include "SimSessionFeed.h"
#include "SimSignalWatcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QThread>
#include <cstdio>
#include <cstdlib>

using garrison::sim::SimServer;
using garrison::sim::SimSettings;
using garrison::sim::SimSignalWatcher;

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "garrison-sim: %s\n", qPrintable(message));
    return 1;
}

bool readNumber(const QCommandLineParser& parser, const QString& name, qint64 min, qint64 max,
                qint64* value)
{
    bool ok = false;
    *value = parser.value(name).toLongLong(&ok);
    return ok && *value >= min && *value <= max;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("garrison-sim"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(garrison::kVersion));

    const SimSettings defaults;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A game server that answers the remote console (RCON) over UDP, with simulated players.\n"
        "It writes one line when it is ready and stops on SIGINT, SIGTERM (on Windows: Ctrl+C, "
        "closing its window), \"quit\" or \"killserver\".\n"
        "For testing a watch over it, the console command \"sim_crash [status]\" ends it at once "
        "with that exit status (default 1), and \"sim_hang [seconds]\" makes it stop answering "
        "and stop handling signals but SIGKILL, for good without seconds."));
    parser.addHelpOption();
    parser.addVersionOption();
    QList<QCommandLineOption> options = {
        {QStringLiteral("port"), QStringLiteral("UDP port to listen on (0: any free port)."),
         QStringLiteral("port"), QString::number(SimServer::kDefaultPort)},
        {QStringLiteral("address"),
         QStringLiteral("Address to listen on; anything but loopback only when given here."),
         QStringLiteral("address"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("password"), QStringLiteral("RCON password (empty: refuse every request)."),
         QStringLiteral("text"), defaults.password},
        {QStringLiteral("players"), QStringLiteral("Number of simulated players, 0 to 64."),
         QStringLiteral("N"), QString::number(defaults.players)},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the player simulation (same seed, same game)."),
         QStringLiteral("number"), QString::number(defaults.seed)},
        {QStringLiteral("join-password"),
         QStringLiteral("Password players need to join (g_password); the server lists show "
                        "that one is needed (g_needpass)."),
         QStringLiteral("text")},
        {QStringLiteral("query-burst"),
         QStringLiteral("getinfo and getstatus answered at once per source address before the "
                        "rate limit drops them (0: no limit)."),
         QStringLiteral("N"), QString::number(defaults.queryBurst)},
        {QStringLiteral("query-period-ms"),
         QStringLiteral("After a burst, one more query answered per address each period."),
         QStringLiteral("ms"), QString::number(defaults.queryPeriodMs)},
        {QStringLiteral("cooldown-ms"),
         QStringLiteral("Drop requests that come sooner than this after the last one (0: off)."),
         QStringLiteral("ms"), QString::number(defaults.cooldownMs)},
        {QStringLiteral("tick-ms"),
         QStringLiteral("Interval of the player simulation (0: players stand still)."),
         QStringLiteral("ms"), QString::number(defaults.tickMs)},
        {QStringLiteral("log"),
         QStringLiteral("Append the server log (commands, chat, joins and "
                        "leaves, with time stamps) to this file."),
         QStringLiteral("file")},
        {QStringLiteral("map"),
         QStringLiteral("Map to start on (an unknown name starts on mp_castle)."),
         QStringLiteral("name"), defaults.map},
        {QStringLiteral("gametype"), QStringLiteral("Game type to start with."),
         QStringLiteral("name"), defaults.gametype},
        {QStringLiteral("hex-guids"),
         QStringLiteral("Print guids of 32 hexadecimal digits in status, as servers with another "
                        "authentication do (none for players still connecting).")},
        {QStringLiteral("high-ports"),
         QStringLiteral("Give the players ports and qports above 32767, which status prints "
                        "negative; their addresses overflow the column and run into the qport "
                        "or lose the colon, as on real servers.")},
        {QStringLiteral("relay-log"),
         QStringLiteral("Replay an evening: append chat and PunkBuster lines to this relay log "
                        "(pbucon.log)."),
         QStringLiteral("file")},
        {QStringLiteral("relay-rate"),
         QStringLiteral("Chat lines a minute for --relay-log, each with nine PunkBuster lines."),
         QStringLiteral("lines"), QStringLiteral("100")},
    };
    for (QCommandLineOption& option : options) {
        if (!option.defaultValues().isEmpty()) {
            option.setDescription(
                option.description() +
                QStringLiteral(" Default: %1.").arg(option.defaultValues().first()));
        }
    }
    parser.addOptions(options);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        return fail(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    }

    SimSettings settings;
    qint64 number = 0;
    if (!readNumber(parser, QStringLiteral("port"), 0, 65535, &number)) {
        return fail(QStringLiteral("--port needs a number from 0 to 65535"));
    }
    const auto port = static_cast<quint16>(number);
    const QHostAddress address(parser.value(QStringLiteral("address")));
    if (address.isNull()) {
        return fail(QStringLiteral("--address needs an IP address"));
    }
    if (!readNumber(parser, QStringLiteral("players"), 0, 64, &number)) {
        return fail(QStringLiteral("--players needs a number from 0 to 64"));
    }
    settings.players = static_cast<int>(number);
    if (!readNumber(parser, QStringLiteral("seed"), 0, 0xFFFFFFFFLL, &number)) {
        return fail(QStringLiteral("--seed needs a number from 0 to 4294967295"));
    }
    settings.seed = static_cast<quint32>(number);
    if (!readNumber(parser, QStringLiteral("cooldown-ms"), 0, 3600000, &number)) {
        return fail(QStringLiteral("--cooldown-ms needs a number of milliseconds"));
    }
    settings.cooldownMs = static_cast<int>(number);
    if (!readNumber(parser, QStringLiteral("tick-ms"), 0, 3600000, &number)) {
        return fail(QStringLiteral("--tick-ms needs a number of milliseconds"));
    }
    settings.tickMs = static_cast<int>(number);
    if (!readNumber(parser, QStringLiteral("query-burst"), 0, 1000, &number)) {
        return fail(QStringLiteral("--query-burst needs a number from 0 to 1000"));
    }
    settings.queryBurst = static_cast<int>(number);
    if (!readNumber(parser, QStringLiteral("query-period-ms"), 1, 3600000, &number)) {
        return fail(QStringLiteral("--query-period-ms needs a number of milliseconds"));
    }
    settings.queryPeriodMs = static_cast<int>(number);
    settings.joinPassword = parser.value(QStringLiteral("join-password"));
    settings.password = parser.value(QStringLiteral("password"));
    settings.logFile = parser.value(QStringLiteral("log"));
    settings.map = parser.value(QStringLiteral("map"));
    settings.gametype = parser.value(QStringLiteral("gametype"));
    settings.hexGuids = parser.isSet(QStringLiteral("hex-guids"));
    settings.highPorts = parser.isSet(QStringLiteral("high-ports"));

    if (!readNumber(parser, QStringLiteral("relay-rate"), 1, 600000, &number)) {
        return fail(QStringLiteral("--relay-rate needs a number of lines a minute"));
    }
    garrison::sim::SimSessionFeed feed(parser.value(QStringLiteral("relay-log")), int(number),
                                       settings.seed);
    if (parser.isSet(QStringLiteral("relay-log"))) {
        feed.start();
    }

    SimSignalWatcher signals;
    if (!signals.isValid()) {
        return fail(QStringLiteral("cannot watch for SIGINT and SIGTERM"));
    }
    SimServer server(settings);
    QObject::connect(&signals, &SimSignalWatcher::terminationRequested, &app, [&] {
        server.stop();
        QCoreApplication::quit();
    });
    QObject::connect(&server, &SimServer::finished, &app, &QCoreApplication::quit);
    QObject::connect(&server.console(), &garrison::sim::SimConsole::crashRequested, &app,
                     [](int status) {
                         std::fflush(nullptr);
                         std::_Exit(status);
                     });
    // The event loop stops: no request is answered, no signal is handled (their handler only
    // queues them).
    QObject::connect(
        &server.console(), &garrison::sim::SimConsole::hangRequested, &app, [](int seconds) {
            const QDeadlineTimer until = seconds > 0 ? QDeadlineTimer(seconds * 1000LL)
                                                     : QDeadlineTimer(QDeadlineTimer::Forever);
            while (!until.hasExpired()) {
                QThread::msleep(10);
            }
        });

    const quint16 bound = server.start(address, port);
    if (bound == 0) {
        return fail(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(address.toString())
                        .arg(port)
                        .arg(server.errorString()));
    }
    std::printf("garrison-sim: listening on %s:%u\n", qPrintable(address.toString()), bound);
    std::fflush(stdout);
    return app.exec();
}
