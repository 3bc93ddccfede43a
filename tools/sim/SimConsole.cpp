#include "SimConsole.h"

#include "SimRedirectBuffer.h"
#include "SimText.h"

namespace garrison::sim {

namespace {

using Kind = SimPlayer::Kind;
using State = SimPlayer::State;

QString lower(const QString& text)
{
    return text.toLower();
}

} // namespace

const QStringList SimConsole::kMaps = {
    QStringLiteral("mp_airfield"),   QStringLiteral("mp_asylum"),
    QStringLiteral("mp_castle"),     QStringLiteral("mp_cliffside"),
    QStringLiteral("mp_courtyard"),  QStringLiteral("mp_dome"),
    QStringLiteral("mp_downfall"),   QStringLiteral("mp_hangar"),
    QStringLiteral("mp_makin"),      QStringLiteral("mp_outskirts"),
    QStringLiteral("mp_roundhouse"), QStringLiteral("mp_seelow"),
    QStringLiteral("mp_upheaval"),   QStringLiteral("mp_kneedeep"),
    QStringLiteral("mp_nachtfeuer"), QStringLiteral("mp_subway"),
    QStringLiteral("mp_stalingrad"), QStringLiteral("mp_docks"),
    QStringLiteral("mp_kwai"),       QStringLiteral("mp_makin_day"),
    QStringLiteral("mp_suburban"),   QStringLiteral("mp_bgate"),
    QStringLiteral("mp_drum"),       QStringLiteral("mp_vodka"),
};

SimConsole::SimConsole(const SimSettings& settings, QObject* parent)
    : QObject(parent), m_dvars(SimDvarTable::withDefaults()), m_world(settings.seed, this),
      m_punkBuster(m_world, this), m_hexGuids(settings.hexGuids), m_highPorts(settings.highPorts)
{
    connect(&m_world, &SimWorld::chatLine, this, &SimConsole::chatLine);
    connect(&m_world, &SimWorld::gameLogLine, this, &SimConsole::gameLogLine);
    connect(&m_punkBuster, &SimPunkBuster::punkBusterLine, this, &SimConsole::punkBusterLine);

    const QString map = kMaps.contains(settings.map.toLower()) ? settings.map.toLower()
                                                               : QStringLiteral("mp_castle");
    m_dvars.force(QStringLiteral("mapname"), map);
    m_dvars.force(QStringLiteral("sv_serverid"),
                  QString::number(m_world.random().bounded(1000000)));
    m_dvars.set(u"g_gametype", settings.gametype);
    setJoinPassword(settings.joinPassword);
    m_dvars.set(u"sv_mapRotation",
                QStringLiteral("gametype tdm map mp_airfield gametype tdm map mp_castle "
                               "gametype dm map mp_dome gametype sd map mp_upheaval"));
    // A server configured for more players than the default slot count raises the count.
    if (settings.players > 24) {
        m_dvars.set(u"sv_maxclients", QString::number(std::min(settings.players, 64)));
    }
    m_world.setMaxClients(m_dvars.value(u"sv_maxclients").toInt());
    m_world.setHighPorts(settings.highPorts);
    m_world.populate(settings.players);
}

void SimConsole::begin()
{
    Q_EMIT gameLogLine(QString(60, u'-'));
    Q_EMIT gameLogLine(initGameLine());
}

QList<QByteArray> SimConsole::execute(const QString& command)
{
    if (m_shutDown) {
        return {};
    }
    Line line;
    line.text = command;
    line.argv = tokenize(command, &line.starts);
    SimRedirectBuffer out;
    if (!line.argv.isEmpty()) {
        run(line, out);
    }
    QList<QByteArray> datagrams = out.finish();
    // The process is gone before the reply would leave.
    if (m_shutDown) {
        return {};
    }
    return datagrams;
}

QString SimConsole::reply(const QString& command)
{
    return SimRedirectBuffer::join(execute(command));
}

void SimConsole::tick(int ms)
{
    if (m_shutDown) {
        return;
    }
    m_world.tick(ms);
    m_punkBuster.tick();
}

QStringList SimConsole::tokenize(QStringView line, QList<qsizetype>* starts)
{
    QStringList argv;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i].unicode() <= u' ') {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        if (starts != nullptr) {
            starts->append(i);
        }
        QString token;
        if (line[i] == u'"') {
            ++i;
            while (i < line.size() && line[i] != u'"') {
                token.append(line[i++]);
            }
            ++i;
        } else {
            while (i < line.size() && line[i].unicode() > u' ') {
                token.append(line[i++]);
            }
        }
        argv.append(token);
    }
    return argv;
}

