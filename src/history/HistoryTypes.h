#pragma once

#include <QList>
#include <QString>

namespace garrison {

// Times in the history are whole seconds since 1970 (UTC): both databases store them as
// 64-bit integers and compare them cheaply.
using HistoryTime = qint64;

// One command sent to act on a player, with the player as the grid showed him at that moment.
struct PlayerAction {
    HistoryTime at = 0;
    QString serverKey; // "address:port"
    QString actor;     // the daemon user, or "rcon" in direct mode
    QString command;   // the console line as sent
    QString guid;
    QString name;
    QString slot;
    QString address;
    QString reason;
};

// A player who joined or left the server, as the game log tells it: no address, no score, but
// also the visits too short for any status reply to see.
struct PlayerPresence {
    HistoryTime at = 0;
    QString serverKey;
    QString guid;
    QString name;
    bool joined = true; // false: he left
};

// A player's call for an administrator ("!report <name> <reason>" in the game's chat). The same
// report reaches every GARRISON connected to the daemon; its key keeps it once in a shared
// history.
struct PlayerReport {
    qint64 id = 0; // the history's, once stored
    QString key;   // the daemon's
    HistoryTime at = 0;
    QString serverKey;
    QString reporterGuid;
    QString reporterName;
    QString reportedGuid; // empty when the name typed matched nobody on the server
    QString reportedName;
    QString reason;
    QString handledBy; // empty while the report is open
    HistoryTime handledAt = 0;
};

// One player found by a search, with the name that matched (or his latest one).
struct SearchHit {
    qint64 playerId = 0;
    QString guid;
    QString name;
    QString serverKey;
    HistoryTime lastSeen = 0;
};

struct SeenText { // a name or an address with its dates on one server
    QString text;
    QString serverKey;
    HistoryTime firstSeen = 0;
    HistoryTime lastSeen = 0;
};

struct SessionEntry {
    QString serverKey;
    QString hostName;
    HistoryTime started = 0;
    HistoryTime ended = 0;
    QString score;
};

struct PlayerRecord {
    qint64 playerId = 0;
    QString guid;
    QString notes;
    HistoryTime firstSeen = 0;
    QList<SeenText> names;
    QList<SeenText> addresses;
    QList<SessionEntry> sessions;
    QList<PlayerAction> actions;
};

struct CountSample {
    HistoryTime at = 0;
    int count = 0;
};

} // namespace garrison
