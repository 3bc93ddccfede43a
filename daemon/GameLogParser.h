#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

namespace garrisond {

// One line of the game server's log (games_mp.log), cut into its fields. Texts stay the bytes
// the server wrote; the caller decodes them.
struct GameLogLine {
    enum class Kind {
        Say,      // say;GUID;SLOT;NAME;TEXT
        SayTeam,  // sayteam;GUID;SLOT;NAME;TEXT
        Join,     // J;GUID;SLOT;NAME
        Quit,     // Q;GUID;SLOT;NAME
        JoinTeam, // JT;GUID;SLOT;TEAM;NAME;
        Kill, // K;victim GUID;SLOT;TEAM;NAME;attacker GUID;SLOT;TEAM;NAME;WEAPON;DAMAGE;MOD;HITLOC
        Damage,       // D;… as K
        InitGame,     // InitGame: \key\value…
        ShutdownGame, // ShutdownGame:
        ExitLevel,    // ExitLevel: executed
        Other,        // anything else, kept in text
    };
    struct Player {
        QByteArray guid;
        int slot = -1;
        QByteArray team;
        QByteArray name;
    };

    Kind kind = Kind::Other;
    // Seconds the server had run, from the stamp "  M:SS "; -1 when the line has none.
    qint64 uptime = -1;
    // The line after its stamp.
    QByteArray text;
    // The speaker, the one who joined or left, the victim.
    Player player;
    // The attacker of K and D lines.
    Player attacker;
    // What was said, without the control byte some versions put before it.
    QByteArray message;
    QByteArray weapon;
    int damage = 0;
    QByteArray means; // MOD_…
    QByteArray hitLocation;
    QByteArray map;      // InitGame: mapname
    QByteArray gameType; // InitGame: g_gametype
};

// Cuts log lines into fields. Names may hold ';' (the engine does not escape them), so a line
// is cut where the name the player joined with ends, where the control byte 0x15 starts a chat
// text, or where the fields after a name fit (a slot number and a team word); only when none of
// that tells, at the first ';'. It therefore remembers who holds each slot.
class GameLogParser {
public:
    GameLogLine parse(QByteArrayView line);
    // A new file: nobody is known to hold a slot.
    void reset() { m_slots.clear(); }

private:
    struct Holder {
        QByteArray name;
        QByteArray team;
    };
    bool parseChat(QByteArrayView rest, GameLogLine& line) const;
    bool parseHit(QByteArrayView rest, GameLogLine& line) const;
    void remember(const GameLogLine& line);

    QHash<int, Holder> m_slots;
};

} // namespace garrisond