QString SimConsole::Line::from(qsizetype index) const
{
    if (index >= starts.size()) {
        return {};
    }
    return text.mid(starts.at(index)).trimmed();
}

void SimConsole::run(const Line& line, SimRedirectBuffer& out)
{
    const QString word = lower(line.argv.first());
    if (word == u"status") {
        status(out);
    } else if (word == u"serverinfo") {
        infoSettings(SimDvarTable::ServerInfo, out);
    } else if (word == u"systeminfo") {
        infoSettings(SimDvarTable::SystemInfo, out);
    } else if (word == u"set" || word == u"seta") {
        setCommand(line, out);
    } else if (word == u"kick") {
        byName(line, out, Punishment::Kick);
    } else if (word == u"banuser") {
        byName(line, out, Punishment::Ban);
    } else if (word == u"tempbanuser") {
        byName(line, out, Punishment::TempBan);
    } else if (word == u"clientkick") {
        bySlot(line, out, Punishment::Kick);
    } else if (word == u"banclient") {
        bySlot(line, out, Punishment::Ban);
    } else if (word == u"tempbanclient") {
        bySlot(line, out, Punishment::TempBan);
    } else if (word == u"unbanuser") {
        unban(line, out);
    } else if (word == u"map") {
        mapCommand(line, out);
    } else if (word == u"map_rotate") {
        rotate(out);
    } else if (word == u"map_restart") {
        restart(true);
    } else if (word == u"fast_restart") {
        restart(false);
    } else if (word == u"say") {
        say(line, out);
    } else if (word == u"tell") {
        tell(line, out);
    } else if (word == u"quit" || word == u"killserver") {
        quit();
    } else if (word == u"sim_crash") {
        // Test commands: no reply, as from a server that died or hung.
        Q_EMIT crashRequested(line.argv.size() > 1 ? line.argv.at(1).toInt() : 1);
    } else if (word == u"sim_hang") {
        Q_EMIT hangRequested(line.argv.size() > 1 ? line.argv.at(1).toInt() : 0);
    } else if (word == u"sim_say" || word == u"sim_sayteam") {
        simSay(line, out, word == u"sim_sayteam");
    } else if (word == u"sim_join") {
        simJoin(line, out);
    } else if (word == u"sim_leave") {
        simLeave(line, out);
    } else if (m_punkBuster.handles(word)) {
        m_punkBuster.execute(word, line.argv.mid(1), out);
    } else if (const SimDvarTable::Dvar* dvar = m_dvars.find(word)) {
        dvarCommand(line, *dvar, out);
    } else {
        out.print(QStringLiteral("Unknown command \"%1\"\n").arg(line.argv.first()));
    }
}

void SimConsole::status(SimRedirectBuffer& out) const
{
    out.print(QStringLiteral("map: %1\n").arg(m_dvars.value(u"mapname")));
    if (m_hexGuids) {
        out.print(u"num score ping guid                             name            lastmsg "
                  u"address               qport  rate\n");
        out.print(u"--- ----- ---- -------------------------------- --------------- ------- "
                  u"--------------------- ------ -----\n");
    } else {
        out.print(u"num score ping guid       name            lastmsg address               qport "
                  u" rate\n");
        out.print(u"--- ----- ---- ---------- --------------- ------- --------------------- ------ "
                  u"-----\n");
    }
    for (const SimPlayer& player : m_world.players()) {
        out.print(QString::asprintf("%3i ", player.slot));
        out.print(QString::asprintf("%5i ", player.score));
        if (player.state == State::Connecting) {
            out.print(u"CNCT ");
        } else if (player.state == State::Zombie) {
            out.print(u"ZMBI ");
        } else {
            out.print(QString::asprintf("%4i ", std::min(player.ping, 999)));
        }
        out.print(statusGuid(player).rightJustified(m_hexGuids ? 32 : 10) + u' ');
        out.print(player.name);
        out.print(u"^7");
        // Padding counts only visible characters, so coloured names push the rest right; the
        // engine always writes at least one blank.
        out.printBlanks(std::max(16 - SimText::visibleLength(player.name), 1));
        out.print(QString::asprintf("%7i ", player.lastMsg));
        statusAddress(player, out);
        out.print(QString::asprintf(" %5i", player.rate));
        out.print(u"\n");
    }
    out.print(u"\n");
}

