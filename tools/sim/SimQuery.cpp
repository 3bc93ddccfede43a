#include "SimQuery.h"

#include "SimConsole.h"
#include "SimText.h"

namespace garrison::sim {

namespace {

constexpr QByteArrayView kMarker("\xFF\xFF\xFF\xFF", 4);

// The engine refuses a key or value that would break the info string, and leaves out empty
// values.
void addPair(QString& info, const QString& key, const QString& value)
{
    if (value.isEmpty() || value.contains(u'\\') || value.contains(u';') || value.contains(u'"')) {
        return;
    }
    info += u'\\' + key + u'\\' + value;
}

int pingOf(const SimPlayer& player)
{
    if (player.state != SimPlayer::State::Active) {
        return 999;
    }
    return player.kind == SimPlayer::Kind::Bot ? 0 : std::min(player.ping, 999);
}

} // namespace

std::optional<SimQuery> SimQuery::parse(QByteArrayView datagram)
{
    if (!datagram.startsWith(kMarker)) {
        return std::nullopt;
    }
    QByteArrayView line = datagram.sliced(kMarker.size());
    if (const qsizetype end = line.indexOf('\n'); end >= 0) {
        line.truncate(end);
    }
    if (const qsizetype nul = line.indexOf('\0'); nul >= 0) {
        line.truncate(nul);
    }
    const QStringList argv = SimConsole::tokenize(SimText::fromWire(line));
    if (argv.isEmpty()) {
        return std::nullopt;
    }
    SimQuery query;
    if (argv.first().compare(u"getinfo", Qt::CaseInsensitive) == 0) {
        query.kind = Kind::Info;
    } else if (argv.first().compare(u"getstatus", Qt::CaseInsensitive) == 0) {
        query.kind = Kind::Status;
    } else {
        return std::nullopt;
    }
    query.challenge = argv.value(1);
    if (query.challenge.size() > kMaxChallenge) {
        return std::nullopt;
    }
    return query;
}

QString SimQuery::word() const
{
    return kind == Kind::Info ? QStringLiteral("getinfo") : QStringLiteral("getstatus");
}

QByteArray SimQuery::answer(const SimConsole& console) const
{
    const SimDvarTable& dvars = console.dvars();
    QString info;
    addPair(info, QStringLiteral("challenge"), challenge);
    if (kind == Kind::Info) {
        const int privateSlots = dvars.value(u"sv_privateClients").toInt();
        int clients = 0;
        int humans = 0;
        for (const SimPlayer& player : console.world().players()) {
            if (player.slot >= privateSlots && player.state != SimPlayer::State::Zombie) {
                ++clients;
                humans += player.kind == SimPlayer::Kind::Human;
            }
        }
        addPair(info, QStringLiteral("hostname"), dvars.value(u"sv_hostname"));
        addPair(info, QStringLiteral("mapname"), dvars.value(u"mapname"));
        addPair(info, QStringLiteral("clients"), QString::number(clients));
        addPair(info, QStringLiteral("g_humanplayers"), QString::number(humans));
        addPair(info, QStringLiteral("sv_maxclients"),
                QString::number(dvars.value(u"sv_maxclients").toInt() - privateSlots));
        addPair(info, QStringLiteral("gametype"), dvars.value(u"g_gametype"));
        addPair(info, QStringLiteral("pure"), dvars.value(u"sv_pure"));
        addPair(info, QStringLiteral("g_needpass"), dvars.value(u"g_needpass"));
        return kMarker.toByteArray() + "infoResponse\n" + SimText::toWire(info);
    }
    for (const SimDvarTable::Dvar* dvar : dvars.withFlag(SimDvarTable::ServerInfo)) {
        addPair(info, dvar->name, dvar->value);
    }
    QString text = QStringLiteral("statusResponse\n") + info + u'\n';
    for (const SimPlayer& player : console.world().players()) {
        if (player.state != SimPlayer::State::Zombie) {
            text += QStringLiteral("%1 %2 \"%3\"\n")
                        .arg(player.score)
                        .arg(pingOf(player))
                        .arg(player.name);
        }
    }
    return kMarker.toByteArray() + SimText::toWire(text);
}

} // namespace garrison::sim
