#include "SimPunkBuster.h"

#include "SimPlayer.h"
#include "SimRedirectBuffer.h"
#include "SimText.h"
#include "SimWorld.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <array>

namespace garrison::sim {

namespace {

const QString kPrefix = QStringLiteral("^3PunkBuster Server: ");

const QStringList kWords = {
    QStringLiteral("pb_sv_kick"),          QStringLiteral("pb_sv_ban"),
    QStringLiteral("pb_sv_unban"),         QStringLiteral("pb_sv_banlist"),
    QStringLiteral("pb_sv_getss"),         QStringLiteral("pb_sv_task"),
    QStringLiteral("pb_sv_badname"),       QStringLiteral("pb_sv_badnamelist"),
    QStringLiteral("pb_sv_restart"),       QStringLiteral("pb_sv_uconadd"),
    QStringLiteral("pb_sv_usessionlimit"), QStringLiteral("pb_sv_writecfg"),
};

QString md5(const QString& text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString pbAddress(const SimPlayer& player)
{
    return player.kind == SimPlayer::Kind::Human ? player.addressText() : QStringLiteral("bot");
}

// An old ban list long enough that it never fits one datagram.
QList<SimPunkBuster::BanEntry> historicBans()
{
    static const std::array kFirst = {u"xX_", u"Dark", u"Pro", u"Evil", u"Mr", u"Lil"};
    static const std::array kSecond = {u"Aimer", u"Ninja", u"Camper", u"Hacker", u"Spinbot"};
    static const std::array kReasons = {u"Aimbot", u"Wallhack", u"Multihack", u"Speedhack",
                                        u"Abusive language"};
    QList<SimPunkBuster::BanEntry> bans;
    const QDateTime first(QDate(2008, 11, 12), QTime(20, 15, 0));
    for (int i = 0; i < 30; ++i) {
        SimPunkBuster::BanEntry entry;
        entry.name = QString::fromUtf16(kFirst[i % kFirst.size()]) +
                     QString::fromUtf16(kSecond[i % kSecond.size()]) + QString::number(i + 1);
        entry.pbGuid = md5(entry.name);
        entry.address =
            QStringLiteral("%1%2:28960")
                .arg(i % 2 == 0 ? QStringLiteral("203.0.113.") : QStringLiteral("198.51.100."))
                .arg(100 + i);
        entry.reason = QString::fromUtf16(kReasons[i % kReasons.size()]);
        entry.date =
            first.addDays(i * 3).addSecs(i * 757).toString(QStringLiteral("MM.dd.yyyy hh:mm:ss"));
        bans.append(entry);
    }
    return bans;
}

} // namespace

SimPunkBuster::SimPunkBuster(SimWorld& world, QObject* parent)
    : QObject(parent), m_world(world), m_bans(historicBans()),
      m_badNames{QStringLiteral("Admin"), QStringLiteral("Console")}, m_badNameGrace{30, 30}
{
    connect(&m_world, &SimWorld::playerConnected, this, [this](const SimPlayer& player) {
        say(nullptr, QStringLiteral("New Connection (slot #%1) %2 [%3] \"%4\"")
                         .arg(player.slot + 1)
                         .arg(pbAddress(player))
                         .arg(player.qport)
                         .arg(player.name));
        enforceBadNames(nullptr);
    });
    connect(&m_world, &SimWorld::playerLeft, this, [this](const SimPlayer& player) {
        say(nullptr, QStringLiteral("Lost Connection (slot #%1) %2 %3(-) %4")
                         .arg(player.slot + 1)
                         .arg(pbAddress(player), player.pbGuid, player.name));
    });
}

bool SimPunkBuster::handles(const QString& word) const
{
    return kWords.contains(word);
}

void SimPunkBuster::execute(const QString& word, const QStringList& arguments,
                            SimRedirectBuffer& out)
{
    run(word, arguments, &out);
}

void SimPunkBuster::tick()
{
    for (qsizetype i = 0; i < m_tasks.size(); ++i) {
        if (m_tasks.at(i).due > m_world.now()) {
            continue;
        }
        const Task task = m_tasks.at(i);
        if (task.intervalMs > 0) {
            m_tasks[i].due += task.intervalMs;
        } else {
            m_tasks.removeAt(i--);
        }
        QStringList words = task.command.split(u' ', Qt::SkipEmptyParts);
        const QString word = words.takeFirst().toLower();
        if (word != QStringLiteral("pb_sv_task") && handles(word)) {
            run(word, words, nullptr);
        }
    }
}

void SimPunkBuster::say(SimRedirectBuffer* out, const QString& text)
{
    const QString line = kPrefix + text;
    if (out != nullptr) {
        out->print(line);
        out->print(u"\n");
    }
    Q_EMIT punkBusterLine(line);
}

const SimPlayer* SimPunkBuster::playerAt(const QString& pbSlot, SimRedirectBuffer* out)
{
    bool ok = false;
    const int slot = pbSlot.toInt(&ok);
    const SimPlayer* player = ok ? m_world.playerBySlot(slot - 1) : nullptr;
    if (player == nullptr) {
        say(out, QStringLiteral("Player Slot #%1 not found").arg(pbSlot));
    }
    return player;
}

void SimPunkBuster::kick(const SimPlayer& player, const QString& reason, SimRedirectBuffer* out)
{
    say(out, QStringLiteral("Kick Command Issued (%1) for (slot#%2) %3 %4(-) %5")
                 .arg(reason)
                 .arg(player.slot + 1)
                 .arg(pbAddress(player), player.pbGuid, player.name));
    m_world.dropPlayer(player.slot);
}

void SimPunkBuster::screenshot(const SimPlayer& player, SimRedirectBuffer* out)
{
    ++m_screenshots;
    say(out, QStringLiteral("Screenshot pb%1.png Requested from %2 %3")
                 .arg(m_screenshots, 6, 10, QLatin1Char('0'))
                 .arg(player.slot + 1)
                 .arg(player.name));
}

void SimPunkBuster::enforceBadNames(SimRedirectBuffer* out)
{
    const QList<SimPlayer> players = m_world.players();
    for (const SimPlayer& player : players) {
        const QString plain = player.plainName();
        for (const QString& bad : std::as_const(m_badNames)) {
            if (plain.contains(SimText::stripColours(bad), Qt::CaseInsensitive)) {
                kick(player, QStringLiteral("Bad Name"), out);
                break;
            }
        }
    }
}

void SimPunkBuster::run(const QString& word, const QStringList& arguments, SimRedirectBuffer* out)
{
    const auto argument = [&](qsizetype i) { return arguments.value(i); };
    if (word == QStringLiteral("pb_sv_kick")) {
        if (const SimPlayer* player = playerAt(argument(0), out)) {
            const int minutes = argument(1).toInt();
            if (minutes > 0) {
                m_world.ban(*player, SimBan::Source::PunkBuster, minutes * 60000LL);
            }
            kick(*player, arguments.mid(2).join(u' '), out);
        }
    } else if (word == QStringLiteral("pb_sv_ban")) {
        if (const SimPlayer* player = playerAt(argument(0), out)) {
            const QString reason = arguments.mid(1).join(u' ');
            m_bans.append(
                {player->pbGuid, player->name, pbAddress(*player), reason,
                 QDateTime::currentDateTime().toString(QStringLiteral("MM.dd.yyyy hh:mm:ss")),
                 player->guid});
            m_world.ban(*player, SimBan::Source::PunkBuster);
            say(out, QStringLiteral("Ban Added to Ban List (#%1) %2(-) %3")
                         .arg(m_bans.size())
                         .arg(player->pbGuid, player->name));
            kick(*player, reason, out);
        }
    } else if (word == QStringLiteral("pb_sv_unban")) {
        bool ok = false;
        const int number = argument(0).toInt(&ok);
        if (!ok || number < 1 || number > m_bans.size()) {
            say(out, QStringLiteral("Ban #%1 not found").arg(argument(0)));
            return;
        }
        const BanEntry entry = m_bans.takeAt(number - 1);
        m_world.unbanGuid(entry.guid, SimBan::Source::PunkBuster);
        say(out, QStringLiteral("Guid %1 (%2) has been Unbanned").arg(entry.pbGuid, entry.name));
    } else if (word == QStringLiteral("pb_sv_banlist")) {
        say(out, QStringLiteral("Ban List: (#, guid, name, address, reason, date)"));
        for (qsizetype i = 0; i < m_bans.size(); ++i) {
            const BanEntry& entry = m_bans.at(i);
            say(out, QStringLiteral("%1 %2(-) \"%3\" %4 %5 %6")
                         .arg(i + 1)
                         .arg(entry.pbGuid, entry.name, entry.address, entry.reason, entry.date));
        }
        say(out, QStringLiteral("End of Ban List (%1 of %1 displayed)").arg(m_bans.size()));
    } else if (word == QStringLiteral("pb_sv_getss")) {
        if (!arguments.isEmpty()) {
            if (const SimPlayer* player = playerAt(argument(0), out)) {
                screenshot(*player, out);
            }
            return;
        }
        const QList<SimPlayer> players = m_world.players();
        for (const SimPlayer& player : players) {
            if (player.kind != SimPlayer::Kind::Bot && player.state == SimPlayer::State::Active) {
                screenshot(player, out);
            }
        }
    } else if (word == QStringLiteral("pb_sv_task")) {
        if (arguments.size() < 3) {
            say(out,
                QStringLiteral("Usage: pb_sv_task [start seconds] [repeat seconds] [command]"));
            return;
        }
        const Task task{m_nextTask++, m_world.now() + argument(0).toInt() * 1000LL,
                        argument(1).toInt() * 1000, arguments.mid(2).join(u' ')};
        m_tasks.append(task);
        say(out, QStringLiteral("Task Added (ID#%1): start in %2 sec, repeat every %3 sec: %4")
                     .arg(task.id)
                     .arg(argument(0), argument(1), task.command));
    } else if (word == QStringLiteral("pb_sv_badname")) {
        if (arguments.size() < 2) {
            say(out, QStringLiteral("Usage: pb_sv_badname [grace seconds] [name]"));
            return;
        }
        m_badNames.append(arguments.mid(1).join(u' '));
        m_badNameGrace.append(argument(0).toInt());
        say(out, QStringLiteral("BadName Added (#%1, %2 sec grace): %3")
                     .arg(m_badNames.size())
                     .arg(m_badNameGrace.last())
                     .arg(m_badNames.last()));
        enforceBadNames(out);
    } else if (word == QStringLiteral("pb_sv_badnamelist")) {
        say(out, QStringLiteral("BadName List: (#, grace seconds, name)"));
        for (qsizetype i = 0; i < m_badNames.size(); ++i) {
            say(out, QStringLiteral("%1 [%2] %3")
                         .arg(i + 1)
                         .arg(m_badNameGrace.at(i))
                         .arg(m_badNames.at(i)));
        }
        say(out, QStringLiteral("End of BadName List (%1 names)").arg(m_badNames.size()));
    } else if (word == QStringLiteral("pb_sv_restart")) {
        say(out, QStringLiteral("Restarting PunkBuster Server..."));
        say(out, QStringLiteral("PunkBuster Server Enabled"));
    } else if (word == QStringLiteral("pb_sv_uconadd")) {
        if (arguments.size() < 4) {
            say(out, QStringLiteral("Usage: pb_sv_uconadd [level] [address] [name] [password]"));
            return;
        }
        const UconUser user{argument(0).toInt(), argument(1), argument(2), argument(3)};
        m_uconUsers.removeIf([&](const UconUser& u) { return u.name == user.name; });
        m_uconUsers.append(user);
        say(out, QStringLiteral("UCON User Added: %1 [%2] (level %3)")
                     .arg(user.name, user.address)
                     .arg(user.level));
    } else if (word == QStringLiteral("pb_sv_usessionlimit")) {
        if (!arguments.isEmpty()) {
            m_sessionLimit = argument(0).toInt();
            say(out, QStringLiteral("Setting pb_sv_USessionLimit set to %1").arg(m_sessionLimit));
        } else {
            say(out, QStringLiteral("pb_sv_USessionLimit = %1").arg(m_sessionLimit));
        }
    } else if (word == QStringLiteral("pb_sv_writecfg")) {
        say(out, QStringLiteral("Settings Written to %1")
                     .arg(arguments.isEmpty() ? QStringLiteral("pbsv.cfg") : argument(0)));
    }
}

} // namespace garrison::sim
