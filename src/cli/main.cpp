// garrison-rcon: GARRISON's remote console engine on the command line.

#include "GarrisonVersion.h"
#include "bans/DaemonBanSource.h"
#include "cli/BansCommand.h"
#include "cli/CommandLine.h"
#include "cli/DaemonLogin.h"
#include "cli/PasswordSource.h"
#include "cli/QueryReport.h"
#include "cli/RconExchange.h"
#include "cli/StatusReport.h"
#include "cli/TerminalText.h"
#include "history/History.h"
#include "history/HistoryBanSource.h"
#include "login/ConnectionProfiles.h"
#include "platform/ConsoleInput.h"
#include "platform/ConsoleOutput.h"
#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"
#include "rcon/RconDatagram.h"
#include "rcon/ReplyRouter.h"
#include "rcon/ServerQuery.h"
#include "rcon/TextLines.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

using namespace garrison;
using namespace garrison::cli;

namespace {

constexpr ConsoleOutput::Stream kOutput = ConsoleOutput::Stream::Output;
constexpr ConsoleOutput::Stream kError = ConsoleOutput::Stream::Error;

void say(ConsoleOutput::Stream stream, const QString& text)
{
    ConsoleOutput::write(stream, text.endsWith(QLatin1Char('\n')) ? text : text + u'\n');
}

int fail(const QString& message, int exitCode)
{
    say(kError, QStringLiteral("garrison-rcon: ") + message);
    return exitCode;
}

// The reply as the engine cleans it, with plain line ends, colour codes removed unless raw.
QString replyText(const QByteArray& datagrams, bool raw)
{
    QString text = RconDatagram::cleanReply(datagrams);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return raw ? text : StripColourCodes(text);
}

// A daemon checks the password slowly on purpose, and more slowly under attack.
constexpr int kDaemonLoginMs = 15000;
// A long ban list takes a while to come.
constexpr int kDaemonBansMs = 30000;
constexpr int kDaemonCloseMs = 2000;

bool isBadPassword(const QString& text)
{
    const QString reply = text.trimmed();
    return ReplyRouter::isInvalidPassword(reply) || reply == QLatin1String("Bad rconpassword.");
}

struct Target {
    QString host;
    quint16 port = 0;
    QString profilePassword;
    // A profile with a daemon login and no RCON password logs in through its daemon.
    std::optional<DaemonLogin::Account> daemon;
};

// The server from --host/--port, filled in from the profile; an exit code when unusable.
std::variant<Target, int> target(const Request& request)
{
    Target target{request.host, request.port, QString(), std::nullopt};
    if (request.profile > 0) {
        const ProfileFields fields = ConnectionProfiles::load(request.store, request.profile);
        const QString section = ConnectionProfiles::section(request.profile);
        // A profile saved with its login type logs in that way, a daemon one never with the RCON
        // password left in it; an older one through its daemon when it holds no RCON password.
        const bool typed = !fields.loginType.isEmpty();
        const bool daemon = typed ? fields.loginType == ConnectionProfiles::kDaemonType
                                  : !fields.daemonAddress.trimmed().isEmpty();
        if (!request.query && !(typed && daemon)) {
            target.profilePassword =
                SecretStore::instance().readNow(request.store, section, QStringLiteral("Pass"));
        }
        if (daemon && fields.daemonAddress.trimmed().isEmpty() && !request.query) {
            return fail(QStringLiteral("profile %1 logs in through a daemon but holds no daemon "
                                       "address")
                            .arg(request.profile),
                        kBadArguments);
        }
        if (daemon && target.profilePassword.isEmpty() && !request.query) {
            if (fields.userName.isEmpty() || fields.level.trimmed().isEmpty()) {
                return fail(QStringLiteral("profile %1 logs in through the daemon at %2 but holds "
                                           "no user name or no access level")
                                .arg(request.profile)
                                .arg(fields.daemonAddress),
                            kBadArguments);
            }
            target.daemon = DaemonLogin::Account{
                request.store,
                request.profile,
                fields.daemonAddress.trimmed(),
                fields.daemonPort,
                fields.userName,
                SecretStore::instance().readNow(request.store, section, QStringLiteral("Password")),
                fields.level.trimmed()};
        }
        if (fields.serverAddress.trimmed().isEmpty() && request.host.isEmpty()) {
            return fail(QStringLiteral("profile %1 holds no server address (%2)")
                            .arg(request.profile)
                            .arg(SettingsStore::location(request.store)),
                        kBadArguments);
        }
        if (target.host.isEmpty()) {
            target.host = fields.serverAddress.trimmed();
        }
        if (target.port == 0) {
            bool ok = false;
            const uint port = fields.serverPort.trimmed().toUInt(&ok);
            if (!ok || port == 0 || port > 65535) {
                return fail(QStringLiteral("profile %1 has no usable port (\"%2\"): give --port")
                                .arg(request.profile)
                                .arg(fields.serverPort),
                            kBadArguments);
            }
            target.port = static_cast<quint16>(port);
        }
    }
    if (target.port == 0) {
        target.port = Request::kDefaultPort;
    }
    return target;
}

// Trust on first use, on a terminal only: the user compares the fingerprint with what
// garrisond prints on the server.
bool askTrust(const QString& fingerprint)
{
    if (!ConsoleInput::isTerminal()) {
        return false;
    }
    say(kError, QStringLiteral("garrison-rcon: the daemon's certificate is not known yet:\n"
                               "  SHA-256 %1\n"
                               "Compare it with what \"garrisond --show-fingerprint\" prints on "
                               "the server. Trust it? [y/N] ")
                    .arg(fingerprint));
    const std::optional<QString> line = ConsoleInput::readLine();
    return line && (*line == u"y" || *line == u"Y" || *line == u"yes");
}

// getinfo and getstatus, once; no password.
int query(const Request& request, const Target& target)
{
    ServerQuery engine;
    QString error;
    if (!engine.open(&error)) {
        return fail(QStringLiteral("cannot open a socket: %1").arg(error), kFailed);
    }
    engine.setReplyTimeoutMs(request.timeoutMs);
    const int row = engine.addServer(target.host, target.port);
    QEventLoop loop;
    QObject::connect(&engine, &ServerQuery::queryFinished, &loop, &QEventLoop::quit);
    // Only a guard: the query ends by itself within the timeout.
    QTimer::singleShot(request.timeoutMs + 5000, &loop, &QEventLoop::quit);
    engine.refresh();
    loop.exec();

    const QueriedServer& server = engine.server(row);
    const QString where = QStringLiteral("%1:%2").arg(target.host).arg(target.port);
    switch (server.state) {
    case QueriedServer::State::HostNotFound:
        return fail(QStringLiteral("host not found: %1").arg(target.host), kHostNotFound);
    case QueriedServer::State::Asking:
    case QueriedServer::State::NotAnswering:
        return fail(QStringLiteral("%1: no answer to getinfo or getstatus within %2 s")
                        .arg(where)
                        .arg(request.timeoutMs / 1000.0),
                    kNoAnswer);
    case QueriedServer::State::Answering:
        break;
    }
    if (!server.playersKnown) {
        say(kError, QStringLiteral("garrison-rcon: %1: no answer to getstatus: the players are "
                                   "not known")
                        .arg(where));
    }
    say(kOutput, formatQuery(server, request.format, request.raw));
    return kReplyReceived;
}

class Runner {
public:
    Runner(const Request& request, const Target& target, RconExchange& exchange,
           DaemonLogin* daemon)
        : m_request(request), m_target(target), m_exchange(exchange), m_daemon(daemon)
    {}

