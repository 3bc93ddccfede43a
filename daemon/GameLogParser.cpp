#include "GameLogParser.h"

#include <optional>

namespace garrisond {

namespace {

using Kind = GameLogLine::Kind;

// Chat texts begin with it in some versions of the engine; no name holds it.
constexpr char kChatMark = '\x15';
// Slots beyond this are no player's: the parser does not remember them.
constexpr int kMaxSlot = 1023;

// The next field up to ';' (or the end); `rest` moves past the ';'.
QByteArrayView field(QByteArrayView& rest, bool* found = nullptr)
{
    const qsizetype end = rest.indexOf(';');
    if (found != nullptr) {
        *found = end >= 0;
    }
    const QByteArrayView taken = end < 0 ? rest : rest.first(end);
    rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
    return taken;
}

std::optional<int> number(QByteArrayView text)
{
    const bool negative = text.startsWith('-');
    const QByteArrayView digits = negative ? text.sliced(1) : text;
    if (digits.isEmpty() || digits.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

bool isTeamWord(QByteArrayView text)
{
    if (text.size() > 16) {
        return false;
    }
    for (const char c : text) {
        if (c < 'a' || c > 'z') {
            return false;
        }
    }
    return true;
}

// "  12:05 " at the start: the server's running time. Minutes may have any number of digits.
qint64 stamp(QByteArrayView& line)
{
    qsizetype at = 0;
    while (at < line.size() && line[at] == ' ') {
        ++at;
    }
    const qsizetype minutesAt = at;
    qint64 minutes = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9' && at - minutesAt < 12) {
        minutes = minutes * 10 + (line[at] - '0');
        ++at;
    }
    const auto digit = [&line](qsizetype i) {
        return i < line.size() && line[i] >= '0' && line[i] <= '9';
    };
    if (at == minutesAt || at + 2 >= line.size() || line[at] != ':' || !digit(at + 1) ||
        !digit(at + 2) || (at + 3 < line.size() && line[at + 3] != ' ')) {
        return -1;
    }
    const qint64 seconds = (line[at + 1] - '0') * 10 + (line[at + 2] - '0');
    line = line.sliced(std::min(at + 4, line.size()));
    return minutes * 60 + seconds;
}

// The value of one key of an info string "\key\value\key\value".
QByteArray infoValue(QByteArrayView info, QByteArrayView key)
{
    qsizetype at = info.indexOf('\\');
    while (at >= 0 && at < info.size()) {
        const qsizetype keyEnd = info.indexOf('\\', at + 1);
        if (keyEnd < 0) {
            break;
        }
        qsizetype valueEnd = info.indexOf('\\', keyEnd + 1);
        if (valueEnd < 0) {
            valueEnd = info.size();
        }
        if (info.sliced(at + 1, keyEnd - at - 1) == key) {
            return info.sliced(keyEnd + 1, valueEnd - keyEnd - 1).toByteArray();
        }
        at = valueEnd;
    }
    return {};
}

// GUID;SLOT; of a player line.
bool takePlayer(QByteArrayView& rest, GameLogLine::Player& player)
{
    bool found = false;
    player.guid = field(rest, &found).toByteArray();
    if (!found) {
        return false;
    }
    const std::optional<int> slot = number(field(rest, &found));
    if (!found || !slot) {
        return false;
    }
    player.slot = *slot;
    return true;
}

} // namespace

GameLogLine GameLogParser::parse(QByteArrayView bytes)
{
    GameLogLine line;
    if (bytes.endsWith('\n')) {
        bytes.chop(1);
    }
    if (bytes.endsWith('\r')) {
        bytes.chop(1);
    }
    line.uptime = stamp(bytes);
    line.text = bytes.toByteArray();

    QByteArrayView rest = bytes;
    const QByteArrayView tag = field(rest);
    bool parsed = false;
    if (tag == "say" || tag == "sayteam") {
        line.kind = tag == "say" ? Kind::Say : Kind::SayTeam;
        parsed = parseChat(rest, line);
    } else if (tag == "J" || tag == "Q") {
        line.kind = tag == "J" ? Kind::Join : Kind::Quit;
        parsed = takePlayer(rest, line.player);
        line.player.name = rest.toByteArray();
    } else if (tag == "JT") {
        line.kind = Kind::JoinTeam;
        parsed = takePlayer(rest, line.player);
        line.player.team = field(rest).toByteArray();
        line.player.name = (rest.endsWith(';') ? rest.chopped(1) : rest).toByteArray();
    } else if (tag == "K" || tag == "D") {
        line.kind = tag == "K" ? Kind::Kill : Kind::Damage;
        parsed = parseHit(rest, line);
    } else if (bytes.startsWith("InitGame:")) {
        line.kind = Kind::InitGame;
        line.map = infoValue(bytes, "mapname");
        line.gameType = infoValue(bytes, "g_gametype");
        parsed = true;
    } else if (bytes.startsWith("ShutdownGame:")) {
        line.kind = Kind::ShutdownGame;
        parsed = true;
    } else if (bytes.startsWith("ExitLevel:")) {
        line.kind = Kind::ExitLevel;
        parsed = true;
    }
    if (!parsed) {
        GameLogLine other;
        other.uptime = line.uptime;
        other.text = std::move(line.text);
        return other;
    }
    remember(line);
    return line;
}

bool GameLogParser::parseChat(QByteArrayView rest, GameLogLine& line) const
{
    if (!takePlayer(rest, line.player)) {
        return false;
    }
    qsizetype nameEnd = rest.indexOf(QByteArrayView(";\x15", 2));
    if (nameEnd < 0) {
        const QByteArray known = m_slots.value(line.player.slot).name;
        nameEnd = !known.isEmpty() && rest.size() > known.size() && rest.startsWith(known) &&
                          rest[known.size()] == ';'
                      ? known.size()
                      : rest.indexOf(';');
    }
    if (nameEnd < 0) {
        return false;
    }
    line.player.name = rest.first(nameEnd).toByteArray();
    line.player.team = m_slots.value(line.player.slot).team;
    QByteArrayView message = rest.sliced(nameEnd + 1);
    while (message.startsWith(kChatMark)) {
        message = message.sliced(1);
    }
    line.message = message.toByteArray();
    return true;
}

bool GameLogParser::parseHit(QByteArrayView rest, GameLogLine& line) const
{
    if (!takePlayer(rest, line.player)) {
        return false;
    }
    bool found = false;
    line.player.team = field(rest, &found).toByteArray();
    // The last four fields hold no ';': hit location, means, damage, weapon.
    QByteArrayView back[4];
    for (QByteArrayView& part : back) {
        const qsizetype cut = rest.lastIndexOf(';');
        if (!found || cut < 0) {
            return false;
        }
        part = rest.sliced(cut + 1);
        rest = rest.first(cut);
    }
    const std::optional<int> damage = number(back[2]);
    if (!damage) {
        return false;
    }
    line.hitLocation = back[0].toByteArray();
    line.means = back[1].toByteArray();
    line.damage = *damage;
    line.weapon = back[3].toByteArray();

    // rest: VNAME;AGUID;ASLOT;ATEAM;ANAME. The victim's name ends where the attacker's fields
    // fit, tried first after the name the victim joined with.
    const auto attackerAfter = [&](qsizetype nameEnd) {
        QByteArrayView after = rest.sliced(nameEnd + 1);
        GameLogLine::Player attacker;
        bool teamFound = false;
        if (!takePlayer(after, attacker)) {
            return false;
        }
        attacker.team = field(after, &teamFound).toByteArray();
        if (!teamFound || !isTeamWord(attacker.team)) {
            return false;
        }
        attacker.name = after.toByteArray();
        line.attacker = std::move(attacker);
        line.player.name = rest.first(nameEnd).toByteArray();
        return true;
    };
    const QByteArray known = m_slots.value(line.player.slot).name;
    if (!known.isEmpty() && rest.size() > known.size() && rest.startsWith(known) &&
        rest[known.size()] == ';' && attackerAfter(known.size())) {
        return true;
    }
    for (qsizetype cut = rest.indexOf(';'); cut >= 0; cut = rest.indexOf(';', cut + 1)) {
        if (attackerAfter(cut)) {
            return true;
        }
    }
    return false;
}

void GameLogParser::remember(const GameLogLine& line)
{
    const auto holds = [](const GameLogLine::Player& player) {
        return player.slot >= 0 && player.slot <= kMaxSlot && !player.name.isEmpty();
    };
    switch (line.kind) {
    case Kind::Join:
        if (holds(line.player)) {
            m_slots.insert(line.player.slot, {line.player.name, {}});
        }
        break;
    case Kind::Quit:
        m_slots.remove(line.player.slot);
        break;
    case Kind::JoinTeam:
        if (holds(line.player)) {
            m_slots.insert(line.player.slot, {line.player.name, line.player.team});
        }
        break;
    case Kind::Say:
    case Kind::SayTeam:
        if (holds(line.player) && !m_slots.contains(line.player.slot)) {
            m_slots.insert(line.player.slot, {line.player.name, {}});
        }
        break;
    case Kind::Kill:
    case Kind::Damage:
        for (const GameLogLine::Player* player : {&line.player, &line.attacker}) {
            if (holds(*player)) {
                m_slots.insert(player->slot, {player->name, player->team});
            }
        }
        break;
    default:
        break;
    }
}

} // namespace garrisond
