#include "ServerWatch.h"

#include "DaemonConfig.h"
#include "DurationText.h"

#include <QJsonValue>
#include <QStringList>
#include <algorithm>

namespace garrisond {

namespace {

constexpr qint64 kLongestScheduleWaitMs = 60000;

QString stamp(const QDateTime& at)
{
    return at.isValid() ? at.toUTC().toString(Qt::ISODate) : QString();
}

} // namespace

ServerWatch::ServerWatch(GameServerProcess& process, QObject* parent)
    : QObject(parent), m_process(process), m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
    m_backoffTimer.setSingleShot(true);
    m_scheduleTimer.setSingleShot(true);
    m_scheduleTimer.setTimerType(Qt::PreciseTimer);
    m_restartNowTimer.setSingleShot(true);
    m_recoveredTimer.setSingleShot(true);
    m_recoveredTimer.setInterval(kRecoveredAfterMs);
    connect(&m_process, &GameServerProcess::finished, this, &ServerWatch::processFinished);
    connect(&m_rcon, &RconChannel::replied, this, &ServerWatch::replied);
    connect(&m_rcon, &RconChannel::replyText, this, &ServerWatch::replyText);
    connect(&m_announcer, &Announcer::due, this, &ServerWatch::say);
    connect(&m_healthTimer, &QTimer::timeout, this, &ServerWatch::checkHealth);
    connect(&m_backoffTimer, &QTimer::timeout, this, &ServerWatch::restartLater);
    connect(&m_scheduleTimer, &QTimer::timeout, this, &ServerWatch::scheduleDue);
    connect(&m_restartNowTimer, &QTimer::timeout, this, &ServerWatch::restartProcess);
    connect(&m_recoveredTimer, &QTimer::timeout, this, [this] { recovered(false); });
}

void ServerWatch::configure(const DaemonConfig& config)
{
    m_program = config.serverProgram;
    m_arguments = config.serverArguments;
    m_directory = config.serverDirectory;
    m_healthMisses = config.healthMisses;
    m_warningText = config.restartWarningText;
    m_cancelText = config.restartCancelText;
    m_rcon.configure(config.rconPassword, config.gameServerPort());
    m_address = config.gameServerAddress();
    m_crashes.configure(config.restartLimit, config.restartBackoffMax);
    m_announcer.configure(config.announcements);
    const auto interval = std::chrono::milliseconds(config.healthInterval);
    if (interval != m_healthInterval) {
        m_healthInterval = interval;
        const bool checking = m_healthTimer.isActive();
        m_healthTimer.stop();
        if (interval.count() > 0) {
            m_healthTimer.setInterval(interval);
            if (checking || m_state == State::Running) {
                m_healthTimer.start();
            }
        }
    }
    m_schedule.configure(config.restartTimes, config.restartWarnings);
    reschedule();
}

void ServerWatch::setClock(Clock clock)
{
    m_clock = std::move(clock);
    m_scheduleHandled = now();
    reschedule();
}

GameServerProcess::StartResult ServerWatch::start()
{
    if (m_process.isRunning()) {
        return GameServerProcess::StartResult::AlreadyRunning;
    }
    if (m_state == State::GaveUp) {
        m_crashes.forget();
    }
    m_backoffTimer.stop();
    m_pending = Pending::Nothing;
    const GameServerProcess::StartResult result = launch();
    if (result != GameServerProcess::StartResult::Started && m_state != State::Restarting) {
        m_state = State::Stopped;
    }
    return result;
}

GameServerProcess::StartResult ServerWatch::launch()
{
    const GameServerProcess::StartResult result =
        m_process.start(m_program, m_arguments, m_directory);
    if (result != GameServerProcess::StartResult::Started) {
        return result;
    }
    m_state = State::Running;
    m_since = now();
    m_misses = 0;
    m_awaitingReply = false;
    m_refusalReported = false;
    // The first query goes one interval after the start: a server gets health_misses + 1
    // intervals to load its map and answer.
    if (m_healthInterval.count() > 0) {
        m_healthTimer.start();
    } else if (m_recovering) {
        m_recoveredTimer.start();
    }
    m_announcer.start();
    Q_EMIT happened({QStringLiteral("server-started"),
                     QStringLiteral("process %1").arg(m_process.processId()),
                     {},
                     false,
                     false});
    return result;
}

