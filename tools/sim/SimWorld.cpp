#include "SimWorld.h"

#include "SimText.h"

#include <QCryptographicHash>
#include <algorithm>
#include <array>

namespace garrison::sim {

namespace {

using Kind = SimPlayer::Kind;
using State = SimPlayer::State;

constexpr int kArchetypes = 5;
constexpr int kConnectingArchetype = 4;

const std::array kPhrases = {
    u"gg",
    u"nice shot",
    u"lol",
    u"who is camping in the church?",
    u"rush the bridge",
    u"lag!!",
    u"^1red ^7team wins",
    u"anyone up for a clan match?",
    u"brb",
    u"good game all",
};

// Stable across runs and platforms, unlike qHash.
quint32 fingerprint(const QString& text)
{
    quint32 hash = 2166136261u;
    for (const QChar c : text) {
        hash = (hash ^ c.unicode()) * 16777619u;
    }
    return hash;
}

// Milliseconds since the player's last packet, as real servers print them from a draw of 0 to
// 999: nine times in ten within 100, otherwise a few hundred.
int lastMessage(quint32 draw)
{
    return static_cast<int>(draw < 900 ? draw % 101 : 100 + (draw - 900) * 3);
}

} // namespace

SimWorld::SimWorld(quint32 seed, QObject* parent) : QObject(parent), m_random(seed)
{
    m_pool = {
        {QStringLiteral("^1Red^7Baron"), Kind::Human},
        {QStringLiteral("Sgt Pepper"), Kind::Human},
        {QStringLiteral("Fifteen_Letters"), Kind::Human},
        {QStringLiteral("bot0"), Kind::Bot},
        {QStringLiteral("NewRecruit"), Kind::Human},
        {QStringLiteral("^4Blue^2Fox"), Kind::Human},
        {QStringLiteral("Pirate"), Kind::Human},
        {QStringLiteral("Hans Wurst"), Kind::Human},
        {QStringLiteral("^3Sunny"), Kind::Human},
        {QStringLiteral("Nickname"), Kind::Human},
        {QStringLiteral("Kowalski"), Kind::Human},
        {QStringLiteral("Sniper_Elite_99"), Kind::Human},
        {QStringLiteral("^5Ice^7Man"), Kind::Human},
        {QStringLiteral("Doc"), Kind::Human},
        {QStringLiteral("Major Pain"), Kind::Human},
        {QStringLiteral("Lt Dan"), Kind::Human},
        {QStringLiteral("^6Pink^7Panther"), Kind::Human},
        {QStringLiteral("Wolf"), Kind::Human},
        {QStringLiteral("Eagle Eye"), Kind::Human},
        {QStringLiteral("Nomad"), Kind::Human},
        {QStringLiteral("Viper"), Kind::Human},
        {QStringLiteral("Falcon"), Kind::Human},
        {QStringLiteral("Raven"), Kind::Human},
        {QStringLiteral("Smitty"), Kind::Human},
        {QStringLiteral("Rookie"), Kind::Human},
        {QStringLiteral("^2Green^7Beret"), Kind::Human},
        {QStringLiteral("Iron Mike"), Kind::Human},
        {QStringLiteral("Gunny"), Kind::Human},
        {QStringLiteral("Frosty"), Kind::Human},
        {QStringLiteral("Scout"), Kind::Human},
        {QStringLiteral("bot1"), Kind::Bot},
    };
    for (int i = 1; m_pool.size() < 64; ++i) {
        m_pool.append({QStringLiteral("Soldier%1").arg(i), Kind::Human});
    }
}

void SimWorld::populate(int count)
{
    m_target = std::clamp(count, 0, m_maxClients);
    for (int slot = 0; slot < m_target; ++slot) {
        SimPlayer player = makePlayer(m_pool.at(slot), slot);
        if (slot != kConnectingArchetype || m_target < kArchetypes) {
            player.state = State::Active;
            player.ping =
                player.kind == Kind::Bot ? 0 : 40 + static_cast<int>(m_random.bounded(80));
            if (player.kind == Kind::Human) {
                // From the name: a draw of the generator here would change the whole story.
                player.lastMsg = lastMessage(fingerprint(player.name) % 1000);
            }
        }
        addPlayer(player);
    }
}

void SimWorld::setMaxClients(int maxClients)
{
    m_maxClients = std::clamp(maxClients, 1, 64);
}

const SimPlayer* SimWorld::playerBySlot(int slot) const
{
    for (const SimPlayer& player : m_players) {
        if (player.slot == slot) {
            return &player;
        }
    }
    return nullptr;
}

const SimPlayer* SimWorld::playerByName(QStringView name) const
{
    const QString wanted = SimText::stripColours(name);
    for (const SimPlayer& player : m_players) {
        if (player.plainName().compare(wanted, Qt::CaseInsensitive) == 0) {
            return &player;
        }
    }
    return nullptr;
}

void SimWorld::addPlayer(const SimPlayer& player)
{
    const auto at = std::lower_bound(m_players.begin(), m_players.end(), player.slot,
                                     [](const SimPlayer& p, int slot) { return p.slot < slot; });
    if (at != m_players.end() && at->slot == player.slot) {
        *at = player;
    } else {
        m_players.insert(at, player);
    }
}

bool SimWorld::dropPlayer(int slot)
{
    for (qsizetype i = 0; i < m_players.size(); ++i) {
        if (m_players.at(i).slot == slot) {
            const SimPlayer gone = m_players.takeAt(i);
            Q_EMIT gameLogLine(
                QStringLiteral("Q;%1;%2;%3").arg(gone.guid).arg(gone.slot).arg(gone.name));
            Q_EMIT playerLeft(gone);
            return true;
        }
    }
    return false;
}

int SimWorld::joinNow(const QString& name, qint32 guid, const QString& ip, quint16 port)
{
    const int slot = freeSlot();
    if (slot < 0) {
        return -1;
    }
    SimPlayer player = makePlayer({name, Kind::Human}, slot);
    player.guid = guid;
    if (!ip.isEmpty()) {
        player.ip = ip;
        player.port = port;
    }
    player.state = State::Active;
    player.ping = 50;
    addPlayer(player);
    Q_EMIT playerConnected(player);
    Q_EMIT gameLogLine(
        QStringLiteral("J;%1;%2;%3").arg(player.guid).arg(player.slot).arg(player.name));
    return slot;
}

void SimWorld::ban(const SimPlayer& player, SimBan::Source source, qint64 durationMs)
{
    m_bans.append(
        {player.guid, player.name, player.ip, source, durationMs < 0 ? -1 : m_now + durationMs});
}

int SimWorld::unbanName(QStringView name)
{
    const QString wanted = SimText::stripColours(name);
    return static_cast<int>(m_bans.removeIf([&](const SimBan& ban) {
        return ban.source == SimBan::Source::Game &&
               SimText::stripColours(ban.name).compare(wanted, Qt::CaseInsensitive) == 0;
    }));
}

void SimWorld::unbanGuid(qint32 guid, SimBan::Source source)
{
    m_bans.removeIf([&](const SimBan& ban) { return ban.guid == guid && ban.source == source; });
}

bool SimWorld::isBanned(qint32 guid) const
{
    return std::any_of(m_bans.cbegin(), m_bans.cend(), [&](const SimBan& ban) {
        return ban.guid == guid && (ban.until < 0 || m_now < ban.until);
    });
}

void SimWorld::restartMap(bool reconnect)
{
    m_players.removeIf([](const SimPlayer& p) { return p.state == State::Zombie; });
    for (SimPlayer& player : m_players) {
        player.score = 0;
        if (reconnect && player.kind == Kind::Human) {
            player.state = State::Connecting;
            player.since = m_now;
            player.lastMsg = 0;
        }
    }
}

void SimWorld::say(int slot, const QString& text, bool team)
{
    const SimPlayer* player = playerBySlot(slot);
    if (player == nullptr) {
        return;
    }
    // Newer versions of the engine put the control byte 0x15 before the text.
    Q_EMIT gameLogLine(QStringLiteral("%1;%2;%3;%4;\u0015%5")
                           .arg(team ? QStringLiteral("sayteam") : QStringLiteral("say"))
                           .arg(player->guid)
                           .arg(player->slot)
                           .arg(player->name, text));
    Q_EMIT chatLine(player->slot, player->name, text);
}

void SimWorld::tick(int ms)
{
    // Whole seconds at most, so that one long tick tells the same story as many short ones.
    while (ms > 0) {
        const int part = std::min(ms, 1000);
        step(part);
        ms -= part;
    }
}

QString SimWorld::teamOf(int slot)
{
    return slot % 2 == 0 ? QStringLiteral("axis") : QStringLiteral("allies");
}

void SimWorld::kill(const SimPlayer& attacker)
{
    QList<const SimPlayer*> victims;
    for (const SimPlayer& player : std::as_const(m_players)) {
        if (player.state == State::Active && teamOf(player.slot) != teamOf(attacker.slot)) {
            victims.append(&player);
        }
    }
    if (victims.isEmpty()) {
        return;
    }
    static constexpr std::array kWeapons = {u"m1garand_mp", u"thompson_mp", u"kar98k_mp",
                                            u"mp40_mp", u"frag_grenade_mp"};
    static constexpr std::array kPlaces = {u"head", u"torso_upper", u"left_arm_lower",
                                           u"right_leg_upper"};
    const SimPlayer& victim = *victims[static_cast<int>(m_random.bounded(victims.size()))];
    const QString weapon =
        QString::fromUtf16(kWeapons[m_random.bounded(static_cast<int>(kWeapons.size()))]);
    const QString place =
        QString::fromUtf16(kPlaces[m_random.bounded(static_cast<int>(kPlaces.size()))]);
    const QString means = weapon.startsWith(u"frag") ? QStringLiteral("MOD_GRENADE_SPLASH")
                                                     : QStringLiteral("MOD_RIFLE_BULLET");
    Q_EMIT gameLogLine(QStringList{QStringLiteral("K"), QString::number(victim.guid),
                                   QString::number(victim.slot), teamOf(victim.slot), victim.name,
                                   QString::number(attacker.guid), QString::number(attacker.slot),
                                   teamOf(attacker.slot), attacker.name, weapon,
                                   QStringLiteral("100"), means, place}
                           .join(u';'));
}

bool SimWorld::chance(int perMillePerSecond, int ms)
{
    return static_cast<int>(m_random.bounded(1000 * 1000)) < perMillePerSecond * ms;
}

SimPlayer SimWorld::makePlayer(const Candidate& candidate, int slot) const
{
    static const std::array kNetworks = {u"192.0.2.", u"198.51.100.", u"203.0.113."};
    static const std::array kRates = {25000, 25000, 20000, 5000};
    const quint32 hash = fingerprint(candidate.name);

    SimPlayer player;
    player.slot = slot;
    player.name = candidate.name;
    player.kind = candidate.kind;
    player.state = State::Connecting;
    player.since = m_now;
    player.pbGuid = QString::fromLatin1(
        QCryptographicHash::hash(candidate.name.toUtf8(), QCryptographicHash::Md5).toHex());
    if (candidate.kind == Kind::Bot) {
        player.rate = 5000;
        return player;
    }
    player.guid = static_cast<qint32>(hash & 0x7FFFFFFF);
    player.ip = QString::fromUtf16(kNetworks[hash % kNetworks.size()]) +
                QString::number(1 + (hash >> 8) % 254);
    player.port =
        (hash >> 16) % 4 == 0 || m_highPorts ? static_cast<quint16>(40000 + hash % 20000) : 28960;
    // High qports print as six characters, filling their column.
    player.qport = static_cast<quint16>(m_highPorts ? 32768 + (hash >> 3) % 20000 : hash >> 3);
    player.rate = kRates[(hash >> 5) % kRates.size()];
    return player;
}

int SimWorld::freeSlot() const
{
    for (int slot = 0; slot < m_maxClients; ++slot) {
        if (playerBySlot(slot) == nullptr) {
            return slot;
        }
    }
    return -1;
}

void SimWorld::join()
{
    QList<const Candidate*> eligible;
    for (const Candidate& candidate : m_pool) {
        const SimPlayer sample = makePlayer(candidate, 0);
        if (playerByName(candidate.name) == nullptr && !isBanned(sample.guid) &&
            candidate.kind == Kind::Human) {
            eligible.append(&candidate);
        }
    }
    const int slot = freeSlot();
    if (eligible.isEmpty() || slot < 0) {
        return;
    }
    const SimPlayer player =
        makePlayer(*eligible.at(static_cast<qsizetype>(m_random.bounded(eligible.size()))), slot);
    addPlayer(player);
    Q_EMIT playerConnected(player);
}

void SimWorld::leave(SimPlayer& player)
{
    player.state = State::Zombie;
    player.since = m_now;
    Q_EMIT gameLogLine(
        QStringLiteral("Q;%1;%2;%3").arg(player.guid).arg(player.slot).arg(player.name));
    Q_EMIT playerLeft(player);
}

void SimWorld::step(int ms)
{
    m_now += ms;
    QList<int> gone;
    QList<int> talkers;
    for (SimPlayer& player : m_players) {
        switch (player.state) {
        case State::Connecting:
            player.lastMsg = static_cast<int>(m_now - player.since);
            if (m_now - player.since >= kConnectingMs) {
                player.state = State::Active;
                player.since = m_now;
                player.lastMsg = 0;
                player.ping = 40 + static_cast<int>(m_random.bounded(80));
                Q_EMIT gameLogLine(QStringLiteral("J;%1;%2;%3")
                                       .arg(player.guid)
                                       .arg(player.slot)
                                       .arg(player.name));
            }
            break;
        case State::Zombie:
            player.lastMsg = static_cast<int>(m_now - player.since);
            if (m_now - player.since >= kZombieMs) {
                gone.append(player.slot);
            }
            break;
        case State::Active:
            if (chance(200, ms)) {
                player.score += 10;
                kill(player);
            }
            if (player.kind != Kind::Human) {
                break;
            }
            player.ping =
                std::clamp(player.ping + static_cast<int>(m_random.bounded(21)) - 10, 5, 400);
            player.lastMsg = lastMessage(m_random.bounded(1000));
            if (chance(3, ms)) {
                leave(player);
            } else if (chance(30, ms)) {
                talkers.append(player.slot);
            }
            break;
        }
    }
    m_players.removeIf([&](const SimPlayer& p) { return gone.contains(p.slot); });
    for (const int slot : talkers) {
        say(slot, QString::fromUtf16(kPhrases[m_random.bounded(static_cast<int>(kPhrases.size()))]),
            m_random.bounded(4) == 0);
    }
    if (m_players.size() < m_target && chance(80, ms)) {
        join();
    }
}

} // namespace garrison::sim
