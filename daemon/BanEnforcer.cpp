#include "BanEnforcer.h"

#include "BanStore.h"
#include "DaemonConfig.h"

#include <QRegularExpression>

using garrison::BanRecord;

namespace garrisond {

namespace {

// Players whose chat is remembered; beyond it, those no longer present are forgotten.
constexpr qsizetype kRememberedPlayers = 1024;

QString withoutControls(QString text)
{
    for (QChar& character : text) {
        if (character.category() == QChar::Other_Control) {
            character = u' ';
        }
    }
    return text;
}

} // namespace

BanEnforcer::BanEnforcer(BanStore& store, QObject* parent)
    : QObject(parent), m_store(store), m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(kStatusDelayMs);
    connect(&m_statusTimer, &QTimer::timeout, this,
            [this] { m_rcon.send(QStringLiteral("status")); });
    connect(&m_rcon, &RconChannel::replyText, this, &BanEnforcer::takeStatus);
}

void BanEnforcer::configure(const DaemonConfig& config)
{
    m_rcon.configure(config.rconPassword, config.gameServerPort());
    m_serverName = config.notificationName();
}

void BanEnforcer::takeEvent(const GameEvent& event)
{
    const GameEvent::Player& who = event.player;
    switch (event.kind) {
    case GameEvent::Kind::Join: {
        Player player{who.slot, who.guid, who.name, {}};
        // The address is known from a status, for the same player in that slot.
        if (const auto known = m_present.constFind(who.slot);
            known != m_present.cend() && known->guid == who.guid) {
            player.address = known->address;
        }
        m_present.insert(who.slot, player);
        // A new connection: a kick just before was another player's, or missed.
        m_kickedAt.remove(who.slot);
        m_names.insert(who.guid.toLower(), who.name);
        if (!check(player) && player.address.isEmpty() && m_store.hasAddressBans() &&
            !m_statusTimer.isActive()) {
            m_statusTimer.start();
        }
        break;
    }
    case GameEvent::Kind::Quit:
        m_present.remove(who.slot);
        m_kickedAt.remove(who.slot);
        break;
    case GameEvent::Kind::Chat: {
        const QString guid = who.guid.toLower();
        if (guid.isEmpty()) {
            break;
        }
        if (m_chat.size() >= kRememberedPlayers && !m_chat.contains(guid)) {
            QSet<QString> present;
            for (const Player& player : std::as_const(m_present)) {
                present.insert(player.guid.toLower());
            }
            m_chat.removeIf(
                [&present](const auto& entry) { return !present.contains(entry.key()); });
            m_names.removeIf(
                [&present](const auto& entry) { return !present.contains(entry.key()); });
        }
        QStringList& lines = m_chat[guid];
        lines.append(withoutControls(
            QStringLiteral("%1 %2: %3")
                .arg(event.at.toUTC().toString(QStringLiteral("HH:mm:ss")), who.name, event.text)));
        if (lines.size() > kEvidenceLines) {
            lines.removeFirst();
        }
        m_names.insert(guid, who.name);
        break;
    }
    default:
        break;
    }
}

QList<BanEnforcer::Player> BanEnforcer::parseStatus(const QString& text)
{
    // num score ping guid name lastmsg address qport rate; the name may hold blanks.
    static const QRegularExpression line(QStringLiteral(
        "^\\s*(\\d+)\\s+-?\\d+\\s+(?:\\d+|CNCT|ZMBI)\\s+([0-9A-Fa-f]+)\\s(.*?)\\s+-?\\d+\\s+"
        "(\\S+)\\s+-?\\d+\\s+\\d+\\s*$"));
    QList<Player> players;
    for (const QStringView row : QStringView(text).split(u'\n')) {
        const QRegularExpressionMatch match = line.match(row.toString());
        if (!match.hasMatch()) {
            continue;
        }
        QString name = match.captured(3).trimmed();
        if (name.endsWith(QLatin1String("^7"))) {
            name.chop(2);
        }
        players.append({match.captured(1).toInt(), match.captured(2), name, match.captured(4)});
    }
    return players;
}

void BanEnforcer::takeStatus(const QString& text)
{
    for (Player player : parseStatus(text)) {
        if (const auto known = m_present.constFind(player.slot);
            known != m_present.cend() && known->guid == player.guid && !known->name.isEmpty()) {
            player.name = known->name; // the game log's, without the status's padding
        }
        m_present.insert(player.slot, player);
        check(player);
    }
}

void BanEnforcer::recheck(const QList<qint64>& ids)
{
    if (ids.isEmpty() || m_present.isEmpty()) {
        return;
    }
    const QDateTime time = now();
    const QList<Player> present = m_present.values();
    for (const qint64 id : ids) {
        const std::optional<BanRecord> ban = m_store.find(id);
        if (!ban || ban->state(time) != BanRecord::State::Active) {
            continue;
        }
        for (const Player& player : present) {
            if (ban->keepsOut(player.guid, player.address, m_serverName, time)) {
                check(player);
            }
        }
    }
}

void BanEnforcer::recheckAll()
{
    const QList<Player> present = m_present.values();
    for (const Player& player : present) {
        check(player);
    }
}

bool BanEnforcer::check(const Player& player)
{
    const QDateTime time = now();
    const std::optional<BanRecord> ban =
        m_store.keepingOut(player.guid, player.address, m_serverName, time);
    if (!ban) {
        return false;
    }
    const qint64 at = time.toMSecsSinceEpoch();
    if (const auto kicked = m_kickedAt.constFind(player.slot);
        kicked != m_kickedAt.cend() && at - *kicked < kKickRepeatMs) {
        return true;
    }
    m_kickedAt.insert(player.slot, at);
    m_rcon.send(QStringLiteral("tell %1 %2").arg(player.slot).arg(tellText(*ban)));
    m_rcon.send(QStringLiteral("clientkick %1").arg(player.slot));
    Q_EMIT keptOut(*ban, player);
    return true;
}

QString BanEnforcer::tellText(const BanRecord& ban)
{
    QString reason =
        ban.reason.trimmed().isEmpty() ? QStringLiteral("no reason given") : ban.reason.trimmed();
    QString text = QStringLiteral("^1You are banned^7: %1^7 (%2)")
                       .arg(reason, ban.until ? QStringLiteral("until %1 UTC")
                                                    .arg(ban.until->toUTC().toString(
                                                        QStringLiteral("yyyy-MM-dd HH:mm")))
                                              : QStringLiteral("permanently"));
    text = withoutControls(text);
    text.remove(QLatin1Char(';')).remove(QLatin1Char('"'));
    return text.left(kTellLength);
}

} // namespace garrisond