void ServerWatch::expectStop()
{
    m_stopExpectedUntil = now().addSecs(kExpectedStopSeconds);
}

void ServerWatch::processFinished(const GameServerProcess::Exit& exit)
{
    m_healthTimer.stop();
    m_announcer.stop();
    m_restartNowTimer.stop();
    m_recoveredTimer.stop();
    m_restartNowAt = QDateTime();
    m_since = QDateTime();
    switch (std::exchange(m_pending, Pending::Nothing)) {
    case Pending::Restart:
        recordRestart();
        if (launch() != GameServerProcess::StartResult::Started) {
            m_lastCrash = now();
            m_lastExit = QStringLiteral("could not start: ") + m_process.errorString();
            restartAfterTrouble({QStringLiteral("crash"),
                                 QStringLiteral("The game server could not be started again (%1)")
                                     .arg(m_process.errorString()),
                                 {{QStringLiteral("exit"), m_lastExit}},
                                 true,
                                 true});
        }
        return;
    case Pending::RestartAfterHang:
        m_backoffTimer.start(m_backoff);
        return;
    case Pending::StopAfterHang:
        return;
    case Pending::Nothing:
        break;
    }
    const bool expected = m_stopExpectedUntil.isValid() && now() <= m_stopExpectedUntil;
    m_stopExpectedUntil = QDateTime();
    if (!exit.isCrash() || expected) {
        m_state = State::Stopped;
        m_recovering = false;
        Q_EMIT happened({QStringLiteral("server-stopped"), exit.describe(), {}, false, false});
        return;
    }
    m_lastCrash = now();
    m_lastExit = exit.describe();
    restartAfterTrouble({QStringLiteral("crash"),
                         QStringLiteral("The game server crashed (%1)").arg(m_lastExit),
                         {{QStringLiteral("exit"), m_lastExit}},
                         true,
                         true});
}

// Tells what went wrong with the wait before the restart, or that the watch gives up.
void ServerWatch::restartAfterTrouble(Event trouble)
{
    const std::optional<std::chrono::seconds> wait = m_crashes.restartAfterCrash(now());
    const bool hung = trouble.name == QLatin1String("hang");
    if (wait) {
        trouble.text +=
            QStringLiteral("; it starts again in %1.").arg(DurationText::inWords(*wait));
        trouble.fields.insert(QStringLiteral("restart_in"), qint64(wait->count()));
        m_state = State::Restarting;
        m_recovering = true;
        m_backoff = *wait;
        if (hung) {
            m_pending = Pending::RestartAfterHang;
        } else {
            m_backoffTimer.start(*wait);
        }
    } else {
        trouble.text += QLatin1Char('.');
        trouble.fields.insert(QStringLiteral("restart_in"), QJsonValue::Null);
        m_state = State::GaveUp;
        m_recovering = false;
        if (hung) {
            m_pending = Pending::StopAfterHang;
        }
    }
    Q_EMIT happened(trouble);
    if (!wait) {
        const int limit = m_crashes.recent(now());
        Q_EMIT happened({QStringLiteral("gave-up"),
                         QStringLiteral("garrisond gave up on the game server: %1 restarts within "
                                        "%2 did not keep it up. Start it with \"startserver\".")
                             .arg(limit)
                             .arg(DurationText::inWords(CrashRestarts::kWindow)),
                         {{QStringLiteral("restarts"), limit}},
                         true,
                         true});
    }
    if (hung) {
        m_process.terminate(kStopGraceMs);
    }
}

void ServerWatch::restartLater()
{
    if (m_process.isRunning()) {
        return;
    }
    recordRestart();
    if (launch() == GameServerProcess::StartResult::Started) {
        return;
    }
    m_lastCrash = now();
    m_lastExit = QStringLiteral("could not start: ") + m_process.errorString();
    restartAfterTrouble(
        {QStringLiteral("crash"),
         QStringLiteral("The game server could not be started (%1)").arg(m_process.errorString()),
         {{QStringLiteral("exit"), m_lastExit}},
         true,
         true});
}

