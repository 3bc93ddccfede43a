#pragma once

#include "bans/BanEnforcer.h"
#include "login/DaemonEvent.h"
#include "rcon/AnswerWatch.h"
#include "rcon/CommandSender.h"
#include "rcon/ListPublication.h"
#include "rcon/PlayerGridModel.h"
#include "rcon/RconClient.h"
#include "rcon/ReplyRouter.h"
#include "rcon/StatusReply.h"
#include "session/ServerLiveness.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>

namespace garrison {

class BanSource;
class SessionRecorder;

// One server's session, without a window: the login values and the RCON client, the routing of
// every reply by the last command sent, the status table and the grid's rows, the header values
// (host name, map, player count), the ban and bad-name lists, the deferred sends and what goes
// into the player history. Everything it learns it publishes through signals; a main window
// shows it and sends through Send and WaitSend.
class ServerSession : public QObject, public CommandSender {
    Q_OBJECT

public:
    static inline const QString kLoading = QStringLiteral("loading...");
    // Long enough for the last datagram of a reply to follow its first on a distant server.
    static constexpr qint64 kRefreshQuietMs = 1500;
    // How long the grid marks a player who joined.
    static constexpr qint64 kRecentJoinSecs = 5 * 60;
    // While the server does not answer, "status" goes this often, to notice it back.
    static constexpr int kProbeMs = 5000;
    // Between two reads of variables (each answered by one datagram): the engine ignores a
    // remote command that follows the one before by less than half a second.
    static constexpr qint64 kReadPaceMs = 600;

    explicit ServerSession(QObject* parent = nullptr);
    ~ServerSession() override;

    // What the login window hands over before Connect.
    void takeLoginValues(const QString& host, const QString& port, const QString& rconPassword);
    // Daemon sessions: the grant, and the RCON password the daemon hands out (whenever it comes).
    void takeDaemonGrant(const QString& level, const QString& daemonHost, const QString& host,
                         const QString& port);
    void setRconPassword(const QString& password) { m_txtRcon = password; }
    void IdentDaemon(const QString& Result) { m_rcon.setDaemonFlag(Result); }
    void setLevel(const QString& level) { m_level = level; }
    // Who acts in daemon sessions, for the history's action log ("rcon" in direct mode).
    void setDaemonUser(const QString& user) { m_daemonUser = user; }
    // Null: nothing is recorded.
    void setRecorder(SessionRecorder* recorder) { m_recorder = recorder; }
    // Where this session's bans live. A direct session enforces them at each status: a banned
    // player is told the reason and kicked by slot. Through a daemon, the daemon enforces them.
    void setBanSource(BanSource* source);
    BanSource* banSource() const { return m_banSource; }
    // The names by which a ban's servers may name this one: "host:port" and the host name.
    QStringList banServerNames() const;

    // Starts afresh, opens the socket and sends "status"; the failure when it cannot.
    std::optional<RconClient::Failure> Connect();
    // Forgets the previous server: header, rows, lists, deferral, a refresh waiting to ask,
    // a refused password. The login values and the access stay.
    void start();
    // Closes the socket; the header goes back to "loading..." and the RCON password is
    // forgotten. The window clears its console and hides (disconnected).
    void Disconnect();
    // Closes the socket, empties the grid's cells and shows "nohostname", "nomap" and "0".
    void logOut();
    // Closes the socket and stops listening for the server; nothing else changes.
    void close();

    void Send(const QString& cmd) override;
    void WaitSend(const QString& Cmdz) override;

    // The automatic refresh is due: "status" goes out once the line is quiet (no deferred
    // command waiting, nothing sent or heard for kRefreshQuietMs); until then it asks again.
    void refresh();
    // The grid is out of view: a refresh waiting for a quiet line gives up.
    void cancelRefresh() { m_refreshRetry.stop(); }
    bool refreshWaiting() const { return m_refreshRetry.isActive(); }

    // Asks the server for these variables' current values, one at a time and only while the line
    // is quiet (as the refresh does), kept out of the console; each answer comes as valueRead.
    // They are read before those still waiting from an earlier request. A variable read once in
    // this session is read again after a command of the user sets it.
    void readValues(const QStringList& names);

    ServerLiveness::State liveness() const { return m_liveness.state(); }
    // How long a request waits for its answer (ServerLiveness::kAnswerWaitMs; tests shorten it).
    void setAnswerWaitMs(int ms) { m_liveness.setAnswerWaitMs(ms); }
    void setProbeMs(int ms) { m_probe.setInterval(ms); }

    // Daemon sessions open the Settings and Admin pages only for "admin" and "poweradmin", the
    // terminal's command line only for "poweradmin"; direct sessions open everything.
    bool pagesAllowed() const;
    bool commandLineAllowed() const;

    // The header: Label6, Label3 and Label4.
    const QString& hostName() const { return m_hostName; }
    const QString& mapName() const { return m_mapName; }
    const QString& playerCount() const { return m_playerCount; }

    // The hidden fields.
    const QString& Text3() const { return m_Text3; }
    const QString& Text4() const { return m_Text4; }
    const QString& txtRcon() const { return m_txtRcon; }
    const QString& level() const { return m_level; }
    QString DaemonFlag() const { return m_rcon.DaemonFlag(); }
    // The reply accumulator: what came since "status" was last sent, not yet a whole table.
    const QString& Text6() const { return m_statusReply.text(); }
    // "host:port", the history's name for the server.
    QString serverKey() const { return m_Text3 + QLatin1Char(':') + m_Text4; }