    // One command or status, printed; the exit code.
    int once()
    {
        if (!m_request.status) {
            QString text;
            const int code = ask(m_request.command, &text);
            if (printable(code)) {
                say(kOutput, TerminalText::reply(text));
            }
            return code;
        }
        QString statusText;
        const int code = ask(QStringLiteral("status"), &statusText, /*raw=*/true);
        if (!printable(code)) {
            return code;
        }
        const QDateTime time = QDateTime::currentDateTimeUtc();
        QString hostText;
        const int hostCode = ask(QStringLiteral("sv_hostname"), &hostText, /*raw=*/true);
        // Rounds of watch make one CSV file: the header comes once.
        const QString text = StatusReport::fromReplies(statusText, hostText, time)
                                 .format(m_request.format, m_request.raw, !m_csvHeaderWritten);
        m_csvHeaderWritten = true;
        if (!text.isEmpty()) {
            say(kOutput, text);
        }
        return code == kIncomplete || hostCode == kIncomplete ? kIncomplete : kReplyReceived;
    }

    // Every line of standard input is a command; blank lines and "#" comments are skipped.
    // The first command without an answer ends the run: the next ones would only wait out
    // the timeout each and repeat the error.
    int fromStdin()
    {
        while (const std::optional<QString> line = ConsoleInput::readLine()) {
            const QString command = line->trimmed();
            if (command.isEmpty() || command.startsWith(QLatin1Char('#'))) {
                continue;
            }
            QString text;
            const int code = ask(command, &text);
            if (printable(code)) {
                say(kOutput, TerminalText::reply(text));
            }
            if (code != kReplyReceived) {
                say(kError, QStringLiteral("garrison-rcon: stopped at \"%1\"; the commands "
                                           "after it are not sent")
                                .arg(command));
                return code;
            }
        }
        return kReplyReceived;
    }

