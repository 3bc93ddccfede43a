#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace garrisond {

// Something that happened on the game server, as the game log told it, ready to be sent to the
// clients that asked for the event stream and to whatever else takes events (a webhook).
struct GameEvent {
    enum class Kind {
        Chat,   // player: the speaker; text: what was said; teamChat
        Join,   // player
        Quit,   // player
        Kill,   // player: the victim; other: the attacker; weapon, means, hitLocation
        Map,    // map, gameType: a new map began
        Alert,  // a chat line with an alert word: player, text, teamChat, word
        Report, // a player's call for an administrator: player (reporter), other (reported,
                // the name as typed; guid and slot when a player of that name is known), text
                // (reason), id
    };
    struct Player {
        QString guid;
        int slot = -1;
        QString team;
        QString name;
    };

    Kind kind = Kind::Chat;
    QDateTime at; // when the daemon read the line (UTC)
    Player player;
    Player other;
    QString text;
    bool teamChat = false;
    QString word;
    QString weapon;
    QString means;
    QString hitLocation;
    QString map;
    QString gameType;
    QString id;

    static QString kindName(Kind kind);
    // mp sees chat, joins and quits; admin and poweradmin everything.
    static bool isFor(Kind kind, const QString& level);
    // The kinds a level receives, comma-separated, as the stream's first line names them.
    static QString kindsFor(const QString& level);

    // One line of the event stream: "EVENT " and the kind, then "\tkey=value" for each field
    // that is set, then LF. Values escape backslash, tab, CR and LF ("\\", "\t", "\r", "\n")
    // and lose other control characters, so that a line is always one line.
    QByteArray toWire() const;
    // The stream's first line after "getevents": the kinds this level receives, or why not.
    static QByteArray streamLine(const QString& level);
    static QByteArray refusedLine(const QString& reason);
    // Events that a client too slow to read them did not get.
    static QByteArray lostLine(qint64 count);
    // The watch over the game server changed its state: "EVENT server" with at, event (the watch's
    // event name), state (as "serverstate" names it) and text.
    static QByteArray serverLine(const QDateTime& at, const QString& event, const QString& state,
                                 const QString& text);
    // One sentence for people (a webhook's message): who said or reported what.
    QString describe() const;
};

} // namespace garrisond
