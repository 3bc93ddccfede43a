#pragma once

#include "SimBan.h"
#include "SimPlayer.h"

#include <QList>
#include <QObject>
#include <QRandomGenerator>

namespace garrison::sim {

// The people on the simulated server: who is connected, their pings and scores, who joins and
// leaves, and who is barred. Time only moves through tick(), so that a seed and a sequence of
// ticks always give the same story.
class SimWorld : public QObject {
    Q_OBJECT

public:
    static constexpr int kConnectingMs = 3000;
    static constexpr int kZombieMs = 2000;

    explicit SimWorld(quint32 seed, QObject* parent = nullptr);

    // The first five players are a coloured name, a name with a blank, a 15-character name, a
    // bot and one still connecting; the simulation keeps the count near this target afterwards.
    void populate(int count);
    void setMaxClients(int maxClients);
    int maxClients() const { return m_maxClients; }
    // Humans who join from now on use ports and qports above 32767.
    void setHighPorts(bool highPorts) { m_highPorts = highPorts; }

    // Sorted by slot.
    const QList<SimPlayer>& players() const { return m_players; }
    const SimPlayer* playerBySlot(int slot) const;
    // Compared without colour codes and case.
    const SimPlayer* playerByName(QStringView name) const;
    // Puts a player into his slot as he is, replacing whoever was there; for tests and joins.
    void addPlayer(const SimPlayer& player);
    // Removes at once (a kick): the player is gone from the next status.
    bool dropPlayer(int slot);
    // A scripted player who joins now, in the first free slot, already in the game (a "J" line
    // in the game log); without an ip, one of the documentation's, from the name. The slot, or -1
    // when the server is full.
    int joinNow(const QString& name, qint32 guid, const QString& ip, quint16 port);

    void ban(const SimPlayer& player, SimBan::Source source, qint64 durationMs = -1);
    int unbanName(QStringView name);
    void unbanGuid(qint32 guid, SimBan::Source source);
    bool isBanned(qint32 guid) const;
    const QList<SimBan>& bans() const { return m_bans; }

    // Scores start again; on a full map load humans connect anew.
    void restartMap(bool reconnect);
    // Chat of a player: to everyone, or to his team ("sayteam" in the game log).
    void say(int slot, const QString& text, bool team = false);
    // The team the game log names for a slot: the slots take turns.
    static QString teamOf(int slot);

    void tick(int ms);
    qint64 now() const { return m_now; }
    QRandomGenerator& random() { return m_random; }

Q_SIGNALS:
    void playerConnected(const SimPlayer& player);
    void playerLeft(const SimPlayer& player);
    void chatLine(int slot, const QString& name, const QString& text);
    // One line of the game log, without its time stamp.
    void gameLogLine(const QString& line);

private:
    struct Candidate {
        QString name;
        SimPlayer::Kind kind;
    };

    void step(int ms);
    void kill(const SimPlayer& attacker);
    bool chance(int perMillePerSecond, int ms);
    SimPlayer makePlayer(const Candidate& candidate, int slot) const;
    int freeSlot() const;
    void join();
    void leave(SimPlayer& player);

    QRandomGenerator m_random;
    QList<Candidate> m_pool;
    QList<SimPlayer> m_players;
    QList<SimBan> m_bans;
    qint64 m_now = 0;
    int m_target = 0;
    int m_maxClients = 24;
    bool m_highPorts = false;
};

} // namespace garrison::sim
