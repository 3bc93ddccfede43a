#include "CommandLine.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QSet>
#include <cmath>

namespace garrison::cli {

namespace {

const QString kHost = QStringLiteral("host");
const QString kPort = QStringLiteral("port");
const QString kProfile = QStringLiteral("profile");
const QString kStore = QStringLiteral("store");
const QString kPasswordFile = QStringLiteral("password-file");
const QString kPassword = QStringLiteral("password");
const QString kStdin = QStringLiteral("stdin");
const QString kPace = QStringLiteral("pace");
const QString kFormat = QStringLiteral("format");
const QString kRaw = QStringLiteral("raw");
const QString kTimeout = QStringLiteral("timeout");
const QString kInterval = QStringLiteral("interval");

QList<QCommandLineOption> options()
{
    return {
        {kHost, QStringLiteral("Game server's host name or address."), QStringLiteral("host")},
        {kPort, QStringLiteral("Game server's UDP port (default 28960)."), QStringLiteral("port")},
        {kProfile,
         QStringLiteral("Take host, port and password from GARRISON's saved profile N; a "
                        "profile with a daemon login and no RCON password logs in through "
                        "its daemon."),
         QStringLiteral("N")},
        {kStore, QStringLiteral("Read the profiles of a renamed copy of GARRISON."),
         QStringLiteral("name")},
        {kPasswordFile,
         QStringLiteral("Read the RCON password from the first line of this file, "
                        "which only its owner may read."),
         QStringLiteral("file")},
        {kPassword, QStringLiteral("The RCON password (other users can see it: avoid)."),
         QStringLiteral("text")},
        {kStdin, QStringLiteral("Send the commands read from standard input, one per line.")},
        {kPace, QStringLiteral("Milliseconds between two commands (default 600)."),
         QStringLiteral("ms")},
        {kFormat, QStringLiteral("Output of status and query: table, json or csv (default table)."),
         QStringLiteral("format")},
        {kRaw, QStringLiteral("Keep the colour codes (control characters are always shown "
                              "escaped).")},
        {kTimeout, QStringLiteral("Seconds a reply may take, from the request (default 3)."),
         QStringLiteral("seconds")},
        {kInterval, QStringLiteral("Seconds between two rounds of watch (default 10)."),
         QStringLiteral("seconds")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")},
        {QStringLiteral("version"), QStringLiteral("Show the version.")},
    };
}

// Milliseconds from a decimal number of seconds, when it is positive and at most a day.
std::optional<int> seconds(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0 || value > 86400) {
        return std::nullopt;
    }
    return std::max(1, static_cast<int>(std::lround(value * 1000)));
}

std::optional<int> wholeNumber(const QString& text, int min, int max)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= min && value <= max ? std::optional(value) : std::nullopt;
}

Parsed failure(const QString& error)
{
    Parsed parsed;
    parsed.error = error;
    return parsed;
}

QSet<QString> valueOptionNames()
{
    QSet<QString> names;
    for (const QCommandLineOption& option : options()) {
        if (!option.valueName().isEmpty()) {
            for (const QString& name : option.names()) {
                names.insert(name);
            }
        }
    }
    return names;
}

// Where "bans" stands as a word of its own, not as the value of an option; -1 when nowhere.
qsizetype bansIndex(const QStringList& arguments)
{
    const QSet<QString> valueOptions = valueOptionNames();
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString& word = arguments.at(index);
        if (word == QLatin1String("bans")) {
            return index;
        }
        if (word.startsWith(QLatin1String("--")) && !word.contains(QLatin1Char('=')) &&
            valueOptions.contains(word.mid(2))) {
            ++index;
        }
    }
    return -1;
}

} // namespace

