#pragma once

#include "history/HistoryConnection.h"
#include "history/HistoryTypes.h"
#include "rcon/PlayerRow.h"
#include "session/SessionRecorder.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class QThread;

namespace garrison {

class HistoryBans;
class HistoryDatabase;
class HistoryQueries;
class HistoryRecorder;

// The player history as the main window uses it: records status tables and player actions on
// the window's thread (one short transaction each), keeps records for the configured number of
// days, and carries on without a history when the database cannot be used. A database that is
// busy or a server that went away pauses recording; it resumes by itself when the database is
// back. Each problem is said once, through statusMessage.
class History : public QObject, public SessionRecorder {
    Q_OBJECT

public:
    enum class State { Off, Recording, ReadOnly, Paused };

    explicit History(QObject* parent = nullptr);
    ~History() override;

    // Opens the database of the settings store and removes what is older than the kept days.
    void openFromSettings();
    void open(const HistoryConnection& connection, int keepDays);
    void close();

    State state() const;
    // The current problem in one sentence; empty while recording.
    const QString& problem() const { return m_problem; }
    // A warning about the link to a shared history that is not encrypted; empty otherwise.
    const QString& linkNote() const { return m_linkNote; }
    const HistoryConnection& connection() const { return m_connection; }

    void recordStatus(const QString& serverKey, const QString& hostName,
                      const QList<PlayerRow>& rows, HistoryTime at) override;
    void recordAction(const PlayerAction& action) override;
    void recordPresence(const PlayerPresence& presence) override;
    void recordReport(const PlayerReport& report) override;

    // Null when nothing can be read.
    HistoryQueries* queries() const;
    // The bans of direct sessions; null when nothing can be read.
    HistoryBans* bans() const;
    // After a change of the bans through this history: says so here, and on a shared
    // database to every GARRISON that listens (NOTIFY).
    void noteBansChanged();
    // Whether changes of the bans made elsewhere are heard as they happen: a shared database
    // notifies of them (LISTEN); otherwise they are seen only when the bans are read again.
    bool hearsBanChanges() const { return m_hearsBans; }
    // The notification's channel; garrisond's shared bans use the same name.
    static inline const QString kBansChannel = QStringLiteral("garrison_bans");

    // Removes everything about the player; false when the history cannot be written.
    bool forget(qint64 playerId);

    int keepDays() const { return m_keepDays; }
    void setKeepDays(int days);
    // Runs retention now; the window also runs it once a day.
    void purge(HistoryTime now);

    // For tests: how soon a paused history tries again.
    void setRetryInterval(int ms) { m_retry.setInterval(ms); }

Q_SIGNALS:
    void statusMessage(const QString& text);
    // Something was written: pages showing the history may refresh.
    void changed();
    void stateChanged();
    // A ban was added, changed or lifted through this history, or on a shared database that
    // notified of it.
    void bansChanged();

private:
    void connectDatabase();
    void pause(const QString& problem);
    void retry();
    void probe();
    void say(const QString& text);
    void afterWrite(bool ok);
    void listenForBans();

    HistoryConnection m_connection;
    int m_keepDays = 90;
    std::unique_ptr<HistoryDatabase> m_database;
    std::unique_ptr<HistoryRecorder> m_recorder;
    std::unique_ptr<HistoryQueries> m_queries;
    std::unique_ptr<HistoryBans> m_bans;
    bool m_paused = false;
    bool m_hearsBans = false;
    QString m_problem;
    QString m_linkNote;
    QString m_said;
    QTimer m_retry;
    QTimer m_daily;
    QThread* m_probe = nullptr;
};

} // namespace garrison
