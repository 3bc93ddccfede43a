#include "GameEvents.h"

#include "GameEventSink.h"
#include "WireText.h"

namespace garrisond {

namespace {

using Kind = GameLogLine::Kind;

GameEvent::Player player(const GameLogLine::Player& from)
{
    return {WireText::decode(from.guid), from.slot, WireText::decode(from.team),
            WireText::decode(from.name)};
}

} // namespace

GameEvents::GameEvents(QObject* parent)
    : QObject(parent), m_clock([] { return QDateTime::currentDateTimeUtc(); }),
      // Report ids stay unique across restarts of the daemon without a file of their own.
      m_reportPrefix(QString::number(QDateTime::currentMSecsSinceEpoch(), 36))
{
    connect(&m_follower, &GameLogFollower::linesRead, this, &GameEvents::takeLines);
    connect(&m_follower, &GameLogFollower::problem, this, &GameEvents::problem);
    connect(&m_follower, &GameLogFollower::skipped, this, &GameEvents::skipped);
}

void GameEvents::configure(const QString& logPath, const QStringList& alertWords,
                           const QString& reportCommand, uid_t refusedLogOwner)
{
    m_alertWords.clear();
    for (const QString& word : alertWords) {
        const QString plain = withoutColours(word).trimmed().toLower();
        if (!plain.isEmpty()) {
            m_alertWords.append(plain);
        }
    }
    m_reportCommand = reportCommand.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    if (logPath != m_follower.path()) {
        m_parser.reset();
        m_present.clear();
        m_follower.follow(logPath, refusedLogOwner);
    }
}

void GameEvents::addSink(GameEventSink* sink)
{
    if (!m_sinks.contains(sink)) {
        m_sinks.append(sink);
    }
}

void GameEvents::removeSink(GameEventSink* sink)
{
    m_sinks.removeAll(sink);
}

void GameEvents::deliver(const GameEvent& event)
{
    const QList<GameEventSink*> sinks = m_sinks;
    for (GameEventSink* sink : sinks) {
        // A sink may remove another while it takes the event.
        if (m_sinks.contains(sink)) {
            sink->takeEvent(event);
        }
    }
}

bool GameEvents::isColourCode(const QString& text, qsizetype at)
{
    return at + 1 < text.size() && text[at] == QLatin1Char('^') && text[at + 1].isDigit() &&
           text[at + 1].unicode() < 0x80;
}

QString GameEvents::withoutColours(const QString& text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isColourCode(text, i)) {
            ++i;
            continue;
        }
        plain += text[i];
    }
    return plain;
}

void GameEvents::takeLines(const QList<QByteArray>& lines)
{
    const QDateTime at = m_clock();
    for (const QByteArray& bytes : lines) {
        const GameLogLine line = m_parser.parse(bytes);
        GameEvent event;
        event.at = at;
        event.player = player(line.player);
        switch (line.kind) {
        case Kind::Say:
        case Kind::SayTeam:
            event.kind = GameEvent::Kind::Chat;
            event.teamChat = line.kind == Kind::SayTeam;
            event.text = WireText::decode(line.message);
            remember(event.player);
            deliver(event);
            chat(event);
            break;
        case Kind::Join:
            event.kind = GameEvent::Kind::Join;
            remember(event.player);
            deliver(event);
            break;
        case Kind::JoinTeam:
            remember(event.player);
            break;
        case Kind::Damage:
            remember(event.player);
            remember(player(line.attacker));
            break;
        case Kind::Quit:
            event.kind = GameEvent::Kind::Quit;
            m_present.remove(event.player.slot);
            deliver(event);
            break;
        case Kind::Kill:
            event.kind = GameEvent::Kind::Kill;
            event.other = player(line.attacker);
            event.weapon = WireText::decode(line.weapon);
            event.means = WireText::decode(line.means);
            event.hitLocation = WireText::decode(line.hitLocation);
            remember(event.player);
            remember(event.other);
            deliver(event);
            break;
        case Kind::InitGame:
            event.kind = GameEvent::Kind::Map;
            event.map = WireText::decode(line.map);
            event.gameType = WireText::decode(line.gameType);
            deliver(event);
            break;
        default:
            break;
        }
    }
}

void GameEvents::chat(const GameEvent& said)
{
    const QString plain = withoutColours(said.text).toLower();
    for (const QString& word : std::as_const(m_alertWords)) {
        if (plain.contains(word)) {
            GameEvent alert = said;
            alert.kind = GameEvent::Kind::Alert;
            alert.word = word;
            deliver(alert);
            break;
        }
    }
    if (m_reportCommand.isEmpty()) {
        return;
    }
    const QString typed = said.text.trimmed();
    if (!typed.startsWith(m_reportCommand, Qt::CaseInsensitive) ||
        (typed.size() > m_reportCommand.size() && !typed[m_reportCommand.size()].isSpace())) {
        return;
    }
    const QString arguments = typed.mid(m_reportCommand.size()).trimmed();
    if (arguments.isEmpty()) {
        return;
    }
    GameEvent report = said;
    report.kind = GameEvent::Kind::Report;
    report.teamChat = false;
    qsizetype nameEnd = 0;
    report.other = playerNamedFirst(arguments, &nameEnd);
    if (nameEnd == 0) {
        const QString name = arguments.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        report.other = findPlayer(name);
        if (report.other.name.isEmpty()) {
            report.other.name = name;
        }
        nameEnd = name.size();
    }
    report.text = arguments.mid(nameEnd).trimmed();
    report.id = m_reportPrefix + QLatin1Char('-') + QString::number(++m_reports);
    deliver(report);
}

void GameEvents::remember(const GameEvent::Player& player)
{
    if (player.slot >= 0 && !player.name.isEmpty()) {
        m_present.insert(player.slot, player);
    }
}

GameEvent::Player GameEvents::playerNamedFirst(const QString& text, qsizetype* nameEnd) const
{
    const QString plain = withoutColours(text).toLower();
    GameEvent::Player found;
    qsizetype longest = 0;
    for (const GameEvent::Player& present : m_present) {
        const QString name = withoutColours(present.name).trimmed().toLower();
        if (name.size() > longest && plain.startsWith(name) &&
            (plain.size() == name.size() || plain.at(name.size()).isSpace())) {
            found = present;
            longest = name.size();
        }
    }
    // Where the name ends in the text as typed, colour codes and all.
    qsizetype end = 0;
    for (qsizetype counted = 0; counted < longest; ++counted) {
        while (isColourCode(text, end)) {
            end += 2;
        }
        ++end;
    }
    *nameEnd = end;
    return found;
}

GameEvent::Player GameEvents::findPlayer(const QString& typed) const
{
    const QString wanted = withoutColours(typed).toLower();
    GameEvent::Player partial;
    int partials = 0;
    for (const GameEvent::Player& present : m_present) {
        const QString plain = withoutColours(present.name).toLower();
        if (plain == wanted) {
            return present;
        }
        if (plain.contains(wanted)) {
            partial = present;
            ++partials;
        }
    }
    return partials == 1 ? partial : GameEvent::Player{};
}

} // namespace garrisond
