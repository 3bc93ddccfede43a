#include "ServerSession.h"

#include "bans/BanSource.h"
#include "players/GameColours.h"
#include "rcon/RconDatagram.h"
#include "rcon/ServerRefusals.h"
#include "session/SessionRecorder.h"

#include <QDateTime>
#include <algorithm>

namespace garrison {

namespace {

const QString kMapName = QStringLiteral("mapname");

QString joinKey(const QString& guid, const QString& name)
{
    const QString trimmed = guid.trimmed();
    return trimmed.isEmpty() || trimmed == QLatin1String("0")
               ? QStringLiteral("n:") + GameColours::shownText(name.trimmed()).toLower()
               : QStringLiteral("g:") + trimmed;
}

} // namespace

ServerSession::ServerSession(QObject* parent) : QObject(parent)
{
    m_refreshRetry.setSingleShot(true);
    connect(&m_refreshRetry, &QTimer::timeout, this, &ServerSession::refresh);
    connect(&m_rcon, &RconClient::echoed, this, &ServerSession::echo);
    connect(&m_rcon, &RconClient::datagramReceived, this, &ServerSession::receive);
    connect(&m_rcon, &RconClient::datagramsLost, this, [this](quint64 count) {
        const QString text = (count == 1 ? tr("1 reply from the server was lost")
                                         : tr("%1 replies from the server were lost").arg(count)) +
                             tr(": they came faster than GARRISON could take them.");
        Q_EMIT consoleText(QStringLiteral("\r\n[") + text + QStringLiteral("]\r\n"));
        Q_EMIT statusMessage(text);
    });
    connect(&m_rcon, &RconClient::commandSent, this, &ServerSession::commandSent);
    connect(&m_statusReply, &StatusReply::tableReady, this, &ServerSession::takeStatusTable);
    connect(&m_lists, &ListPublication::published, this, &ServerSession::listPublished);
    m_joinsExpiry.setInterval(30 * 1000);
    connect(&m_joinsExpiry, &QTimer::timeout, this, &ServerSession::forgetOldJoins);
    m_livenessCheck.setSingleShot(true);
    connect(&m_livenessCheck, &QTimer::timeout, this, &ServerSession::checkLiveness);
    m_probe.setInterval(kProbeMs);
    connect(&m_probe, &QTimer::timeout, this, &ServerSession::refresh);
    m_readRetry.setSingleShot(true);
    connect(&m_readRetry, &QTimer::timeout, this, &ServerSession::readNextValue);
    m_enforcementRetry.setSingleShot(true);
    connect(&m_enforcementRetry, &QTimer::timeout, this, &ServerSession::sendNextEnforcement);
}

ServerSession::~ServerSession() = default;

void ServerSession::takeLoginValues(const QString& host, const QString& port,
                                    const QString& rconPassword)
{
    m_Text3 = host;
    m_Text4 = port;
    m_txtRcon = rconPassword;
}

void ServerSession::takeDaemonGrant(const QString& level, const QString& daemonHost,
                                    const QString& host, const QString& port)
{
    m_level = level;
    m_RconType = daemonHost;
    m_Text3 = host;
    m_Text4 = port;
}

std::optional<RconClient::Failure> ServerSession::Connect()
{
    start();
    m_answerWatch.sessionStarted(m_Text3, m_Text4);
    std::optional<RconClient::Failure> failure = m_rcon.Connect(m_Text3, m_Text4, m_txtRcon);
    if (failure) {
        endWatching();
    } else {
        // Values asked for before the line was open.
        readNextValue();
    }
    return failure;
}

void ServerSession::start()
{
    endWatching();
    m_rcon.cancelDeferral();
    m_refreshRetry.stop();
    m_passwordRefused = false;
    // A list still arriving from the previous server is not published into this session.
    m_lists.Timer3().stop();
    m_lists.clear();
    m_joins.clear();
    m_joinsExpiry.stop();
    m_readNames.clear();
    if (m_banSource) {
        m_banSource->list();
    }
    m_gridModel.setRows({});
    setHeader(kLoading, kLoading, QStringLiteral("0"));
}

void ServerSession::Disconnect()
{
    m_rcon.close();
    endWatching();
    setHeader(kLoading, kLoading, QStringLiteral("0"));
    m_txtRcon.clear();
    Q_EMIT disconnected();
}

void ServerSession::logOut()
{
    m_rcon.close();
    endWatching();
    m_refreshRetry.stop();
    m_gridModel.clearCells();
    setHeader(QStringLiteral("nohostname"), QStringLiteral("nomap"), QStringLiteral("0"));
}

void ServerSession::close()
{
    m_rcon.close();
    endWatching();
    m_refreshRetry.stop();
}

void ServerSession::endWatching()
{
    m_answerWatch.stop();
    m_statusReply.discard();
    m_liveness.start();
    m_livenessCheck.stop();
    m_probe.stop();
    m_automaticNext = false;
    m_automaticDeferred.clear();
    m_lastAutomatic = false;
    m_reads.clear();
    m_readRetry.stop();
    m_readNext = false;
    m_lastRead.clear();
    m_enforcement.clear();
    m_enforcementRetry.stop();
    m_gridModel.setStale(false);
}

void ServerSession::Send(const QString& cmd)
{
    m_rcon.Send(cmd);
}

void ServerSession::WaitSend(const QString& Cmdz)
{
    m_automaticDeferred.clear();
    m_rcon.WaitSend(Cmdz);
}

void ServerSession::sendAutomatic(const QString& cmd)
{
    m_automaticNext = true;
    m_rcon.Send(cmd);
}

void ServerSession::waitSendAutomatic(const QString& cmd)
{
    m_rcon.WaitSend(cmd);
    m_automaticDeferred = cmd;
}

void ServerSession::echo(const QString& text)
{
    if (!m_lastAutomatic) {
        Q_EMIT consoleText(text);
    }
}

void ServerSession::receive(const QByteArray& datagram)
{
    const QString ReplyText = RconDatagram::cleanReply(datagram);
    m_answerWatch.replyReceived();
    if (m_liveness.replyReceived(QDateTime::currentMSecsSinceEpoch()) ==
        ServerLiveness::Change::AnsweringAgain) {
        m_probe.stop();
        Q_EMIT answeringAgain(QDateTime::fromMSecsSinceEpoch(m_liveness.silentSince()));
        // The rows shown are stale: fresh ones once the line is quiet.
        if (ReplyRouter::route(m_rcon.LastCommand()).action != ReplyRouter::Action::GetPlayers) {
            m_refreshRetry.start(static_cast<int>(kRefreshQuietMs));
        }
    }
    scheduleLivenessCheck();
    if (!m_lastAutomatic) {
        Q_EMIT consoleText(ReplyText);
    }
    if (const std::optional<QString> refusal = ServerRefusals::find(ReplyText)) {
        Q_EMIT statusMessage(
            tr("The server refused /%1: %2 (the whole answer is on the Terminal page)")
                .arg(m_rcon.LastCommand(), *refusal));
    }
    if (ReplyRouter::isInvalidPassword(ReplyText)) {
        // The server gives every command of the session this answer; the first one ends it.
        m_statusReply.discard();
        if (!std::exchange(m_passwordRefused, true)) {
            Q_EMIT passwordRefused();
        }
    } else {
        dispatch(ReplyText);
    }
    Q_EMIT replyShown();
}

// Replies carry no request identifier: the last command sent decides what a datagram answers.
void ServerSession::dispatch(const QString& ReplyText)
{
    if (!m_lastRead.isEmpty()) {
        if (const std::optional<QString> value = ReplyRouter::parseValue(ReplyText, m_lastRead)) {
            Q_EMIT valueRead(m_lastRead, *value);
        }
        return;
    }
    const ReplyRouter::Route route = ReplyRouter::route(m_rcon.LastCommand());
    switch (route.action) {
    case ReplyRouter::Action::GetPlayers:
        m_statusReply.append(ReplyText);
        return;
    case ReplyRouter::Action::ListAppend:
        m_lists.append(ReplyText);
        return;
    case ReplyRouter::Action::Reader:
        Q_EMIT readerText(ReplyText);
        return;
    case ReplyRouter::Action::Indicator:
        Q_EMIT indicatorParsed(route.indicator.indicator,
                               ReplyRouter::indicatorIsOn(ReplyText, route.indicator));
        return;
    case ReplyRouter::Action::HostName:
        setHeader(ReplyRouter::parseHostName(ReplyText), m_mapName, m_playerCount);
        return;
    case ReplyRouter::Action::MapName:
        takeMapReply(ReplyText);
        return;
    case ReplyRouter::Action::None:
        return;
    }
}

void ServerSession::takeStatusTable(const StatusParser::StatusTable& table)
{
    m_gridModel.setRows(table.rows);
    setHeader(m_hostName, m_mapName, QString::number(table.rows.size()));
    m_gridModel.setStale(m_liveness.state() == ServerLiveness::State::NotAnswering);
    if (m_recorder) {
        const bool hostKnown = m_hostName != kLoading && m_hostName != QLatin1String("nohostname");
        m_recorder->recordStatus(serverKey(), hostKnown ? m_hostName : QString(), table.rows,
                                 QDateTime::currentSecsSinceEpoch());
    }
    // A banned player's kick goes first; the header is read at the next status.
    if (enforceBans(table.rows)) {
        return;
    }
    if (m_lastAutomatic) {
        waitSendAutomatic(kMapName);
    } else {
        WaitSend(kMapName);
    }
}

void ServerSession::takeMapReply(const QString& ReplyText)
{
    setHeader(m_hostName, ReplyRouter::parseMapName(ReplyText), m_playerCount);
    if (ReplyRouter::hostNameWanted(m_hostName)) {
        if (m_lastAutomatic) {
            waitSendAutomatic(QStringLiteral("sv_hostname"));
        } else {
            WaitSend(QStringLiteral("sv_hostname"));
        }
    }
}

void ServerSession::commandSent(const QString& cmd, const QDateTime& at)
{
    // A deferred command leaves with the slot emptied; one sent while it waits is another.
    const bool deferred = !m_automaticDeferred.isEmpty() && m_rcon.PendingCommand().isEmpty() &&
                          cmd == m_automaticDeferred;
    if (m_rcon.PendingCommand().isEmpty()) {
        m_automaticDeferred.clear();
    }
    m_lastAutomatic = std::exchange(m_automaticNext, false) || deferred;
    m_lastRead = std::exchange(m_readNext, false) ? cmd : QString();
    // The real clock, as the replies' (the client's may be a test's).
    m_liveness.requestSent(QDateTime::currentMSecsSinceEpoch(), m_lastAutomatic);
    scheduleLivenessCheck();
    // The one place that empties the accumulator: whoever sends "status", the table that
    // answers it is read alone.
    if (ReplyRouter::route(cmd).action == ReplyRouter::Action::GetPlayers) {
        m_statusReply.restart();
    }
    if (!m_lastAutomatic) {
        Q_EMIT statusMessage(
            tr("Last command: /%1 at %2").arg(cmd, at.time().toString(u"HH:mm:ss")));
    }
    // The server needs a moment to load the map before it names it.
    if (ReplyRouter::changesMap(cmd)) {
        WaitSend(kMapName);
    }
    if (!m_lastAutomatic) {
        rereadSetValue(cmd);
    }
}

void ServerSession::setHeader(const QString& hostName, const QString& mapName,
                              const QString& playerCount)
{
    if (hostName == m_hostName && mapName == m_mapName && playerCount == m_playerCount) {
        return;
    }
    m_hostName = hostName;
    m_mapName = mapName;
    m_playerCount = playerCount;
    Q_EMIT headerChanged();
}

// A deferred command would be replaced by the "mapname" query that the status reply arms, and
// the reply to a command just sent would be routed as part of the status table: the refresh
// waits until neither can happen.
void ServerSession::refresh()
{
    m_refreshRetry.stop();
    if (!m_rcon.isOpen()) {
        return;
    }
    // A socket that took "port unreachable" answers may stay deaf to the server once it is
    // back (as under Wine): while the server is silent, each probe leaves on a new one.
    if (m_liveness.state() == ServerLiveness::State::NotAnswering) {
        m_rcon.renewSocket();
    }
    const qint64 quiet = m_rcon.quietMs();
    if (!m_rcon.PendingCommand().isEmpty() || quiet < kRefreshQuietMs) {
        m_refreshRetry.start(static_cast<int>(std::max<qint64>(kRefreshQuietMs - quiet, 100)));
        return;
    }
    sendAutomatic(QStringLiteral("status"));
}

void ServerSession::readValues(const QStringList& names)
{
    // What was asked for last goes first: the page now in view.
    QStringList reads = names;
    for (const QString& name : std::as_const(m_reads)) {
        if (!reads.contains(name, Qt::CaseInsensitive)) {
            reads.append(name);
        }
    }
    m_reads = reads;
    for (const QString& name : names) {
        if (!m_readNames.contains(name, Qt::CaseInsensitive)) {
            m_readNames.append(name);
        }
    }
    readNextValue();
}

// Like the refresh, a read neither replaces a deferred command nor goes out while the reply to
// another command may still be arriving; after a read's own one-datagram reply, the pace will do.
void ServerSession::readNextValue()
{
    m_readRetry.stop();
    if (m_reads.isEmpty() || !m_rcon.isOpen()) {
        return;
    }
    const qint64 wanted = m_lastRead.isEmpty() ? kRefreshQuietMs : kReadPaceMs;
    const qint64 quiet = m_rcon.quietMs();
    if (!m_rcon.PendingCommand().isEmpty() || quiet < wanted) {
        m_readRetry.start(static_cast<int>(std::max<qint64>(wanted - quiet, 100)));
        return;
    }
    m_readNext = true;
    sendAutomatic(m_reads.takeFirst());
    // A server that does not answer does not hold up the rest.
    m_readRetry.start(static_cast<int>(kReadPaceMs));
}

// "sv_maxping 300", "set sv_privatePassword x": what the user set is read again, once the
// command's own reply is in.
void ServerSession::rereadSetValue(const QString& cmd)
{
    QStringList words = cmd.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty() &&
        (words.first().compare(QLatin1String("set"), Qt::CaseInsensitive) == 0 ||
         words.first().compare(QLatin1String("seta"), Qt::CaseInsensitive) == 0)) {
        words.removeFirst();
    }
    if (words.size() < 2) {
        return;
    }
    for (const QString& name : std::as_const(m_readNames)) {
        if (name.compare(words.first(), Qt::CaseInsensitive) == 0) {
            readValues({name});
            return;
        }
    }
}