Parsed parseArguments(const QStringList& arguments)
{
    // Everything after "--" is the console command, options included ("kick -1").
    const qsizetype separator = arguments.indexOf(QStringLiteral("--"));
    QStringList ours = separator < 0 ? arguments : arguments.mid(0, separator);
    const QStringList commandWords = separator < 0 ? QStringList() : arguments.mid(separator + 1);

    // "bans" takes the words after it; the options it does not know are ours again.
    std::optional<BansCommand> bans;
    if (const qsizetype bansAt = bansIndex(ours); bansAt >= 0) {
        BansCommand::Parsed parsedBans = BansCommand::parse(
            ours.mid(bansAt + 1), valueOptionNames(), QDateTime::currentDateTimeUtc());
        if (!parsedBans.command) {
            return failure(parsedBans.error);
        }
        bans = parsedBans.command;
        ours = ours.mid(0, bansAt) + parsedBans.rest;
    }

    QCommandLineParser parser;
    parser.addOptions(options());
    if (!parser.parse(ours.isEmpty() ? QStringList{QStringLiteral("garrison-rcon")} : ours)) {
        return failure(parser.errorText());
    }
    Parsed parsed;
    if (parser.isSet(QStringLiteral("help"))) {
        parsed.action = Parsed::Action::Help;
        return parsed;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parsed.action = Parsed::Action::Version;
        return parsed;
    }
    Request& request = parsed.request;

    QStringList words = parser.positionalArguments();
    if (!words.isEmpty() && words.constFirst() == QLatin1String("watch")) {
        request.watch = true;
        words.removeFirst();
    }
    if (!words.isEmpty() && words.constFirst() == QLatin1String("status")) {
        request.status = true;
        words.removeFirst();
    } else if (!words.isEmpty() && words.constFirst() == QLatin1String("query")) {
        request.query = true;
        words.removeFirst();
    }
    if (!words.isEmpty()) {
        return failure(QStringLiteral("unknown word \"%1\": put the console command after --, "
                                      "as in: garrison-rcon --host HOST -- say hello")
                           .arg(words.constFirst()));
    }
    request.command = commandWords.join(QLatin1Char(' ')).trimmed();
    request.fromStdin = parser.isSet(kStdin);
    request.bans = bans;
    const int actions = int(request.status) + int(request.query) + int(request.fromStdin) +
                        int(separator >= 0) + int(request.bans.has_value());
    if (actions == 0) {
        return failure(QStringLiteral("nothing to send: give a command after --, status, query, "
                                      "bans or --stdin"));
    }
    if (actions > 1) {
        return failure(
            QStringLiteral("give only one of: a command after --, status, query, bans, --stdin"));
    }
    if (request.watch && request.bans) {
        return failure(QStringLiteral("watch repeats one command or status, not bans"));
    }
    if (separator >= 0 && request.command.isEmpty()) {
        return failure(QStringLiteral("the command after -- is empty"));
    }
    if (request.watch && (request.fromStdin || request.query)) {
        return failure(
            QStringLiteral("watch repeats one command or status, not %1")
                .arg(request.query ? QStringLiteral("query") : QStringLiteral("--stdin")));
    }

    if (!parser.isSet(kHost) && !parser.isSet(kProfile)) {
        return failure(QStringLiteral("give the server with --host (and --port) or --profile N"));
    }
    request.host = parser.value(kHost).trimmed();
    if (parser.isSet(kHost) && request.host.isEmpty()) {
        return failure(QStringLiteral("--host is empty"));
    }
    if (parser.isSet(kPort)) {
        const std::optional<int> port = wholeNumber(parser.value(kPort), 1, 65535);
        if (!port) {
            return failure(QStringLiteral("--port needs a number from 1 to 65535, not \"%1\"")
                               .arg(parser.value(kPort)));
        }
        request.port = static_cast<quint16>(*port);
    }
    if (parser.isSet(kProfile)) {
        const std::optional<int> profile = wholeNumber(parser.value(kProfile), 1, 10);
        if (!profile) {
            return failure(QStringLiteral("--profile needs a number from 1 to 10, not \"%1\"")
                               .arg(parser.value(kProfile)));
        }
        request.profile = *profile;
    }
    if (parser.isSet(kStore)) {
        request.store = parser.value(kStore).trimmed();
        if (request.store.isEmpty() || request.store.contains(QLatin1Char('/'))) {
            return failure(QStringLiteral("--store needs the program name of a GARRISON copy"));
        }
    }

    if (parser.isSet(kPassword) && parser.isSet(kPasswordFile)) {
        return failure(QStringLiteral("give --password-file or --password, not both"));
    }
    request.passwordFile = parser.value(kPasswordFile);
    if (parser.isSet(kPassword)) {
        request.password = parser.value(kPassword);
        parsed.warnings.append(QStringLiteral(
            "warning: other users of this machine can see --password in the list of processes; "
            "prefer --password-file or GARRISON_RCON_PASSWORD"));
    }

    if (parser.isSet(kFormat)) {
        const QString format = parser.value(kFormat);
        if (!request.status && !request.query) {
            return failure(request.bans ? QStringLiteral("--format of bans list goes after list")
                                        : QStringLiteral("--format belongs to status and query"));
        }
        if (format == QLatin1String("table")) {
            request.format = Format::Table;
        } else if (format == QLatin1String("json")) {
            request.format = Format::Json;
        } else if (format == QLatin1String("csv")) {
            request.format = Format::Csv;
        } else {
            return failure(
                QStringLiteral("--format is table, json or csv, not \"%1\"").arg(format));
        }
    }
    request.raw = parser.isSet(kRaw);
    if (parser.isSet(kPace)) {
        const std::optional<int> pace = wholeNumber(parser.value(kPace), 0, 3600000);
        if (!pace) {
            return failure(QStringLiteral("--pace needs a number of milliseconds, not \"%1\"")
                               .arg(parser.value(kPace)));
        }
        request.paceMs = *pace;
    }
    if (parser.isSet(kTimeout)) {
        const std::optional<int> timeout = seconds(parser.value(kTimeout));
        if (!timeout) {
            return failure(QStringLiteral("--timeout needs a positive number of seconds, not "
                                          "\"%1\"")
                               .arg(parser.value(kTimeout)));
        }
        request.timeoutMs = *timeout;
    }
    if (parser.isSet(kInterval)) {
        const std::optional<int> interval = seconds(parser.value(kInterval));
        if (!interval) {
            return failure(QStringLiteral("--interval needs a positive number of seconds, not "
                                          "\"%1\"")
                               .arg(parser.value(kInterval)));
        }
        if (!request.watch) {
            return failure(QStringLiteral("--interval belongs to watch"));
        }
        request.intervalMs = *interval;
    }
    parsed.action = Parsed::Action::Run;
    return parsed;
}

