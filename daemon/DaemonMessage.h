#pragma once

#include "LoginRequest.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace garrisond {

// What one message from a client means, before anything is done about it. Pure text work, so
// that it can be checked on its own and fed arbitrary bytes.
struct DaemonMessage {
    enum class Kind {
        Login,       // before a login: "user:password-level" (login holds it, or nothing)
        GetRconPass, // "getrconpass"
        GetLog,      // "getlog"
        StartServer, // "startserver"
        ServerState, // "serverstate": the watch's state, answered with "SERVERSTATE" lines
        SkipRestart, // "skiprestart": skip the next daily restart
        RestartNow,  // "restartnow": warn the players, then restart
        GetEvents,   // "getevents": the game log's live events from now on
        // "serveraddress": where clients reach the game server, answered with "SERVERADDRESS"
        ServerAddress,
        CommandLine, // "client garrison-rcon" after "getrconpass": not a person at GARRISON
        // The bans, in a session (see BanRequests): "getbans" (or "getbans {…}" for a page),
        // "addban {…}", "editban {…}", "liftban {…}", "importbans", "getenginebans".
        GetBans,
        AddBan,
        EditBan,
        LiftBan,
        ImportBans,
        GetEngineBans,
        // "getbanreasons": ban_reasons, answered with "BANREASONS" (RequestAnswers)
        GetBanReasons,
        Echo,     // in a session: "<account> - <command>" (command holds the command)
        Other,    // in a session: anything else, recorded as it came
        Rejected, // bytes that no typed text holds; the connection is dropped
    };
    static constexpr qsizetype kMaxMessageBytes = 64 * 1024;
    // Messages have no terminator, and one may arrive in pieces: what a client sends is one
    // message once it pauses this long, or at once when it is recognisably whole.
    static constexpr int kQuietGapMs = 100;

    Kind kind = Kind::Other;
    QString text;
    std::optional<LoginRequest> login;
    QString command;

    // `account` is the logged-in account, empty before a login.
    static DaemonMessage parse(const QByteArray& bytes, const QString& account);
    // Takes the messages out of what a client sent so far (`quiet`: and then paused). A login
    // is whole when it ends in a level word and a request when it is the request's word (or
    // its word and a whole JSON object); those are answered without waiting for the pause. In a
    // session, echoes that came within one pause are told apart by the "<account> - " that each
    // begins with.
    static QList<QByteArray> takeWhole(QByteArray* gathered, const QString& account, bool quiet);

    // The login as the audit log shows it: the claimed user and level, never the password. A
    // level that is not a level word is "(unknown level)": it may be the end of a password.
    static QString describeLogin(const std::optional<LoginRequest>& login);
    // Starting the game server is for the levels that the client's Admin page opens for.
    static bool mayStartServer(const QString& level);
    // Killing the server is an echoed console command ("killserver" or "quit"); the daemon can
    // only record who did it, and leave the server down.
    static bool isStopCommand(const QString& command);

    // The notices that logged-in clients show in a box; the client removes the prefix.
    static QByteArray accountAddedNotice(const QString& name, const QStringList& levels);
    static QByteArray accountsAddedNotice(qsizetype count);
    static QByteArray rconChangedNotice();
    // Sent before the daemon closes a session whose account or level an administrator took away.
    static QByteArray accountRemovedRefusal(const QString& name);
    static QByteArray levelRemovedRefusal(const QString& name, const QString& level);
    // Sent before the daemon closes a session: it was idle too long, or an administrator needed
    // its place.
    static QByteArray idleRefusal(std::chrono::seconds idle);
    static QByteArray madeRoomRefusal();
    // A login of an account that has `limit` sessions already.
    static QByteArray sessionLimitRefusal(int limit);
};

} // namespace garrisond