void ServerSession::setBanSource(BanSource* source)
{
    if (m_banSource) {
        disconnect(m_banSource, nullptr, this, nullptr);
    }
    m_banSource = source;
    m_enforcer.setBans({}, QDateTime::currentDateTimeUtc());
    if (!m_banSource) {
        return;
    }
    connect(m_banSource, &BanSource::listed, this, [this](const QList<BanRecord>& bans) {
        m_enforcer.setBans(bans, QDateTime::currentDateTimeUtc());
    });
    connect(m_banSource, &BanSource::listChanged, m_banSource, &BanSource::list);
    m_banSource->list();
}

QStringList ServerSession::banServerNames() const
{
    QStringList names{serverKey()};
    if (m_hostName != kLoading && m_hostName != QLatin1String("nohostname")) {
        names.append(GameColours::shownText(m_hostName).trimmed());
    }
    return names;
}

bool ServerSession::enforceBans(const QList<PlayerRow>& rows)
{
    if (!m_banSource || DaemonFlag() == QLatin1String("1")) {
        return false;
    }
    const QList<BanEnforcer::Kick> kicks =
        m_enforcer.check(rows, banServerNames(), QDateTime::currentDateTimeUtc());
    for (const BanEnforcer::Kick& kick : kicks) {
        const QString command = QStringLiteral("clientkick ") + kick.slot;
        // The status before the kick went out names him again.
        if (m_enforcement.contains(command)) {
            continue;
        }
        m_enforcement.append(QStringLiteral("tell ") + kick.slot + QLatin1Char(' ') +
                             BanEnforcer::tellText(kick.reason));
        m_enforcement.append(command);
        Q_EMIT playerKeptOut(kick.name, kick.banId, kick.reason);
        for (const PlayerRow& row : rows) {
            if (row[PlayerRow::Slot].trimmed() == kick.slot) {
                recordAction(QStringList(row.cells.begin(), row.cells.end()), command,
                             tr("ban %1: %2").arg(kick.banId).arg(kick.reason));
            }
        }
    }
    sendNextEnforcement();
    return !m_enforcement.isEmpty();
}