QString helpText()
{
    QString text =
        QStringLiteral("Usage: garrison-rcon [options] -- COMMAND...\n"
                       "       garrison-rcon [options] status [--format table|json|csv]\n"
                       "       garrison-rcon [options] query [--format table|json|csv]\n"
                       "       garrison-rcon [options] --stdin\n"
                       "       garrison-rcon [options] watch [status | -- COMMAND...]\n") +
        BansCommand::usage() +
        QStringLiteral(
            "\n"
            "Sends remote console (RCON) commands to a game server and prints the replies, with\n"
            "GARRISON's own engine. The password comes from --password-file, the environment\n"
            "variable GARRISON_RCON_PASSWORD, the profile (the keyring, or GARRISON's settings\n"
            "file), or a prompt on a terminal. query asks the server's public getinfo and\n"
            "getstatus instead, which need no password. bans lists, adds and lifts the bans\n"
            "that garrisond enforces (a profile that logs in through it).\n"
            "\n"
            "A profile that logs in through garrisond (daemon address and user name, no RCON\n"
            "password) is used that way: garrison-rcon logs in over TLS, takes the RCON password\n"
            "from the daemon and tells it every command. The daemon password comes from the same\n"
            "places (GARRISON_DAEMON_PASSWORD in the environment). The daemon's certificate must\n"
            "be trusted as in GARRISON; on a terminal garrison-rcon asks the first time.\n"
            "\n"
            "Options:\n");
    for (const QCommandLineOption& option : options()) {
        QString names;
        for (const QString& name : option.names()) {
            names += (names.isEmpty() ? QString() : QStringLiteral(", ")) +
                     (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        }
        if (!option.valueName().isEmpty()) {
            names += QLatin1Char(' ') + option.valueName().toUpper();
        }
        text += QStringLiteral("  %1 %2\n").arg(names, -24).arg(option.description());
    }
    text += QStringLiteral(
        "\nExit codes: 0 reply received, 2 invalid password, 3 no answer within the timeout,\n"
        "4 bad arguments, 5 host not found, 6 incomplete reply (datagrams lost, or cut at\n"
        "8 MiB or at the timeout; what came is printed), 7 the daemon's certificate is not\n"
        "trusted, 1 anything else. A daemon that refuses the login gives 2. Replies go to\n"
        "standard output, messages to standard error; control characters in them are shown\n"
        "as JSON escapes (\\u001b), never sent to the terminal.\n");
    return text;
}

} // namespace garrison::cli
