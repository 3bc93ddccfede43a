#include "GameEvent.h"

#include "WireText.h"

namespace garrisond {

namespace {

constexpr GameEvent::Kind kAllKinds[] = {
    GameEvent::Kind::Chat, GameEvent::Kind::Join,  GameEvent::Kind::Quit,  GameEvent::Kind::Kill,
    GameEvent::Kind::Map,  GameEvent::Kind::Alert, GameEvent::Kind::Report};

QString escaped(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        default:
            if (c.unicode() >= 0x20 && c.unicode() != 0x7F) {
                out += c;
            }
        }
    }
    return out;
}

void add(QString& line, const char* key, const QString& value)
{
    if (!value.isEmpty()) {
        line += QLatin1Char('\t') + QLatin1String(key) + QLatin1Char('=') + escaped(value);
    }
}

void addPlayer(QString& line, const char* prefix, const GameEvent::Player& player)
{
    const QByteArray p(prefix);
    add(line, p + "guid", player.guid);
    add(line, p + "slot", player.slot >= 0 ? QString::number(player.slot) : QString());
    add(line, p + "team", player.team);
    add(line, p + "name", player.name);
}

} // namespace

QString GameEvent::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Chat:
        return QStringLiteral("chat");
    case Kind::Join:
        return QStringLiteral("join");
    case Kind::Quit:
        return QStringLiteral("quit");
    case Kind::Kill:
        return QStringLiteral("kill");
    case Kind::Map:
        return QStringLiteral("map");
    case Kind::Alert:
        return QStringLiteral("alert");
    case Kind::Report:
        return QStringLiteral("report");
    }
    return {};
}

bool GameEvent::isFor(Kind kind, const QString& level)
{
    if (level == QLatin1String("admin") || level == QLatin1String("poweradmin")) {
        return true;
    }
    return level == QLatin1String("mp") &&
           (kind == Kind::Chat || kind == Kind::Join || kind == Kind::Quit);
}

QString GameEvent::kindsFor(const QString& level)
{
    QStringList kinds;
    for (const Kind kind : kAllKinds) {
        if (isFor(kind, level)) {
            kinds.append(kindName(kind));
        }
    }
    return kinds.join(QLatin1Char(','));
}

QByteArray GameEvent::toWire() const
{
    QString line = QStringLiteral("EVENT ") + kindName(kind);
    add(line, "at", at.toUTC().toString(Qt::ISODateWithMs));
    addPlayer(line, "", player);
    addPlayer(line, "other", other);
    if (kind == Kind::Chat || kind == Kind::Alert) {
        add(line, "scope", teamChat ? QStringLiteral("team") : QStringLiteral("all"));
    }
    add(line, "text", text);
    add(line, "word", word);
    add(line, "weapon", weapon);
    add(line, "means", means);
    add(line, "hit", hitLocation);
    add(line, "map", map);
    add(line, "gametype", gameType);
    add(line, "id", id);
    return WireText::encode(line) + '\n';
}

QByteArray GameEvent::streamLine(const QString& level)
{
    return WireText::encode(QStringLiteral("EVENT stream\tkinds=") + kindsFor(level)) + '\n';
}

QByteArray GameEvent::refusedLine(const QString& reason)
{
    QString line = QStringLiteral("EVENT refused");
    add(line, "reason", reason);
    return WireText::encode(line) + '\n';
}

QByteArray GameEvent::serverLine(const QDateTime& at, const QString& event, const QString& state,
                                 const QString& text)
{
    QString line = QStringLiteral("EVENT server");
    add(line, "at", at.toUTC().toString(Qt::ISODateWithMs));
    add(line, "event", event);
    add(line, "state", state);
    add(line, "text", text);
    return WireText::encode(line) + '\n';
}

QByteArray GameEvent::lostLine(qint64 count)
{
    return "EVENT lost\tcount=" + QByteArray::number(count) + '\n';
}

QString GameEvent::describe() const
{
    switch (kind) {
    case Kind::Chat:
        return QStringLiteral("%1: %2").arg(player.name, text);
    case Kind::Join:
        return QStringLiteral("%1 joined").arg(player.name);
    case Kind::Quit:
        return QStringLiteral("%1 left").arg(player.name);
    case Kind::Kill:
        return QStringLiteral("%1 killed %2 (%3)").arg(other.name, player.name, weapon);
    case Kind::Map:
        return QStringLiteral("Map %1 (%2) began").arg(map, gameType);
    case Kind::Alert:
        return QStringLiteral("Alert \"%1\": %2 said \"%3\"").arg(word, player.name, text);
    case Kind::Report:
        return text.isEmpty()
                   ? QStringLiteral("%1 reported %2").arg(player.name, other.name)
                   : QStringLiteral("%1 reported %2: %3").arg(player.name, other.name, text);
    }
    return {};
}

} // namespace garrisond
