#pragma once

#include "Announcer.h"
#include "CrashRestarts.h"
#include "GameServerProcess.h"
#include "RconChannel.h"
#include "RestartSchedule.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <functional>

namespace garrisond {

struct DaemonConfig;

// Keeps the game server that garrisond starts up and on schedule. It starts it again when it
// crashes (CrashRestarts says how soon, or that it is time to give up) and when it stops
// answering the status queries sent every health_interval; it restarts it at restart_times,
// after saying the warnings in game, and on an administrator's request; and it says the
// announcements while the server runs. A server that exits with status 0, or after a client
// echoed "killserver" or "quit", was told to stop and stays down. Everything that happens is
// told through happened().
class ServerWatch : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    enum class State { Stopped, Running, Restarting, GaveUp };
    struct Event {
        QString name;       // the audit log's event, and the webhook's
        QString text;       // a sentence for people
        QJsonObject fields; // for the webhook
        bool notify = false;
        bool alarm = false; // for the operator's eyes on stderr too
    };
    static constexpr int kStopGraceMs = 5000;
    // Without health checks, a server started again after a crash counts as back up once it
    // has run this long: one that cannot come up usually dies while it loads its map.
    static constexpr int kRecoveredAfterMs = 5000;
    // How long after an echoed "killserver" or "quit" the server's exit counts as asked for.
    static constexpr int kExpectedStopSeconds = 30;

    explicit ServerWatch(GameServerProcess& process, QObject* parent = nullptr);

    void configure(const DaemonConfig& config);
    // Also when the clock jumps: the schedule is reckoned anew from now, without making up for
    // what the jump passed over.
    void setClock(Clock clock);

    // "startserver": also after the watch gave up, which it forgets then.
    GameServerProcess::StartResult start();
    void expectStop();
    // The restart skipped; invalid when none is scheduled. When the players were warned of it
    // already, they are told that it is cancelled.
    QDateTime skipNextRestart();
    const QList<QDateTime>& skippedRestarts() const { return m_schedule.skipped(); }
    // The skips that the daemon before this one left; those already past are dropped.
    void restoreSkippedRestarts(const QList<QDateTime>& skipped);
    // Says the last warning (restart_warnings' smallest), waits that long and restarts; starts
    // a server that is not running at once. False when a restart is on its way already, or the
    // server cannot be started.
    bool restartNow(const QString& who);

    State state() const { return m_state; }
    // running, stopped, restarting, gave-up or not-configured.
    QString stateName() const;
    QDateTime restartDue() const { return m_restartNowAt; }
    static constexpr qsizetype kLargestStateText = 12000;
    // The answer to "serverstate": "SERVERSTATE" and one "key=value" line each; announcements
    // beyond kLargestStateText are only counted.
    QString stateText(const QString& note = QString()) const;

Q_SIGNALS:
    void happened(const ServerWatch::Event& event);
    // Text of the game server's replies to the health checks' "status" (and to the warnings).
    void replyText(const QString& text);

private:
    enum class Pending { Nothing, Restart, RestartAfterHang, StopAfterHang };

    QDateTime now() const { return m_clock(); }
    GameServerProcess::StartResult launch();
    void processFinished(const GameServerProcess::Exit& exit);
    void restartAfterTrouble(Event trouble);
    void restartLater();
    void restartProcess();
    void checkHealth();
    void replied(bool refused);
    // `answered`: it answered a request; otherwise it has run for kRecoveredAfterMs.
    void recovered(bool answered);
    void reschedule();
    void scheduleDue();
    void say(const QString& text);
    QString warning(std::chrono::seconds left) const;
    int restartsToday() const;
    void recordRestart();

    GameServerProcess& m_process;
    Clock m_clock;
    RconChannel m_rcon;
    Announcer m_announcer;
    RestartSchedule m_schedule;
    CrashRestarts m_crashes;

    QString m_program;
    QStringList m_arguments;
    QString m_directory;
    QString m_address; // where the status queries go, for the messages about them
    std::chrono::milliseconds m_healthInterval{0};
    int m_healthMisses = 3;
    QString m_warningText;
    QString m_cancelText;

    State m_state = State::Stopped;
    Pending m_pending = Pending::Nothing;
    QDateTime m_since;
    QList<QDateTime> m_restarts;
    QDateTime m_lastCrash;
    QString m_lastExit;
    QDateTime m_stopExpectedUntil;
    QDateTime m_scheduleHandled;
    QDateTime m_restartNowAt;
    // The daily restart that the players were last warned of.
    QDateTime m_warnedRestart;
    // Started again after a crash or hang: the next server that answers (or, without health
    // checks, runs for kRecoveredAfterMs) is told to be back up.
    bool m_recovering = false;
    std::chrono::seconds m_backoff{0};
    int m_misses = 0;
    bool m_awaitingReply = false;
    bool m_refusalReported = false;

    QTimer m_healthTimer;
    QTimer m_backoffTimer;
    QTimer m_scheduleTimer;
    QTimer m_restartNowTimer;
    QTimer m_recoveredTimer;
};

} // namespace garrisond