void ServerWatch::restartProcess()
{
    m_restartNowAt = QDateTime();
    if (!m_process.isRunning() || m_pending != Pending::Nothing) {
        return;
    }
    m_pending = Pending::Restart;
    m_state = State::Restarting;
    m_process.terminate(kStopGraceMs);
}

void ServerWatch::checkHealth()
{
    if (!m_process.isRunning() || m_pending != Pending::Nothing) {
        return;
    }
    if (m_awaitingReply && ++m_misses >= m_healthMisses) {
        m_healthTimer.stop();
        m_announcer.stop();
        m_lastCrash = now();
        m_lastExit =
            QStringLiteral("no answer to %1 status queries at %2").arg(m_misses).arg(m_address);
        restartAfterTrouble(
            {QStringLiteral("hang"),
             QStringLiteral("The game server did not answer %1 status queries "
                            "in a row at %2 and is stopped")
                 .arg(m_misses)
                 .arg(m_address),
             {{QStringLiteral("misses"), m_misses}, {QStringLiteral("address"), m_address}},
             true,
             true});
        return;
    }
    m_awaitingReply = m_rcon.send(QStringLiteral("status"));
}

void ServerWatch::replied(bool refused)
{
    m_awaitingReply = false;
    m_misses = 0;
    if (m_recovering && m_process.isRunning() && m_pending == Pending::Nothing) {
        recovered(true);
    }
    if (refused && !m_refusalReported) {
        m_refusalReported = true;
        Q_EMIT happened({QStringLiteral("rcon-refused"),
                         QStringLiteral("the game server refuses rcon_password: garrisond's "
                                        "warnings and announcements do not reach the players"),
                         {},
                         false,
                         true});
    }
}

void ServerWatch::recovered(bool answered)
{
    m_recovering = false;
    m_recoveredTimer.stop();
    const qint64 down = m_lastCrash.isValid() ? std::max<qint64>(m_lastCrash.secsTo(now()), 0) : 0;
    const QString after = DurationText::inWords(std::chrono::seconds(down));
    Q_EMIT happened(
        {QStringLiteral("recovered"),
         answered
             ? QStringLiteral("The game server is back up: it answered at %1, %2 after it went "
                              "down.")
                   .arg(m_address, after)
             : QStringLiteral("The game server is back up: it has run for %1, %2 after it went "
                              "down.")
                   .arg(DurationText::inWords(std::chrono::seconds(kRecoveredAfterMs / 1000)),
                        after),
         {{QStringLiteral("down"), down}},
         true,
         true});
}

void ServerWatch::reschedule()
{
    const QDateTime at = now();
    if (!m_scheduleHandled.isValid() || m_scheduleHandled > at) {
        m_scheduleHandled = at;
    }
    const QDateTime step = m_schedule.nextStep(at);
    if (!step.isValid()) {
        m_scheduleTimer.stop();
        return;
    }
    // Checked at least once a minute, so that a clock set right or a change of summer time
    // moves the restarts with it.
    m_scheduleTimer.start(
        static_cast<int>(std::clamp<qint64>(at.msecsTo(step), 0, kLongestScheduleWaitMs)));
}

void ServerWatch::scheduleDue()
{
    const QDateTime at = now();
    const RestartSchedule::Due due = m_schedule.take(m_scheduleHandled, at);
    m_scheduleHandled = at;
    if (m_process.isRunning() && m_pending == Pending::Nothing) {
        if (due.kind == RestartSchedule::Due::Kind::Warning) {
            m_warnedRestart = due.restartAt;
            say(warning(due.left));
        } else if (due.kind == RestartSchedule::Due::Kind::Restart) {
            Q_EMIT happened({QStringLiteral("restart"),
                             QStringLiteral("The daily restart of the game server"),
                             {{QStringLiteral("reason"), QStringLiteral("scheduled")}},
                             true,
                             false});
            restartProcess();
        }
    }
    reschedule();
}

QDateTime ServerWatch::skipNextRestart()
{
    const QDateTime skipped = m_schedule.skipNext(now());
    // Players who heard "restart in 5 minutes" would wait for it, or leave.
    if (skipped.isValid() && skipped == m_warnedRestart) {
        m_warnedRestart = QDateTime();
        say(m_cancelText);
    }
    reschedule();
    return skipped;
}

