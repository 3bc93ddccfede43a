#pragma once

#include "Announcer.h"
#include "Webhook.h"
#include "history/HistoryConnection.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QUrl>
#include <chrono>
#include <optional>

namespace garrisond {

// The daemon's configuration file: "key = value" lines, "#" starts a comment line. Relative
// paths are taken from the folder of the file. The file holds the game server's RCON password,
// so it should be readable by its owner only; the daemon writes it that way.
struct DaemonConfig {
    enum class Purpose {
        Serve,  // a missing file gives the defaults
        Edit,   // the same; root may read the service user's file (see SecretFile)
        Reload, // a running daemon's: a missing file, or one without a setting, is refused
    };

    static constexpr qint64 kDefaultLogTailBytes = 256 * 1024;

    QString filePath; // empty when built in code
    QString rconPassword;
    QString serverProgram;
    QStringList serverArguments;
    QString serverDirectory;
    QString serverUser; // empty: the daemon's own user
    QString gameLogPath;
    qint64 logTailBytes = kDefaultLogTailBytes;
    QString auditLogPath;
    QString accountsPath;
    int passwordIterations = 100000;
    qint64 auditLogMaxBytes = 10 * 1024 * 1024;
    int auditLogFiles = 5;
    int lockoutFailures = 5;
    int lockoutAccountFailures = 20;
    std::chrono::seconds lockoutDuration{300};
    int loginFailuresPerSecond = 5;
    std::chrono::seconds loginTimeout{10};
    int maxClients = 32;
    int maxSessionsPerAccount = 4;
    std::chrono::seconds idleTimeout{1800}; // 0: never
    int maxAnonymous = 64;
    int maxAnonymousPerAddress = 4;
    // IPv6 clients count by the network of this many leading bits, for limits and lock-outs.
    int ipv6PrefixBits = 56;
    qint64 sendBufferBytes = 8 * 1024 * 1024;
    // The link is TLS; these files are garrisond's own, made at the first start, unless the
    // configuration names others (tlsFilesNamed), which are then only read.
    QString certificatePath;
    QString keyPath;
    bool tlsFilesNamed = false;
    // Plain TCP instead of TLS: for tests on the loopback address only.
    bool allowPlaintext = false;
    // The game log's live events: who may ask for them, the chat words that raise an alert,
    // and the chat command with which players report someone.
    QStringList eventLevels{QStringLiteral("mp"), QStringLiteral("admin"),
                            QStringLiteral("poweradmin")};
    QStringList alertWords;
    // One webhook post per alert word and player within this time (0: every alert).
    std::chrono::seconds alertRepeatWindow{300};
    QString reportCommand = QStringLiteral("!report");
    // Who may read and change the bans, and where they are kept: empty for the file beside
    // the accounts, else a postgresql:// URL.
    QStringList banLevels{QStringLiteral("admin"), QStringLiteral("poweradmin")};
    QString banDatabase;
    // The reasons that GARRISON's ban dialogs offer this daemon's administrators, one
    // "ban_reasons" line each; none: each GARRISON offers its own.
    QStringList banReasons;

    // The watch over the game server.
    static constexpr quint16 kDefaultServerPort = 28960;
    quint16 serverPort = 0; // 0: see gameServerPort()
    // Where players and GARRISON reach the game server; empty: at garrisond's own address.
    QString serverAddress;
    bool serverAutostart = false;
    int restartLimit = 5;
    std::chrono::seconds restartBackoffMax{60};
    std::chrono::seconds healthInterval{10}; // 0: no health check
    int healthMisses = 3;
    QList<QTime> restartTimes;
    QList<std::chrono::seconds> restartWarnings{std::chrono::minutes(15), std::chrono::minutes(5),
                                                std::chrono::minutes(1)};
    QString restartWarningText = QStringLiteral("^3Server restart in %1");
    // Said when a restart that the players were warned of is skipped.
    QString restartCancelText = QStringLiteral("^3The server restart is cancelled");
    QList<Announcer::Announcement> announcements;
    QUrl webhookUrl; // empty: no notifications
    Webhook::Format webhookFormat = Webhook::Format::Discord;
    QString serverName; // empty: see notificationName()
    // Which administrators' logins are notified: those of people (GARRISON), all (scripts too),
    // or none.
    enum class LoginNotices { Interactive, All, None };
    LoginNotices loginNotices = LoginNotices::Interactive;

    // The port that server_command gives the game server ("+set net_port N", "--port N" or
    // "--port=N"); 0 when it gives none.
    quint16 commandPort() const;
    // server_port, else the port of server_command, else 28960 (load() refuses that last case
    // when health checks need the port).
    quint16 gameServerPort() const;
    // server_port, else the port of server_command; 0 when neither gives one.
    quint16 knownServerPort() const { return serverPort != 0 ? serverPort : commandPort(); }
    // Where the health checks, warnings and announcements go: "127.0.0.1:28960".
    QString gameServerAddress() const;
    // Beside the accounts: the bans, or with ban_database the copy of the shared ones.
    QString banFilePath() const;
    std::optional<garrison::HistoryConnection> sharedBanDatabase() const;
    // server_name, else this machine's name and the game server's port.
    QString notificationName() const;

    // The configuration with every default, its paths relative to the folder of filePath.
    static DaemonConfig defaults(const QString& filePath);
    // Unknown keys and bad values are errors.
    static bool load(const QString& filePath, DaemonConfig* config, QString* error,
                     Purpose purpose = Purpose::Serve);
    // Rewrites the "rcon_password" line (adding it if absent) and keeps every other line.
    static bool writeRconPassword(const QString& filePath, const QString& password, QString* error);
    // The keys with their meaning, for --help.
    static QString describeKeys();
};

} // namespace garrisond
