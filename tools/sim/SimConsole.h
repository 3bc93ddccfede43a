#pragma once

#include "SimDvarTable.h"
#include "SimPunkBuster.h"
#include "SimSettings.h"
#include "SimWorld.h"

#include <QByteArray>
#include <QList>
#include <QObject>

namespace garrison::sim {

class SimRedirectBuffer;

// The server's console: turns one command line into what the engine prints, and carries the
// command out on the world, the variables and the anti-cheat service. No sockets here.
class SimConsole : public QObject {
    Q_OBJECT

public:
    static const QStringList kMaps;
    static constexpr qint64 kTempBanMs = 5 * 60 * 1000;

    explicit SimConsole(const SimSettings& settings, QObject* parent = nullptr);

    // Writes the opening lines of the game log; call once the log is listening.
    void begin();
    // The reply datagrams; none at all once the server has been told to quit.
    QList<QByteArray> execute(const QString& command);
    // The reply as one text, for those who do not care where it was cut.
    QString reply(const QString& command);
    void tick(int ms);
    bool isShutDown() const { return m_shutDown; }

    SimWorld& world() { return m_world; }
    const SimWorld& world() const { return m_world; }
    SimDvarTable& dvars() { return m_dvars; }
    const SimDvarTable& dvars() const { return m_dvars; }
    SimPunkBuster& punkBuster() { return m_punkBuster; }

    // The guid as the status table prints it.
    QString statusGuid(const SimPlayer& player) const;

    // The engine's tokenizer: blanks separate, double quotes group.
    static QStringList tokenize(QStringView line, QList<qsizetype>* starts = nullptr);

Q_SIGNALS:
    void shutdownRequested();
    // "sim_crash [status]" (default 1) and "sim_hang [seconds]" (0: for good): the program ends
    // or stops answering; in a test's own process they do nothing.
    void crashRequested(int exitStatus);
    void hangRequested(int seconds);
    void chatLine(int slot, const QString& name, const QString& text);
    void punkBusterLine(const QString& line);
    void gameLogLine(const QString& line);

private:
    enum class Punishment { Kick, Ban, TempBan };

    struct Line {
        QString text;
        QStringList argv;
        QList<qsizetype> starts;
        // The raw text from argument `index` on.
        QString from(qsizetype index) const;
    };

    void run(const Line& line, SimRedirectBuffer& out);
    // The commands that script an evening: chat, joins and leaves, in the game log too.
    // The player in the slot that argument names; else says so and gives nullptr.
    const SimPlayer* activePlayer(const QString& argument, SimRedirectBuffer& out, int* slot) const;
    void simSay(const Line& line, SimRedirectBuffer& out, bool team);
    void simJoin(const Line& line, SimRedirectBuffer& out);
    void simLeave(const Line& line, SimRedirectBuffer& out);
    void status(SimRedirectBuffer& out) const;
    void statusAddress(const SimPlayer& player, SimRedirectBuffer& out) const;
    void infoSettings(SimDvarTable::Flag flag, SimRedirectBuffer& out) const;
    void dvarCommand(const Line& line, const SimDvarTable::Dvar& dvar, SimRedirectBuffer& out);
    void setCommand(const Line& line, SimRedirectBuffer& out);
    void setJoinPassword(const QString& password);
    void byName(const Line& line, SimRedirectBuffer& out, Punishment punishment);
    void bySlot(const Line& line, SimRedirectBuffer& out, Punishment punishment);
    void punish(const SimPlayer& player, Punishment punishment, SimRedirectBuffer& out);
    void unban(const Line& line, SimRedirectBuffer& out);
    void mapCommand(const Line& line, SimRedirectBuffer& out);
    void rotate(SimRedirectBuffer& out);
    void loadMap(const QString& map);
    void restart(bool full);
    void say(const Line& line, SimRedirectBuffer& out);
    void tell(const Line& line, SimRedirectBuffer& out);
    void quit();
    QString initGameLine() const;

    SimDvarTable m_dvars;
    SimWorld m_world;
    SimPunkBuster m_punkBuster;
    bool m_shutDown = false;
    bool m_hexGuids = false;
    bool m_highPorts = false;
};

} // namespace garrison::sim