QString SimConsole::statusGuid(const SimPlayer& player) const
{
    if (!m_hexGuids || player.kind == Kind::Bot) {
        return QString::number(player.guid);
    }
    // Nobody has vouched for a player who is still connecting.
    if (player.state == State::Connecting) {
        return {};
    }
    return player.slot % 2 == 0 ? player.pbGuid : player.pbGuid.toUpper();
}

// The address, padded to its column, and the qport. An address with a negative port fills
// the column, and servers print it one of three ways: padded all the same, running into the
// qport, or without its colon.
void SimConsole::statusAddress(const SimPlayer& player, SimRedirectBuffer& out) const
{
    QString address = player.addressText();
    const QString qport = QString::asprintf("%6i", static_cast<qint16>(player.qport));
    if (m_highPorts && player.kind == Kind::Human) {
        if (player.slot % 3 == 1) {
            out.print(address + qport.trimmed());
            return;
        }
        if (player.slot % 3 == 2) {
            address.remove(u':');
        }
    }
    out.print(address);
    out.printBlanks(std::max(22 - static_cast<int>(address.size()), 1));
    out.print(qport);
}

void SimConsole::infoSettings(SimDvarTable::Flag flag, SimRedirectBuffer& out) const
{
    out.print(flag == SimDvarTable::ServerInfo ? u"Server info settings:\n"
                                               : u"System info settings:\n");
    for (const SimDvarTable::Dvar* dvar : m_dvars.withFlag(flag)) {
        // Empty values are not part of the info string.
        if (dvar->value.isEmpty()) {
            continue;
        }
        out.print(dvar->name.leftJustified(20));
        out.print(dvar->value + u'\n');
    }
}

void SimConsole::dvarCommand(const Line& line, const SimDvarTable::Dvar& dvar,
                             SimRedirectBuffer& out)
{
    if (line.argv.size() == 1) {
        for (const QString& piece : m_dvars.describe(dvar)) {
            out.print(piece);
        }
        return;
    }
    Line asSet = line;
    asSet.argv.prepend(QStringLiteral("set"));
    asSet.starts.prepend(0);
    setCommand(asSet, out);
}

void SimConsole::setCommand(const Line& line, SimRedirectBuffer& out)
{
    if (line.argv.size() < 3) {
        out.print(u"USAGE: set <variable> <value>\n");
        return;
    }
    // The rest of the line is the value, so that a host name with blanks survives.
    const QString& name = line.argv.at(1);
    const QString value = line.argv.mid(2).join(u' ');
    switch (m_dvars.set(name, value)) {
    case SimDvarTable::SetResult::Done:
        break;
    case SimDvarTable::SetResult::ReadOnly:
        out.print(QStringLiteral("%1 is read only.\n").arg(m_dvars.find(name)->name));
        return;
    case SimDvarTable::SetResult::OutOfDomain: {
        const SimDvarTable::Dvar* dvar = m_dvars.find(name);
        out.print(
            QStringLiteral("'%1' is not a valid value for dvar '%2'\n").arg(value, dvar->name));
        out.print(QStringLiteral("  %1\n").arg(SimDvarTable::domainText(*dvar)));
        return;
    }
    }
    if (name.compare(u"sv_maxclients", Qt::CaseInsensitive) == 0) {
        m_world.setMaxClients(m_dvars.value(u"sv_maxclients").toInt());
    }
    if (name.compare(u"g_password", Qt::CaseInsensitive) == 0) {
        setJoinPassword(m_dvars.value(u"g_password"));
    }
}

void SimConsole::setJoinPassword(const QString& password)
{
    m_dvars.set(u"g_password", password);
    m_dvars.force(QStringLiteral("g_needpass"),
                  password.isEmpty() ? QStringLiteral("0") : QStringLiteral("1"));
}

void SimConsole::byName(const Line& line, SimRedirectBuffer& out, Punishment punishment)
{
    if (line.argv.size() < 2) {
        out.print(QStringLiteral("Usage: %1 <player name>\n").arg(line.argv.first()));
        return;
    }
    // The whole rest of the line first, so that names with blanks can be named; then the
    // first word alone, as the engine itself reads it.
    QString wanted = line.from(1);
    if (wanted.size() >= 2 && wanted.startsWith(u'"') && wanted.endsWith(u'"')) {
        wanted = wanted.mid(1, wanted.size() - 2);
    }
    if (punishment == Punishment::Kick && lower(wanted) == u"all") {
        const QList<SimPlayer> everyone = m_world.players();
        for (const SimPlayer& player : everyone) {
            if (player.kind != Kind::Host) {
                punish(player, punishment, out);
            }
        }
        return;
    }
    const SimPlayer* player = m_world.playerByName(wanted);
    if (player == nullptr) {
        player = m_world.playerByName(line.argv.at(1));
    }
    if (player == nullptr) {
        out.print(QStringLiteral("Player %1 is not on the server\n").arg(wanted));
        return;
    }
    punish(*player, punishment, out);
}

