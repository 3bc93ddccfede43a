#pragma once

#include "GameEventSink.h"
#include "RconChannel.h"
#include "bans/BanRecord.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace garrisond {

class BanStore;
struct DaemonConfig;

// Keeps banned players off the game server: every join in the game log, every player of a
// "status" that garrisond takes, and the players present when the list changes are checked
// against the bans; a banned one is told why and kicked by slot. A join line names no address:
// while some ban names one, a join is followed by a "status" of the enforcer's own. It also
// remembers the last chat lines of each player, the evidence of a ban issued through garrisond.
class BanEnforcer : public QObject, public GameEventSink {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    static constexpr qsizetype kEvidenceLines = 5;
    // A player kicked is not kicked again for this long: the status of the next health check
    // may still list him.
    static constexpr qint64 kKickRepeatMs = 5000;
    // What is told stays within one line of the game's chat.
    static constexpr qsizetype kTellLength = 150;
    // Joins within this time share one "status" for their addresses.
    static constexpr int kStatusDelayMs = 50;

    struct Player {
        int slot = -1;
        QString guid;
        QString name;
        QString address;
    };

    explicit BanEnforcer(BanStore& store, QObject* parent = nullptr);

    void configure(const DaemonConfig& config);
    void setClock(Clock clock) { m_clock = std::move(clock); }

    void takeEvent(const GameEvent& event) override;
    // A reply to "status", or part of one: its player lines are checked.
    void takeStatus(const QString& text);
    // After the list changed: the players present are checked against these bans.
    void recheck(const QList<qint64>& ids);
    // Every player present, once the list is read.
    void recheckAll();

    // The player's last chat lines, oldest first ("20:15:02 Name: text").
    QStringList evidence(const QString& guid) const { return m_chat.value(guid.toLower()); }
    // The name last seen with that guid, if any.
    QString nameOf(const QString& guid) const { return m_names.value(guid.toLower()); }

    // The player lines of a status reply; lines cut off or of another shape are skipped.
    static QList<Player> parseStatus(const QString& text);
    // What the player is told: the reason and until when, with nothing that could end the
    // console command (";", quotes, line ends), cut to kTellLength.
    static QString tellText(const garrison::BanRecord& ban);

Q_SIGNALS:
    void keptOut(const garrison::BanRecord& ban, const BanEnforcer::Player& player);

private:
    QDateTime now() const { return m_clock(); }
    // True when a ban keeps the player out (kicked now or just before).
    bool check(const Player& player);

    BanStore& m_store;
    RconChannel m_rcon;
    QString m_serverName;
    Clock m_clock;
    QHash<int, Player> m_present; // by slot
    QHash<QString, QStringList> m_chat;
    QHash<QString, QString> m_names;
    QHash<int, qint64> m_kickedAt; // slot: ms since the epoch
    QTimer m_statusTimer;
};

} // namespace garrisond
