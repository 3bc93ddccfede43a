#pragma once

#include "GameEvent.h"
#include "GameLogFollower.h"
#include "GameLogParser.h"
#include "LogTail.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace garrisond {

class GameEventSink;

// The game log turned into events: follows the log, parses its lines, and hands chat, joins,
// quits, kills and new maps to every sink, together with the alerts (a chat line holding an
// alert word) and the players' reports (a chat line that starts with the report command).
class GameEvents : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    static inline const QString kDefaultReportCommand = QStringLiteral("!report");

    explicit GameEvents(QObject* parent = nullptr);

    // An empty log path follows nothing. Alert words are compared without colour codes and
    // case; the report command is the word a chat line must begin with ("!report"), and what
    // follows it is the reported player's name and the reason.
    void configure(const QString& logPath, const QStringList& alertWords,
                   const QString& reportCommand, uid_t refusedLogOwner = LogTail::kAnyOwner);
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Sinks are not owned; one that goes away removes itself first.
    void addSink(GameEventSink* sink);
    void removeSink(GameEventSink* sink);

    // Lines as the log holds them, without line ends; the follower's lines come here.
    void takeLines(const QList<QByteArray>& lines);
    GameLogFollower& follower() { return m_follower; }

    // The text as the game shows it: without the codes "^0" to "^9".
    static QString withoutColours(const QString& text);
    static bool isColourCode(const QString& text, qsizetype at);

Q_SIGNALS:
    void problem(const QString& text);
    // The follower fell too far behind and left `bytes` of the log unread.
    void skipped(qint64 bytes);

private:
    void deliver(const GameEvent& event);
    void chat(const GameEvent& said);
    // Every line that names a player with a slot tells who holds it.
    void remember(const GameEvent::Player& player);
    // The player present with the longest name that the text begins with (colour codes and
    // case aside, followed by a blank or the end), and where that name ends in the text; an
    // end of 0 when no name fits. Names may hold blanks, so this comes before the first word.
    GameEvent::Player
    playerNamedFirst(const QString& text,
                     qsizetype* nameEnd) const; // The player present under that name: exactly
                                                // (colour codes and case aside), else the only
    // one whose name holds it.
    GameEvent::Player findPlayer(const QString& typed) const;

    GameLogFollower m_follower;
    GameLogParser m_parser;
    QStringList m_alertWords; // lower case, no colour codes
    QString m_reportCommand = kDefaultReportCommand;
    QList<GameEventSink*> m_sinks;
    QHash<int, GameEvent::Player> m_present; // by slot
    Clock m_clock;
    QString m_reportPrefix;
    quint64 m_reports = 0;
};

} // namespace garrisond