// Paced as the reads are: the engine ignores a command that follows another too closely, and a
// deferred command waiting to leave goes first.
void ServerSession::sendNextEnforcement()
{
    m_enforcementRetry.stop();
    if (m_enforcement.isEmpty() || !m_rcon.isOpen()) {
        return;
    }
    const qint64 quiet = m_rcon.quietMs();
    if (!m_rcon.PendingCommand().isEmpty() || quiet < kReadPaceMs) {
        m_enforcementRetry.start(static_cast<int>(std::max<qint64>(kReadPaceMs - quiet, 100)));
        return;
    }
    m_rcon.Send(m_enforcement.takeFirst());
    if (!m_enforcement.isEmpty()) {
        m_enforcementRetry.start(static_cast<int>(kReadPaceMs));
    }
}

void ServerSession::scheduleLivenessCheck()
{
    const std::optional<qint64> deadline = m_liveness.nextDeadline();
    if (!deadline) {
        m_livenessCheck.stop();
        return;
    }
    const qint64 wait = *deadline - QDateTime::currentMSecsSinceEpoch();
    m_livenessCheck.start(static_cast<int>(std::clamp<qint64>(wait, 0, 60 * 60 * 1000)));
}

void ServerSession::checkLiveness()
{
    if (m_liveness.check(QDateTime::currentMSecsSinceEpoch()) ==
        ServerLiveness::Change::StoppedAnswering) {
        m_gridModel.setStale(true);
        m_probe.start();
        Q_EMIT stoppedAnswering(QDateTime::fromMSecsSinceEpoch(m_liveness.silentSince()));
    }
    scheduleLivenessCheck();
}