    RconClient& rcon() { return m_rcon; }
    const RconClient& rcon() const { return m_rcon; }
    PlayerGridModel& gridModel() { return m_gridModel; }
    ListPublication& lists() { return m_lists; }
    AnswerWatch& answerWatch() { return m_answerWatch; }

    // Who acts: the daemon user, or "rcon" in a direct session.
    QString actor() const;
    // A command of the player menu or the tell window acted on the player of these grid cells.
    void recordAction(const QStringList& cells, const QString& command, const QString& reason);

    // An event of the game log, from the daemon's stream: chat goes to the chat page, joins mark
    // the grid, joins, quits and reports go into the history, alerts and reports are noticed.
    void takeGameEvent(const DaemonEvent& event);
    // When the player of these grid cells joined, as the game log told it, if within
    // kRecentJoinSecs; invalid otherwise.
    QDateTime recentJoin(const QStringList& cells) const;

Q_SIGNALS:
    // Host name, map or player count changed.
    void headerChanged();
    // Text for the end of the console: a command's echo line, a reply, a note about lost
    // replies.
    void consoleText(const QString& text);
    // A reply went to the console; it shows its newest lines.
    void replyShown();
    // A line for the status bar: the last command, a refusal, lost replies.
    void statusMessage(const QString& text);
    void readerText(const QString& text);
    void indicatorParsed(garrison::ReplyRouter::Indicator indicator, bool on);
    void listPublished(const QString& text10);
    // The server refused the RCON password; said once a session, however many replies say it.
    void passwordRefused();
    // Disconnect ran.
    void disconnected();
    // A chat line of the game log.
    void gameChat(const garrison::DaemonEvent& event);
    // An alert word in the game's chat, or a player's report: worth a note and a notification.
    void gameNotice(const QString& title, const QString& text);
    // A player joined, or a join stopped being recent.
    void recentJoinsChanged();
    // No answer to the automatic refresh, or to two requests in a row, since `since`; the grid
    // keeps its rows, marked stale.
    void stoppedAnswering(const QDateTime& since);
    // A datagram came from the server, silent since `since`.
    void answeringAgain(const QDateTime& since);
    // The daemon's watch over the game server told of a change (a crash, a restart, back up).
    void daemonServerEvent(const garrison::DaemonEvent& event);
    // The server's answer to a read of readValues; name as it was asked for.
    void valueRead(const QString& name, const QString& value);
    // A banned player was found on the server; the kick is on its way.
    void playerKeptOut(const QString& name, qint64 banId, const QString& reason);

private:
    void receive(const QByteArray& datagram);
    void dispatch(const QString& ReplyText);
    void takeStatusTable(const StatusParser::StatusTable& table);
    void takeMapReply(const QString& ReplyText);
    void commandSent(const QString& cmd, const QDateTime& at);
    void setHeader(const QString& hostName, const QString& mapName, const QString& playerCount);
    void endWatching();
    void forgetOldJoins();
    // The refresh's own exchanges: kept out of the console and the status line.
    void sendAutomatic(const QString& cmd);
    void waitSendAutomatic(const QString& cmd);
    void echo(const QString& text);
    void checkLiveness();
    void scheduleLivenessCheck();
    void readNextValue();
    void rereadSetValue(const QString& cmd);
    // Whether kicks are on their way.
    bool enforceBans(const QList<PlayerRow>& rows);
    void sendNextEnforcement();

    RconClient m_rcon;
    PlayerGridModel m_gridModel;
    ListPublication m_lists{m_rcon};
    StatusReply m_statusReply;
    AnswerWatch m_answerWatch;
    QTimer m_refreshRetry;
    // When players joined, by guid ("g:") or, without one, by name as shown ("n:").
    QHash<QString, QDateTime> m_joins;
    QTimer m_joinsExpiry;
    SessionRecorder* m_recorder = nullptr;
    ServerLiveness m_liveness;
    QTimer m_livenessCheck;
    QTimer m_probe;
    // The next Send is the refresh's own; so is the deferred command of that text while it waits.
    bool m_automaticNext = false;
    QString m_automaticDeferred;
    // The last command sent was, and its replies are, the refresh's own.
    bool m_lastAutomatic = false;
    // Variables still to read, and every one asked for in this session.
    QStringList m_reads;
    QStringList m_readNames;
    QTimer m_readRetry;
    bool m_readNext = false;
    // The variable that the last command read; empty when it was no read.
    QString m_lastRead;
    BanSource* m_banSource = nullptr;
    BanEnforcer m_enforcer;
    // Tells and kicks of banned players still to send, one per kReadPaceMs.
    QStringList m_enforcement;
    QTimer m_enforcementRetry;

    QString m_Text3;
    QString m_Text4;
    QString m_txtRcon;
    QString m_level;
    QString m_RconType;
    QString m_daemonUser;
    QString m_hostName = kLoading;
    QString m_mapName = kLoading;
    QString m_playerCount = QStringLiteral("0");
    bool m_passwordRefused = false;
};

} // namespace garrison
