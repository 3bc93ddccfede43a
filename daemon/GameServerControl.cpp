#include "GameServerControl.h"

#include "DaemonConfig.h"
#include "GameEvent.h"
#include "ModerationCommand.h"
#include "WatchState.h"
#include "WireText.h"

namespace garrisond {

GameServerControl::GameServerControl(QObject* parent)
    : QObject(parent), m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
    connect(&m_watch, &ServerWatch::happened, this, &GameServerControl::watchEvent);
}

void GameServerControl::configure(const DaemonConfig& config)
{
    m_statePath = WatchState::pathBeside(config.accountsPath);
    m_hasCommand = !config.serverProgram.isEmpty();
    m_watch.configure(config);
}

void GameServerControl::setClock(Clock clock)
{
    m_clock = std::move(clock);
    m_watch.setClock(m_clock);
}

void GameServerControl::start(const QString& address, const QString& who)
{
    using Result = GameServerProcess::StartResult;
    const Result result = m_watch.start();
    QString outcome;
    switch (result) {
    case Result::Started:
        outcome = QStringLiteral("started");
        break;
    case Result::AlreadyRunning:
        outcome = QStringLiteral("already running");
        break;
    case Result::NotConfigured:
        outcome = QStringLiteral("no server_command configured");
        Q_EMIT warning(QStringLiteral("startserver: no server_command configured"));
        break;
    case Result::Failed:
        outcome = QStringLiteral("failed: ") + m_process.errorString();
        Q_EMIT warning(QStringLiteral("startserver: ") + outcome);
        break;
    }
    Q_EMIT audited(address, who, QStringLiteral("startserver"), outcome);
}

QByteArray GameServerControl::request(DaemonMessage::Kind kind, const QString& address,
                                      const QString& who)
{
    QString note;
    if (kind == DaemonMessage::Kind::SkipRestart) {
        const QDateTime skipped = m_watch.skipNextRestart();
        note = skipped.isValid() ? QStringLiteral("The next daily restart is skipped.")
                                 : QStringLiteral("No daily restart is scheduled.");
        QString error;
        if (skipped.isValid() &&
            !WatchState::save(m_statePath, m_watch.skippedRestarts(), &error)) {
            note += QStringLiteral(" It is not saved, so a restart of garrisond brings it back.");
            Q_EMIT warning(QStringLiteral("skipped restarts not saved: ") + error);
        }
        Q_EMIT audited(address, who, QStringLiteral("skiprestart"),
                       skipped.isValid() ? skipped.toString(Qt::ISODate) : QStringLiteral("none"));
    } else if (kind == DaemonMessage::Kind::RestartNow) {
        if (m_watch.restartNow(who)) {
            note = m_watch.restartDue().isValid()
                       ? QStringLiteral("The players are warned; the game server restarts in "
                                        "%1 s.")
                             .arg(m_clock().secsTo(m_watch.restartDue()))
                       : QStringLiteral("The game server is starting.");
        } else if (m_watch.state() == ServerWatch::State::Running ||
                   m_watch.state() == ServerWatch::State::Restarting) {
            note = QStringLiteral("A restart is on its way already.");
        } else {
            note = QStringLiteral("The game server could not be started: ") +
                   (!m_hasCommand ? QStringLiteral("no server_command") : m_process.errorString());
        }
        Q_EMIT audited(address, who, QStringLiteral("restartnow"), note);
    } else {
        Q_EMIT audited(address, who, QStringLiteral("serverstate"));
    }
    return WireText::encode(m_watch.stateText(note));
}

void GameServerControl::commandEchoed(const QString& address, const QString& who,
                                      const QString& command)
{
    if (DaemonMessage::isStopCommand(command)) {
        m_watch.expectStop();
    }
    const std::optional<ModerationCommand> moderation = ModerationCommand::parse(command);
    if (!moderation) {
        return;
    }
    const QString done = moderation->action == QLatin1String("kick")
                             ? QStringLiteral("kicked")
                             : (moderation->temporary ? QStringLiteral("banned for a while")
                                                      : QStringLiteral("banned"));
    Q_EMIT notified(
        moderation->action,
        QStringLiteral("%1 %2 %3").arg(who, done, moderation->whom) +
            (moderation->why.isEmpty() ? QString() : QStringLiteral(": ") + moderation->why),
        {{QStringLiteral("who"), who},
         {QStringLiteral("whom"), moderation->whom},
         {QStringLiteral("why"), moderation->why},
         {QStringLiteral("temporary"), moderation->temporary},
         {QStringLiteral("address"), address},
         {QStringLiteral("command"), command}});
}

void GameServerControl::watchEvent(const ServerWatch::Event& event)
{
    Q_EMIT audited(QStringLiteral("-"), QStringLiteral("-"), event.name, event.text);
    if (event.alarm) {
        Q_EMIT warning(event.text);
    }
    if (event.notify) {
        Q_EMIT notified(event.name, event.text, event.fields);
    }
    // What changes the server's state is told to the administrators following the events; the
    // operator's own warnings are not.
    if (event.name == QLatin1String("rcon-refused")) {
        return;
    }
    QString text = event.text;
    if (event.name == QLatin1String("server-started")) {
        text = QStringLiteral("The game server started (%1).").arg(event.text);
    } else if (event.name == QLatin1String("server-stopped")) {
        text = QStringLiteral("The game server stopped (%1).").arg(event.text);
    }
    Q_EMIT serverEvent(GameEvent::serverLine(m_clock(), event.name, m_watch.stateName(), text));
}

} // namespace garrisond
