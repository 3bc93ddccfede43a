#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

namespace garrison::sim {

class SimRedirectBuffer;
class SimWorld;
struct SimPlayer;

// The anti-cheat service's part of the console: its commands, its ban list and bad-name list,
// its scheduled tasks and its remote-console users. PunkBuster slots count from 1.
class SimPunkBuster : public QObject {
    Q_OBJECT

public:
    struct BanEntry {
        QString pbGuid;
        QString name;
        QString address;
        QString reason;
        QString date;
        qint32 guid = 0;
    };
    struct UconUser {
        int level = 0;
        QString address;
        QString name;
        QString password;
    };

    explicit SimPunkBuster(SimWorld& world, QObject* parent = nullptr);

    // `word` in lower case.
    bool handles(const QString& word) const;
    void execute(const QString& word, const QStringList& arguments, SimRedirectBuffer& out);
    // Runs the scheduled tasks that have come due.
    void tick();

    const QList<BanEntry>& banList() const { return m_bans; }
    const QStringList& badNames() const { return m_badNames; }
    const QList<UconUser>& uconUsers() const { return m_uconUsers; }
    int sessionLimit() const { return m_sessionLimit; }

Q_SIGNALS:
    // Every line the service writes to its console, without the line end.
    void punkBusterLine(const QString& line);

private:
    struct Task {
        int id = 0;
        qint64 due = 0;
        int intervalMs = 0;
        QString command;
    };

    void say(SimRedirectBuffer* out, const QString& text);
    const SimPlayer* playerAt(const QString& pbSlot, SimRedirectBuffer* out);
    void kick(const SimPlayer& player, const QString& reason, SimRedirectBuffer* out);
    void screenshot(const SimPlayer& player, SimRedirectBuffer* out);
    void enforceBadNames(SimRedirectBuffer* out);
    void run(const QString& word, const QStringList& arguments, SimRedirectBuffer* out);

    SimWorld& m_world;
    QList<BanEntry> m_bans;
    QStringList m_badNames;
    QList<int> m_badNameGrace;
    QList<UconUser> m_uconUsers;
    QList<Task> m_tasks;
    int m_sessionLimit = 8;
    int m_nextTask = 1;
    int m_screenshots = 0;
};

} // namespace garrison::sim