void ServerWatch::restoreSkippedRestarts(const QList<QDateTime>& skipped)
{
    m_schedule.restoreSkipped(skipped, now());
    reschedule();
}

bool ServerWatch::restartNow(const QString& who)
{
    if (m_restartNowTimer.isActive() || m_pending != Pending::Nothing) {
        return false;
    }
    const Event restart{
        QStringLiteral("restart"),
        QString(),
        {{QStringLiteral("reason"), QStringLiteral("administrator")}, {QStringLiteral("who"), who}},
        true,
        false};
    if (!m_process.isRunning()) {
        if (start() != GameServerProcess::StartResult::Started) {
            return false;
        }
        recordRestart();
        Event started = restart;
        started.text = QStringLiteral("%1 started the game server again").arg(who);
        Q_EMIT happened(started);
        return true;
    }
    const std::chrono::seconds left = m_schedule.lastWarning();
    Event announced = restart;
    announced.text = left.count() > 0 ? QStringLiteral("%1 restarts the game server in %2")
                                            .arg(who, DurationText::inWords(left))
                                      : QStringLiteral("%1 restarts the game server").arg(who);
    Q_EMIT happened(announced);
    if (left.count() > 0) {
        say(warning(left));
    }
    m_restartNowAt = now().addSecs(left.count());
    m_restartNowTimer.start(left);
    return true;
}

void ServerWatch::say(const QString& text)
{
    if (m_process.isRunning()) {
        m_rcon.send(QStringLiteral("say ") + text);
    }
}

QString ServerWatch::warning(std::chrono::seconds left) const
{
    return QString(m_warningText).replace(QStringLiteral("%1"), DurationText::inWords(left));
}

void ServerWatch::recordRestart()
{
    const QDateTime at = now();
    m_restarts.removeIf([&at](const QDateTime& restart) { return restart.daysTo(at) > 1; });
    m_restarts.append(at);
}

int ServerWatch::restartsToday() const
{
    const QDate today = now().toLocalTime().date();
    return static_cast<int>(
        std::count_if(m_restarts.cbegin(), m_restarts.cend(),
                      [&today](const QDateTime& at) { return at.toLocalTime().date() == today; }));
}

QString ServerWatch::stateName() const
{
    switch (m_state) {
    case State::Stopped:
        return m_program.isEmpty() ? QStringLiteral("not-configured") : QStringLiteral("stopped");
    case State::Running:
        return QStringLiteral("running");
    case State::Restarting:
        return QStringLiteral("restarting");
    case State::GaveUp:
        return QStringLiteral("gave-up");
    }
    return {};
}

QString ServerWatch::stateText(const QString& note) const
{
    QStringList lines{QStringLiteral("SERVERSTATE"),
                      QStringLiteral("state=") + stateName(),
                      QStringLiteral("since=") + stamp(m_since),
                      QStringLiteral("restarts_today=%1").arg(restartsToday()),
                      QStringLiteral("last_crash=") + stamp(m_lastCrash),
                      QStringLiteral("last_exit=") + m_lastExit,
                      QStringLiteral("next_restart=") + stamp(m_schedule.nextRestart(now())),
                      QStringLiteral("restart_now=") + stamp(m_restartNowAt)};
    for (const QDateTime& skipped : m_schedule.skipped()) {
        lines.append(QStringLiteral("skipped=") + stamp(skipped));
    }
    // The client takes the answer for whole as it arrives: it must fit in one TLS record.
    qsizetype size = lines.join(QLatin1Char('\n')).size() + note.size();
    qsizetype left = m_announcer.announcements().size();
    for (const Announcer::Announcement& announcement : m_announcer.announcements()) {
        const QString line = QStringLiteral("announce=%1 %2")
                                 .arg(announcement.interval.count())
                                 .arg(announcement.text);
        if (size + line.size() > kLargestStateText) {
            lines.append(QStringLiteral("announce_more=%1").arg(left));
            break;
        }
        size += line.size() + 1;
        --left;
        lines.append(line);
    }
    if (!note.isEmpty()) {
        lines.append(QStringLiteral("note=") + note);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace garrisond