    // Until interrupted, or until the server refuses the password.
    int watch()
    {
        for (;;) {
            if (once() == kBadPassword) {
                return kBadPassword;
            }
            QEventLoop loop;
            QTimer::singleShot(m_request.intervalMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
    }

private:
    static bool printable(int code) { return code == kReplyReceived || code == kIncomplete; }

    // The reply's text, also when only part of it came (kIncomplete, said on stderr).
    int ask(const QString& command, QString* text, bool raw = false)
    {
        // As GARRISON does, a daemon session tells the daemon every command for its audit log.
        if (m_daemon) {
            m_daemon->echo(command);
        }
        const RconExchange::Reply reply = m_exchange.ask(command);
        const QString where = QStringLiteral("%1:%2").arg(m_target.host).arg(m_target.port);
        if (reply.outcome == RconExchange::Reply::Outcome::Refused) {
            return fail(QStringLiteral("%1: nothing answers there (connection refused)").arg(where),
                        kNoAnswer);
        }
        if (reply.outcome == RconExchange::Reply::Outcome::NoAnswer) {
            return fail(QStringLiteral("%1: no answer to \"%2\" within %3 s")
                            .arg(where, command)
                            .arg(m_request.timeoutMs / 1000.0),
                        kNoAnswer);
        }
        *text = replyText(reply.datagrams, raw || m_request.raw);
        if (isBadPassword(*text)) {
            return fail(QStringLiteral("%1: the server refuses the password: %2")
                            .arg(where, TerminalText::field(text->trimmed())),
                        kBadPassword);
        }
        using Outcome = RconExchange::Reply::Outcome;
        if (reply.outcome == Outcome::TooLong) {
            return fail(QStringLiteral("%1: the reply to \"%2\" grew past %3 MiB and was cut "
                                       "there; it is incomplete")
                            .arg(where, command)
                            .arg(RconExchange::kMaxReplyBytes / (1024 * 1024)),
                        kIncomplete);
        }
        if (reply.outcome == Outcome::Unfinished) {
            return fail(QStringLiteral("%1: the reply to \"%2\" was still coming after %3 s "
                                       "(--timeout) and was cut there; it is incomplete")
                            .arg(where, command)
                            .arg(m_request.timeoutMs / 1000.0),
                        kIncomplete);
        }
        if (reply.lost > 0) {
            return fail(
                QStringLiteral("%1: %2 of the reply to \"%3\" %4 lost (%5 faster than "
                               "garrison-rcon could read); it is incomplete")
                    .arg(where,
                         reply.lost == 1 ? QStringLiteral("1 datagram")
                                         : QStringLiteral("%1 datagrams").arg(reply.lost),
                         command, reply.lost == 1 ? QStringLiteral("was") : QStringLiteral("were"),
                         reply.lost == 1 ? QStringLiteral("it came") : QStringLiteral("they came")),
                kIncomplete);
        }
        return kReplyReceived;
    }

    const Request& m_request;
    const Target& m_target;
    RconExchange& m_exchange;
    DaemonLogin* m_daemon;
    bool m_csvHeaderWritten = false;
};

} // namespace

// "bans" of direct sessions: GARRISON keeps them in its player history, on this machine or on
// the PostgreSQL it shares.
int localBans(const Request& request)
{
    History history;
    history.open(HistoryConnection::fromSettings(request.store), historyKeepDays());
    if (history.state() == History::State::Paused) {
        // A shared history is reached on another thread first.
        QEventLoop loop;
        QObject::connect(&history, &History::stateChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::max(request.timeoutMs, kDaemonLoginMs), &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!history.bans()) {
        return fail(history.problem().isEmpty() ? QStringLiteral("the player history is off")
                                                : history.problem(),
                    kFailed);
    }
    HistoryBanSource source(history);
    const BansCommand::Outcome outcome = request.bans->run(source, request.timeoutMs);
    if (!outcome.output.isEmpty()) {
        say(kOutput, outcome.output);
    }
    if (!outcome.error.isEmpty()) {
        say(kError, QStringLiteral("garrison-rcon: ") + outcome.error);
    }
    return outcome.exitCode;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Parsed parsed = parseArguments(QCoreApplication::arguments());
    switch (parsed.action) {
    case Parsed::Action::Help:
        say(kOutput, helpText());
        return kReplyReceived;
    case Parsed::Action::Version:
        say(kOutput, QStringLiteral("garrison-rcon %1").arg(QLatin1String(kVersion)));
        return kReplyReceived;
    case Parsed::Action::Fail:
        return fail(parsed.error + QStringLiteral("\nTry garrison-rcon --help."), kBadArguments);
    case Parsed::Action::Run:
        break;
    }
    for (const QString& warning : parsed.warnings) {
        say(kError, QStringLiteral("garrison-rcon: ") + warning);
    }
    const Request& request = parsed.request;

    if (request.bans && request.profile <= 0) {
        return localBans(request);
    }
    const std::variant<Target, int> found = target(request);
    if (const int* code = std::get_if<int>(&found)) {
        return *code;
    }
    const Target& server = std::get<Target>(found);
    if (request.query) {
        return query(request, server);
    }
    if (request.bans && !server.daemon) {
        return localBans(request);
    }
    DaemonLogin daemon;
    QString rconPassword;
    if (server.daemon) {
        DaemonLogin::Account account = *server.daemon;
        const PasswordSource::Result password =
            PasswordSource::resolve(request, account.password, PasswordSource::Kind::Daemon);
        if (!password.password) {
            return fail(password.error, password.exitCode);
        }
        account.password = *password.password;
        const DaemonLogin::Result login =
            daemon.logIn(account, std::max(request.timeoutMs, kDaemonLoginMs), askTrust);
        if (!login.rconPassword) {
            return fail(login.error, login.exitCode);
        }
        rconPassword = *login.rconPassword;
        if (request.bans) {
            DaemonBanSource source(daemon.link());
            const BansCommand::Outcome outcome =
                request.bans->run(source, std::max(request.timeoutMs, kDaemonBansMs));
            if (!outcome.output.isEmpty()) {
                say(kOutput, outcome.output);
            }
            if (!outcome.error.isEmpty()) {
                say(kError, QStringLiteral("garrison-rcon: ") + outcome.error);
            }
            daemon.close(kDaemonCloseMs);
            return outcome.exitCode;
        }
    } else {
        const PasswordSource::Result password =
            PasswordSource::resolve(request, server.profilePassword);
        if (!password.password) {
            return fail(password.error, password.exitCode);
        }
        rconPassword = *password.password;
    }
    const std::optional<QHostAddress> address = RconExchange::resolve(server.host);
    if (!address) {
        return fail(QStringLiteral("host not found: %1").arg(server.host), kHostNotFound);
    }
    RconExchange exchange(*address, server.port, rconPassword, request.timeoutMs, request.paceMs);
    QString error;
    if (!exchange.open(&error)) {
        return fail(QStringLiteral("cannot open a socket to %1:%2: %3")
                        .arg(server.host)
                        .arg(server.port)
                        .arg(error),
                    kFailed);
    }
    Runner runner(request, server, exchange, server.daemon ? &daemon : nullptr);
    const int code = request.fromStdin ? runner.fromStdin()
                     : request.watch   ? runner.watch()
                                       : runner.once();
    daemon.close(kDaemonCloseMs);
    return code;
}
