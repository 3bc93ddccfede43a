// garrisond: the companion daemon. Serves clients, or edits its accounts and RCON password.

#include "AccountStore.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "DurationText.h"
#include "GarrisonVersion.h"
#include "PasswordHash.h"
#include "SecretFile.h"
#include "TlsIdentity.h"
#include "WireText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QTextStream>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using namespace garrisond;

namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int fail(const QString& message)
{
    err() << "garrisond: " << message << Qt::endl;
    return 1;
}

// Names and passwords must arrive as typed: text that is not UTF-8 would be read with
// replacement characters (two names the same, a password nobody can type), and a character
// outside Windows-1252 cannot be sent by GARRISON at all.
bool isSendable(const QString& what, const QString& text, QString* error)
{
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        if (!WireText::isEncodable(character)) {
            *error = QStringLiteral("%1 holds \"%2\", which has no byte in Windows-1252, the "
                                    "code page of GARRISON's link to the daemon")
                         .arg(what, character);
            return false;
        }
    }
    return true;
}

// One line from standard input; the terminal does not echo it when it is a terminal. False,
// with the reason, when there is none or it is not UTF-8 text that GARRISON can send.
bool readSecret(const QString& prompt, QString* secret, QString* error)
{
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (terminal) {
        err() << prompt << Qt::flush;
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    const bool ok = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        err() << Qt::endl;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    *secret = decoder.decode(QByteArrayView(line.data(), qsizetype(line.size())));
    if (!ok) {
        *error = QStringLiteral("no password on standard input");
        return false;
    }
    if (decoder.hasError()) {
        *error = QStringLiteral("the password is not valid UTF-8 text");
        return false;
    }
    return isSendable(QStringLiteral("the password"), *secret, error);
}

// Edits of a file are read-change-save; two at once would lose one of them. The lock is a file
// beside the edited one, and a lock left by a process that died is taken over.
class EditLock {
public:
    explicit EditLock(const QString& path) : m_lock(path + QStringLiteral(".lock")), m_path(path)
    {
        m_lock.setStaleLockTime(30000);
        m_locked = m_lock.tryLock(20000);
    }
    bool locked() const { return m_locked; }
    QString error() const
    {
        return QStringLiteral("%1 is being edited by another garrisond (lock file %1.lock)")
            .arg(m_path);
    }

private:
    QLockFile m_lock;
    QString m_path;
    bool m_locked = false;
};

bool hasControlCharacters(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control) {
            return true;
        }
    }
    return false;
}

int addUser(const DaemonConfig& config, const QString& name, const QString& levelList)
{
    if (!AccountStore::isValidName(name)) {
        return fail(QStringLiteral("\"%1\" is not a valid user name (not empty, at most 64 "
                                   "characters, no \":\", no blanks at either end)")
                        .arg(name));
    }
    QString error;
    if (!isSendable(QStringLiteral("the user name"), name, &error)) {
        return fail(error);
    }
    const QStringList levels = AccountStore::parseLevels(levelList, &error);
    if (levels.isEmpty()) {
        return fail(QStringLiteral("--levels: ") + error);
    }
    QString password;
    if (!readSecret(QStringLiteral("Password for %1: ").arg(name), &password, &error)) {
        return fail(error);
    }
    if (password.isEmpty() || hasControlCharacters(password)) {
        return fail(QStringLiteral("no usable password on standard input"));
    }
    const EditLock lock(config.accountsPath);
    if (!lock.locked()) {
        return fail(lock.error());
    }
    AccountStore store(config.accountsPath, SecretFile::Use::Edit);
    if (!store.load(&error)) {
        return fail(error);
    }
    const bool added =
        store.put(Account{name, PasswordHash::create(password, config.passwordIterations), levels});
    if (!store.save(&error)) {
        return fail(error);
    }
    QTextStream(stdout) << (added ? "Added" : "Updated") << " user " << name << " ("
                        << levels.join(QStringLiteral(", ")) << ") in " << store.path() << Qt::endl;
    return 0;
}