void SimConsole::bySlot(const Line& line, SimRedirectBuffer& out, Punishment punishment)
{
    if (line.argv.size() < 2) {
        out.print(QStringLiteral("Usage: %1 <client number>\n").arg(line.argv.first()));
        return;
    }
    bool ok = false;
    const int slot = line.argv.at(1).toInt(&ok);
    if (!ok || slot < 0 || slot >= m_world.maxClients()) {
        out.print(QStringLiteral("Bad client slot: %1\n").arg(line.argv.at(1)));
        return;
    }
    const SimPlayer* player = m_world.playerBySlot(slot);
    if (player == nullptr || player->state == State::Zombie) {
        out.print(QStringLiteral("Client %1 is not active\n").arg(slot));
        return;
    }
    punish(*player, punishment, out);
}

void SimConsole::punish(const SimPlayer& player, Punishment punishment, SimRedirectBuffer& out)
{
    if (player.kind == Kind::Host) {
        out.print(u"Cannot kick host player\n");
        return;
    }
    const SimPlayer target = player;
    switch (punishment) {
    case Punishment::Kick:
        out.print(QStringLiteral("%1^7 was kicked\n").arg(target.name));
        break;
    case Punishment::Ban:
        m_world.ban(target, SimBan::Source::Game);
        out.print(QStringLiteral("%1^7 was banned\n").arg(target.name));
        break;
    case Punishment::TempBan:
        m_world.ban(target, SimBan::Source::Game, kTempBanMs);
        out.print(QStringLiteral("%1^7 was temporarily banned\n").arg(target.name));
        break;
    }
    m_world.dropPlayer(target.slot);
}

void SimConsole::unban(const Line& line, SimRedirectBuffer& out)
{
    const QString name = line.from(1);
    if (name.isEmpty()) {
        out.print(u"Usage: unbanuser <player name>\n");
        return;
    }
    if (m_world.unbanName(name) > 0) {
        out.print(QStringLiteral("%1^7 was unbanned\n").arg(name));
    } else {
        out.print(QStringLiteral("%1^7 is not banned\n").arg(name));
    }
}

void SimConsole::mapCommand(const Line& line, SimRedirectBuffer& out)
{
    if (line.argv.size() < 2) {
        out.print(u"USAGE: map <map name>\n");
        return;
    }
    const QString map = lower(line.argv.at(1));
    if (!kMaps.contains(map)) {
        out.print(QStringLiteral("Can't find map %1\n").arg(line.argv.at(1)));
        return;
    }
    loadMap(map);
}

void SimConsole::rotate(SimRedirectBuffer& out)
{
    QString remaining = m_dvars.value(u"sv_mapRotationCurrent");
    if (remaining.trimmed().isEmpty()) {
        remaining = m_dvars.value(u"sv_mapRotation");
    }
    QStringList words = tokenize(remaining);
    QString map;
    while (words.size() >= 2 && map.isEmpty()) {
        const QString key = lower(words.takeFirst());
        const QString value = words.takeFirst();
        if (key == u"gametype") {
            m_dvars.set(u"g_gametype", value);
        } else if (key == u"map") {
            map = lower(value);
        }
    }
    m_dvars.set(u"sv_mapRotationCurrent", words.join(u' '));
    if (map.isEmpty()) {
        restart(true);
    } else if (!kMaps.contains(map)) {
        out.print(QStringLiteral("Can't find map %1\n").arg(map));
    } else {
        loadMap(map);
    }
}

void SimConsole::loadMap(const QString& map)
{
    Q_EMIT gameLogLine(QStringLiteral("ExitLevel: executed"));
    Q_EMIT gameLogLine(QStringLiteral("ShutdownGame:"));
    Q_EMIT gameLogLine(QString(60, u'-'));
    m_dvars.force(QStringLiteral("mapname"), map);
    m_dvars.force(QStringLiteral("sv_serverid"),
                  QString::number(m_world.random().bounded(1000000)));
    m_world.restartMap(true);
    Q_EMIT gameLogLine(QString(60, u'-'));
    Q_EMIT gameLogLine(initGameLine());
}