bool ServerSession::pagesAllowed() const
{
    return DaemonFlag() != QLatin1String("1") || m_level == QLatin1String("admin") ||
           m_level == QLatin1String("poweradmin");
}

bool ServerSession::commandLineAllowed() const
{
    return DaemonFlag() != QLatin1String("1") || m_level == QLatin1String("poweradmin");
}

QString ServerSession::actor() const
{
    return DaemonFlag() == QLatin1String("1") ? m_daemonUser : QStringLiteral("rcon");
}

void ServerSession::recordAction(const QStringList& cells, const QString& command,
                                 const QString& reason)
{
    if (!m_recorder) {
        return;
    }
    PlayerAction action;
    action.at = QDateTime::currentSecsSinceEpoch();
    action.serverKey = serverKey();
    action.actor = actor();
    action.command = command;
    action.name = cells.value(PlayerRow::Name);
    action.guid = cells.value(PlayerRow::Guid);
    action.slot = cells.value(PlayerRow::Slot);
    action.address = cells.value(PlayerRow::Address);
    action.reason = reason;
    m_recorder->recordAction(action);
}

void ServerSession::takeGameEvent(const DaemonEvent& event)
{
    using Kind = DaemonEvent::Kind;
    const QDateTime at = event.at().isValid() ? event.at() : QDateTime::currentDateTimeUtc();
    const QString guid = event.value(QStringLiteral("guid"));
    const QString name = event.value(QStringLiteral("name"));
    const QString shownName = GameColours::shownText(name);
    switch (event.kind) {
    case Kind::Chat:
        Q_EMIT gameChat(event);
        break;
    case Kind::Join:
    case Kind::Quit:
        if (event.kind == Kind::Join) {
            m_joins.insert(joinKey(guid, name), at);
            if (!m_joinsExpiry.isActive()) {
                m_joinsExpiry.start();
            }
            Q_EMIT recentJoinsChanged();
        }
        if (m_recorder) {
            m_recorder->recordPresence(
                {at.toSecsSinceEpoch(), serverKey(), guid, name, event.kind == Kind::Join});
        }
        break;
    case Kind::Alert:
        Q_EMIT gameNotice(
            tr("Alert: \"%1\"").arg(event.value(QStringLiteral("word"))),
            tr("%1 said: %2")
                .arg(shownName, GameColours::shownText(event.value(QStringLiteral("text")))));
        break;
    case Kind::Report: {
        PlayerReport report;
        report.key = event.value(QStringLiteral("id"));
        report.at = at.toSecsSinceEpoch();
        report.serverKey = serverKey();
        report.reporterGuid = guid;
        report.reporterName = name;
        report.reportedGuid = event.value(QStringLiteral("otherguid"));
        report.reportedName = event.value(QStringLiteral("othername"));
        report.reason = event.value(QStringLiteral("text"));
        if (m_recorder) {
            m_recorder->recordReport(report);
        }
        const QString reported = GameColours::shownText(report.reportedName);
        Q_EMIT gameNotice(tr("Report: %1").arg(reported),
                          report.reason.isEmpty()
                              ? tr("%1 reported %2").arg(shownName, reported)
                              : tr("%1 reported %2: %3").arg(shownName, reported, report.reason));
        break;
    }
    case Kind::Server:
        Q_EMIT daemonServerEvent(event);
        break;
    case Kind::Refused:
        Q_EMIT statusMessage(
            tr("The daemon sends no live events: %1").arg(event.value(QStringLiteral("reason"))));
        break;
    case Kind::Lost:
        Q_EMIT statusMessage(tr("%1 live events were lost: GARRISON took them too slowly.")
                                 .arg(event.value(QStringLiteral("count"))));
        break;
    default:
        break;
    }
}

QDateTime ServerSession::recentJoin(const QStringList& cells) const
{
    if (m_joins.isEmpty()) {
        return {};
    }
    const QDateTime at =
        m_joins.value(joinKey(cells.value(PlayerRow::Guid), cells.value(PlayerRow::Name)));
    return at.isValid() && at.secsTo(QDateTime::currentDateTimeUtc()) <= kRecentJoinSecs
               ? at
               : QDateTime();
}

void ServerSession::forgetOldJoins()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const qsizetype removed = m_joins.removeIf(
        [&now](const auto& join) { return join.value().secsTo(now) > kRecentJoinSecs; });
    if (m_joins.isEmpty()) {
        m_joinsExpiry.stop();
    }
    if (removed > 0) {
        Q_EMIT recentJoinsChanged();
    }
}

} // namespace garrison