int removeUser(const DaemonConfig& config, const QString& name)
{
    const EditLock lock(config.accountsPath);
    if (!lock.locked()) {
        return fail(lock.error());
    }
    AccountStore store(config.accountsPath, SecretFile::Use::Edit);
    QString error;
    if (!store.load(&error)) {
        return fail(error);
    }
    if (!store.remove(name)) {
        return fail(QStringLiteral("no user \"%1\" in %2").arg(name, store.path()));
    }
    if (!store.save(&error)) {
        return fail(error);
    }
    QTextStream(stdout) << "Removed user " << name << " from " << store.path() << Qt::endl;
    return 0;
}

int listUsers(const DaemonConfig& config)
{
    AccountStore store(config.accountsPath, SecretFile::Use::Edit);
    QString error;
    if (!store.load(&error)) {
        return fail(error);
    }
    QTextStream out(stdout);
    for (const Account& account : store.accounts()) {
        out << account.name << ' ' << account.levels.join(QLatin1Char(',')) << Qt::endl;
    }
    return 0;
}

int setRconPassword(const DaemonConfig& config)
{
    QString password;
    QString error;
    if (!readSecret(QStringLiteral("RCON password: "), &password, &error)) {
        return fail(error);
    }
    if (password.isEmpty() || password.trimmed() != password || hasControlCharacters(password)) {
        return fail(QStringLiteral("no usable password on standard input (not empty, no blanks "
                                   "at either end)"));
    }
    const EditLock lock(config.filePath);
    if (!lock.locked()) {
        return fail(lock.error());
    }
    if (!DaemonConfig::writeRconPassword(config.filePath, password, &error)) {
        return fail(error);
    }
    QTextStream(stdout) << "RCON password written to " << config.filePath << Qt::endl;
    return 0;
}

// For the package's postinst and for the administrator: makes garrisond's own key and
// certificate when they are missing, and prints what clients are asked to compare.
int showCertificate(const DaemonConfig& config, bool make)
{
    if (config.allowPlaintext) {
        return fail(QStringLiteral("allow_plaintext is set: garrisond serves no certificate"));
    }
    bool missing = false;
    QByteArray content;
    QString error;
    if (!make && !config.tlsFilesNamed &&
        (!SecretFile::read(config.certificatePath, SecretFile::Use::Edit, &content, &missing,
                           &error) ||
         missing)) {
        return fail(missing ? QStringLiteral("%1 does not exist yet: garrisond makes it at its "
                                             "first start, or with --make-certificate")
                                  .arg(config.certificatePath)
                            : error);
    }
    bool made = false;
    const std::optional<TlsIdentity> identity = TlsIdentity::load(config, &made, &error);
    if (!identity) {
        return fail(error);
    }
    if (made) {
        err() << "garrisond: made a new key and certificate, " << config.keyPath << " and "
              << config.certificatePath << Qt::endl;
    }
    QTextStream(stdout) << "SHA-256 " << identity->fingerprint() << Qt::endl;
    return 0;
}

// Signals reach the event loop through a pipe, one byte each: SIGINT and SIGTERM end it (and
// with it the game server that the daemon started), SIGHUP reloads the configuration and the
// accounts, SIGUSR1 opens the audit log anew (after an outside log rotation).
int g_signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

bool catchSignals(QCoreApplication& app, DaemonServer& server)
{
    // Close-on-exec: the game server, started by the daemon, must not be able to signal it.
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, &server] {
        unsigned char numbers[16];
        for (ssize_t got; (got = ::read(g_signalPipe[0], numbers, sizeof numbers)) > 0;) {
            for (ssize_t n = 0; n < got; ++n) {
                if (numbers[n] == SIGHUP) {
                    err() << "garrisond: SIGHUP: reloading the configuration and the accounts"
                          << Qt::endl;
                    server.reload();
                } else if (numbers[n] == SIGUSR1) {
                    err() << "garrisond: SIGUSR1: opening the audit log anew" << Qt::endl;
                    server.reopenAuditLog();
                } else {
                    app.quit();
                }
            }
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        ::sigaction(number, &action, nullptr);
    }
    return true;
}