void SimConsole::restart(bool full)
{
    if (full) {
        loadMap(m_dvars.value(u"mapname"));
        return;
    }
    m_world.restartMap(false);
    Q_EMIT gameLogLine(initGameLine());
}

void SimConsole::say(const Line& line, SimRedirectBuffer& out)
{
    const QString text = line.from(1);
    if (text.isEmpty()) {
        return;
    }
    out.print(QStringLiteral("console: %1\n").arg(text));
    Q_EMIT gameLogLine(QStringLiteral("say;0;-1;Console;%1").arg(text));
    Q_EMIT chatLine(-1, QStringLiteral("Console"), text);
}

const SimPlayer* SimConsole::activePlayer(const QString& argument, SimRedirectBuffer& out,
                                          int* slot) const
{
    bool ok = false;
    *slot = argument.toInt(&ok);
    const SimPlayer* player = ok ? m_world.playerBySlot(*slot) : nullptr;
    if (player == nullptr) {
        out.print(QStringLiteral("Client %1 is not active\n").arg(argument));
    }
    return player;
}

void SimConsole::simSay(const Line& line, SimRedirectBuffer& out, bool team)
{
    if (line.argv.size() < 3) {
        out.print(team ? u"Usage: sim_sayteam <client number> <text>\n"
                       : u"Usage: sim_say <client number> <text>\n");
        return;
    }
    int slot = -1;
    const SimPlayer* player = activePlayer(line.argv.value(1), out, &slot);
    if (player == nullptr) {
        return;
    }
    const QString text = line.from(2);
    out.print(QStringLiteral("%1%2^7: %3\n")
                  .arg(team ? QStringLiteral("(Team) ") : QString(), player->name, text));
    m_world.say(slot, text, team);
}

void SimConsole::simJoin(const Line& line, SimRedirectBuffer& out)
{
    bool ok = false;
    const qint32 guid = line.argv.value(2).toInt(&ok);
    if (line.argv.size() < 3 || !ok || line.argv.at(1).isEmpty()) {
        out.print(u"Usage: sim_join <name> <guid> [<address>[:<port>]]\n");
        return;
    }
    const QString address = line.argv.value(3);
    const qsizetype colon = address.lastIndexOf(u':');
    const QString ip = address.isEmpty() ? QString() : colon < 0 ? address : address.left(colon);
    const quint16 port = colon < 0 ? 28960 : static_cast<quint16>(address.mid(colon + 1).toUInt());
    const int slot = m_world.joinNow(line.argv.at(1), guid, ip, port);
    if (slot < 0) {
        out.print(u"Server is full\n");
        return;
    }
    out.print(QStringLiteral("%1^7 joined in slot %2\n").arg(line.argv.at(1)).arg(slot));
}

void SimConsole::simLeave(const Line& line, SimRedirectBuffer& out)
{
    int slot = -1;
    const SimPlayer* player = activePlayer(line.argv.value(1), out, &slot);
    if (player == nullptr) {
        return;
    }
    const QString name = player->name;
    m_world.dropPlayer(slot);
    out.print(QStringLiteral("%1^7 left slot %2\n").arg(name).arg(slot));
}

void SimConsole::tell(const Line& line, SimRedirectBuffer& out)
{
    if (line.argv.size() < 3) {
        out.print(u"Usage: tell <client number> <text>\n");
        return;
    }
    int slot = -1;
    const SimPlayer* player = activePlayer(line.argv.value(1), out, &slot);
    if (player == nullptr) {
        return;
    }
    const QString text = line.from(2);
    out.print(QStringLiteral("console: %1\n").arg(text));
    Q_EMIT gameLogLine(QStringLiteral("tell;%1;%2;%3;%4")
                           .arg(player->guid)
                           .arg(player->slot)
                           .arg(player->name, text));
    Q_EMIT chatLine(-1, QStringLiteral("Console"), text);
}

void SimConsole::quit()
{
    Q_EMIT gameLogLine(QStringLiteral("ShutdownGame:"));
    Q_EMIT gameLogLine(QString(60, u'-'));
    m_shutDown = true;
    Q_EMIT shutdownRequested();
}

QString SimConsole::initGameLine() const
{
    QString line = QStringLiteral("InitGame: ");
    for (const SimDvarTable::Dvar* dvar : m_dvars.withFlag(SimDvarTable::ServerInfo)) {
        line += u'\\' + dvar->name + u'\\' + dvar->value;
    }
    return line;
}

} // namespace garrison::sim