int serve(QCoreApplication& app, const DaemonConfig& config, const QString& addressText,
          const QString& portText)
{
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (portText.isEmpty() || !ok || port == 0 || port > 65535) {
        return fail(QStringLiteral("give the port to listen on with --port (1-65535)"));
    }
    QHostAddress address;
    if (!address.setAddress(addressText)) {
        return fail(QStringLiteral("--address: \"%1\" is not an IP address").arg(addressText));
    }
    if (config.rconPassword.isEmpty()) {
        err() << "garrisond: warning: no rcon_password configured" << Qt::endl;
    }

    DaemonServer server(config);
    QObject::connect(&server, &DaemonServer::warning, &app,
                     [](const QString& text) { err() << "garrisond: " << text << Qt::endl; });
    if (!catchSignals(app, server)) {
        return fail(QStringLiteral("cannot catch signals: ") + qt_error_string(errno));
    }
    if (!server.start(address, static_cast<quint16>(port))) {
        return fail(server.errorString());
    }
    if (const std::optional<ServerUser>& user = server.gameServer().user()) {
        QString error;
        if (!user->confine(&error)) {
            return fail(error);
        }
    } else {
        err() << "garrisond: warning: no server_user configured: the game server runs as "
                 "garrisond's own user and can change its configuration, accounts and audit log"
              << Qt::endl;
    }
    server.watchFiles();
    if (config.serverAutostart) {
        server.startGameServer(QStringLiteral("-"), QStringLiteral("-"));
    }
    err() << "garrisond: listening on " << address.toString() << ':' << server.serverPort()
          << Qt::endl;
    // A wrong port makes a healthy server look hung: say which one is checked, and from where.
    if (!config.serverProgram.isEmpty() && config.healthInterval.count() > 0) {
        err() << "garrisond: health checks of the game server at " << config.gameServerAddress()
              << " (" << (config.serverPort != 0 ? "server_port" : "port of server_command")
              << ") every " << DurationText::inWords(config.healthInterval) << Qt::endl;
    }
    if (config.allowPlaintext) {
        err() << "garrisond: warning: allow_plaintext: no TLS, passwords go in clear (for tests "
                 "only)"
              << Qt::endl;
    } else {
        err() << "garrisond: TLS certificate SHA-256 " << server.fingerprint() << Qt::endl;
    }
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    // The daemon holds the RCON password and, while it checks them, login passwords: no core
    // dump may keep them, and no other process of its user may read its memory.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // Past a file-size limit a write fails with EFBIG; the audit log reports that itself.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    for (int n = 1; n < argc; ++n) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        [[maybe_unused]] const QString text = decoder.decode(QByteArrayView(argv[n]));
        if (decoder.hasError()) {
            return fail(QStringLiteral("argument %1 is not valid UTF-8 text").arg(n));
        }
    }
    QCoreApplication::setApplicationName(QStringLiteral("garrisond"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(garrison::kVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "The GARRISON companion daemon. It runs on the game server's machine, logs clients "
            "in with a user name, a password and a level (mp, admin, poweradmin), hands out the "
            "game server's RCON password, sends the end of the server's log, starts the server, "
            "and records every command that clients echo to it in an audit log.\n\n"
            "Serve:          garrisond --config FILE --port N [--address IP]\n"
            "Manage users:   garrisond --config FILE --add-user NAME --levels mp,admin\n"
            "                garrisond --config FILE --remove-user NAME | --list-users\n"
            "RCON password:  garrisond --config FILE --set-rcon-password\n"
            "Certificate:    garrisond --config FILE --show-fingerprint | --make-certificate\n\n"
            "Clients connect over TLS. On its first start garrisond makes its own key and "
            "self-signed certificate beside the configuration; GARRISON shows the "
            "certificate's fingerprint at the first login, to be compared with what "
            "--show-fingerprint prints.\n\n"
            "Passwords are read from standard input (one line). A running daemon notices "
            "changes of the configuration and accounts files on its own and tells its "
            "logged-in clients about new users (ADDUSER) and a new RCON password "
            "(CHANGERCON); clients whose account or level was removed are disconnected. SIGHUP "
            "reloads both files too, SIGUSR1 reopens the audit log.\n\n") +
        DaemonConfig::describeKeys());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(
        QStringLiteral("config"),
        QStringLiteral("Configuration file (default: garrisond.conf in the current folder). A "
                       "missing file means every default."),
        QStringLiteral("file"), QStringLiteral("garrisond.conf"));
    const QCommandLineOption addressOption(
        QStringLiteral("address"),
        QStringLiteral("IP address to listen on (default 127.0.0.1; give 0.0.0.0 or another "
                       "address only to serve other machines)."),
        QStringLiteral("ip"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("TCP port to listen on (required to serve)."),
        QStringLiteral("port"));
    const QCommandLineOption addUserOption(
        QStringLiteral("add-user"),
        QStringLiteral("Add the user (or replace its password and levels), with --levels; the "
                       "password is read from standard input."),
        QStringLiteral("name"));
    const QCommandLineOption levelsOption(
        QStringLiteral("levels"),
        QStringLiteral("Comma-separated levels the user may ask for: mp, admin, poweradmin."),
        QStringLiteral("list"));
    const QCommandLineOption removeUserOption(
        QStringLiteral("remove-user"), QStringLiteral("Remove the user."), QStringLiteral("name"));
    const QCommandLineOption listUsersOption(QStringLiteral("list-users"),
                                             QStringLiteral("List the users and their levels."));
    const QCommandLineOption rconOption(
        QStringLiteral("set-rcon-password"),
        QStringLiteral("Write the game server's RCON password, read from standard input, into "
                       "the configuration file."));
    const QCommandLineOption fingerprintOption(
        QStringLiteral("show-fingerprint"),
        QStringLiteral("Print the SHA-256 fingerprint of the TLS certificate, which GARRISON "
                       "shows at the first login."));
    const QCommandLineOption makeCertificateOption(
        QStringLiteral("make-certificate"),
        QStringLiteral("Make garrisond's own key and self-signed certificate if they are "
                       "missing, and print the fingerprint."));
    parser.addOptions({configOption, addressOption, portOption, addUserOption, levelsOption,
                       removeUserOption, listUsersOption, rconOption, fingerprintOption,
                       makeCertificateOption});
    parser.process(app);

    const int actions = int(parser.isSet(addUserOption)) + int(parser.isSet(removeUserOption)) +
                        int(parser.isSet(listUsersOption)) + int(parser.isSet(rconOption)) +
                        int(parser.isSet(fingerprintOption)) +
                        int(parser.isSet(makeCertificateOption));
    DaemonConfig config;
    QString error;
    if (!DaemonConfig::load(parser.value(configOption), &config, &error,
                            actions > 0 ? DaemonConfig::Purpose::Edit
                                        : DaemonConfig::Purpose::Serve)) {
        return fail(error);
    }
    if (actions > 1) {
        return fail(QStringLiteral("give at most one of --add-user, --remove-user, --list-users, "
                                   "--set-rcon-password, --show-fingerprint and "
                                   "--make-certificate"));
    }
    if (parser.isSet(levelsOption) && !parser.isSet(addUserOption)) {
        return fail(QStringLiteral("--levels belongs to --add-user"));
    }
    if (parser.isSet(addUserOption)) {
        if (!parser.isSet(levelsOption)) {
            return fail(QStringLiteral("--add-user needs --levels"));
        }
        return addUser(config, parser.value(addUserOption), parser.value(levelsOption));
    }
    if (parser.isSet(removeUserOption)) {
        return removeUser(config, parser.value(removeUserOption));
    }
    if (parser.isSet(listUsersOption)) {
        return listUsers(config);
    }
    if (parser.isSet(rconOption)) {
        return setRconPassword(config);
    }
    if (parser.isSet(fingerprintOption) || parser.isSet(makeCertificateOption)) {
        return showCertificate(config, parser.isSet(makeCertificateOption));
    }
    return serve(app, config, parser.value(addressOption), parser.value(portOption));
}
